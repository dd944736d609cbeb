#include "support/test_data.h"

#include <cstdlib>

#include "platform/paths.h"

namespace corvelle::testing {

std::string TestDataPath(const std::string& relative) {
  std::string root;
  if (const char* value = std::getenv("CORVELLE_TEST_DATA"); value && *value) {
    root = value;
  } else {
    std::string here = __FILE__;  // .../tests/support/test_data.cpp
    root = FolderPart(FolderPart(here).substr(0, FolderPart(here).size() - 1)) + "data";
  }
  if (root.back() != '/') root += '/';
  return root + relative;
}

std::string ReadTestData(const std::string& relative) {
  std::string data;
  ReadWholeFile(TestDataPath(relative), data);
  return data;
}

}  // namespace corvelle::testing
