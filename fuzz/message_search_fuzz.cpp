// libFuzzer target: any bytes as a message file searched for a word, a phrase with a blank
// and a word beyond ASCII, through the raw look, the header unfolding and the decoding of
// encoded parts and words. Nothing may crash or hang.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/search/message_search.h"
#include "core/search/search_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  static const corvelle::SearchText kTexts[] = {corvelle::SearchText("marmalade"),
                                                corvelle::SearchText("seed swap"),
                                                corvelle::SearchText("Grüße")};
  const std::atomic<bool> cancel{false};
  for (const corvelle::SearchText& text : kTexts) {
    corvelle::SearchHit hit;
    corvelle::SearchMessageBytes(bytes, text, &cancel, hit);
  }
  return 0;
}
