// The main() of every GoogleTest executable. It points HOME and the XDG folders into the
// build tree before any test runs, so a test run by hand or by CTest never reads or writes
// the real home; a test that needs its own folders sets them itself.

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  const std::string home = CORVELLE_TEST_HOME;
  const std::pair<const char*, std::string> env[] = {
      {"HOME", home},
      {"XDG_CONFIG_HOME", home + "/config"},
      {"XDG_DATA_HOME", home + "/data"},
      {"XDG_RUNTIME_DIR", home + "/runtime"},
      {"QT_QPA_PLATFORM", "offscreen"},
  };
  for (const auto& [name, value] : env) {
    std::filesystem::create_directories(value);
    ::setenv(name, value.c_str(), 1);
  }
  std::filesystem::permissions(home + "/runtime", std::filesystem::perms::owner_all);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
