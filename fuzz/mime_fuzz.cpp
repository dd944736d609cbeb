// libFuzzer target: any bytes as a received message file through the MIME reader, the
// header decoder, the HTML reducer and the 7-bit downgrade. Nothing may crash or hang.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/mime/downgrade.h"
#include "core/mime/mime_reader.h"
#include "core/mime/mime_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const corvelle::MimeContent content = corvelle::ReadMimeContent(bytes);
  std::string attachment;
  if (!content.attachments.empty()) corvelle::ExtractAttachment(bytes, content.attachments.size() - 1, attachment);
  corvelle::DecodedMessageLines(bytes);
  corvelle::DowngradeTo7Bit(bytes);
  corvelle::HtmlToText(bytes);
  corvelle::DecodeHeaderText(bytes.substr(0, 4096));
  return 0;
}
