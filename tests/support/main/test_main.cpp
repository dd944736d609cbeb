// The main() of every GoogleTest executable. It points HOME and the XDG folders into the
// build tree before any test runs, so a test run by hand or by CTest never reads or writes
// the real home; a test that needs its own folders sets them itself.

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  const std::string home = CORVELLE_TEST_HOME;
  const std::pair<const char*, std::string> folders[] = {
      {"HOME", home},
      {"XDG_CONFIG_HOME", home + "/config"},
      {"XDG_DATA_HOME", home + "/data"},
      {"XDG_RUNTIME_DIR", home + "/runtime"},
  };
  for (const auto& [name, folder] : folders) {
    std::filesystem::create_directories(folder);
    ::setenv(name, folder.c_str(), 1);
  }
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::filesystem::permissions(home + "/runtime", std::filesystem::perms::owner_all);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
