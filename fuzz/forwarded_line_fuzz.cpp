// A forwarded command line from another process: decoded, taken apart as options, and
// encoded again to the same tokens.

#include <cstdlib>

#include "core/cmdline/forwarded_line.h"
#include "core/cmdline/parms.h"
#include "fuzz_support.h"

using namespace corvelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line(fuzz::Bytes(data, size));
  auto list = DecodeForwardedLine(line);
  if (!list) return 0;
  ParseParms(*list);
  AbsoluteParmPaths(*list, "/home/joe");
  for (const std::string& token : *list) StripQuotes(token);
  auto encoded = EncodeForwardedLine(*list);
  if (encoded && DecodeForwardedLine(*encoded) != list) std::abort();
  return 0;
}
