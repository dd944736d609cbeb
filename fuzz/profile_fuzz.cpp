// The settings-file reader on any file: no crash; a value written and saved reads back, and
// the lines not written survive the save.

#include <cstdlib>
#include <fstream>

#include "fuzz_support.h"
#include "platform/profile.h"

using namespace corvelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::Scratch() + "CORVEL.INI";
  std::ofstream(path, std::ios::binary | std::ios::trunc) << fuzz::Bytes(data, size);
  PrivateProfile ini(path);
  for (const char* section : {"Settings", "filters", "x"})
    for (const std::string& key : ini.SectionKeys(section)) {
      ini.ReadString(section, key, "");
      ini.ReadInteger(section, key, 0);
    }
  ini.WriteString("Fuzz", "Key", "value \"quoted\"");
  if (!ini.Save()) return 0;
  PrivateProfile again(path);
  if (again.ReadString("fuzz", "KEY", "") != "value \"quoted\"") std::abort();
  return 0;
}
