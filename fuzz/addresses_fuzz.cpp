// Address parsing and header scanning on outside text: no crash, and every recipient found
// is a bare address (no line end inside it).

#include <cstdlib>
#include <string>
#include <vector>

#include "core/store/addresses.h"
#include "fuzz_support.h"
#include "net/smtp/smtp_recipients.h"

using namespace corvelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input = fuzz::Bytes(data, size);
  TrimBlanks(input);
  ExtractAddress(input);
  IsPlainAddress(input);
  std::vector<std::string> list;
  SplitAddressList(list, input);
  SplitRecipients(input);
  std::vector<std::string> lines;
  for (size_t at = 0, end; at <= input.size(); at = end + 1) {
    end = std::min(input.find('\n', at), input.size());
    lines.emplace_back(input.substr(at, end - at));
  }
  for (const std::string& recipient : ScanHeader(lines).recipients)
    if (recipient.find('\n') != std::string::npos) std::abort();
  return 0;
}
