#include "support/test_data.h"

#include "platform/paths.h"

namespace corvelle::testing {

std::string TestDataPath(const std::string& relative) {
  return std::string(CORVELLE_TEST_DATA_DIR "/") + relative;
}

std::string ReadTestData(const std::string& relative) {
  std::string data;
  ReadWholeFile(TestDataPath(relative), data);
  return data;
}

}  // namespace corvelle::testing
