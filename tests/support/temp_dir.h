#pragma once
// A temporary folder removed with everything in it, and environment variables set for the
// length of a scope.

#include <string>
#include <vector>

namespace corvelle::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder's path, ending in "/".
  const std::string& path() const { return path_; }
  // path() + relative.
  std::string operator/(const std::string& relative) const { return path_ + relative; }

 private:
  std::string path_;
};

class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_value_ = false;
  std::string old_value_;
};

// Writes `data` to `path` (made with its folders), replacing what was there.
void WriteFile(const std::string& path, const std::string& data);
// The whole file, or "<missing>" when it cannot be read.
std::string ReadFile(const std::string& path);
// The names in a folder, sorted bytewise.
std::vector<std::string> ListNames(const std::string& folder);

}  // namespace corvelle::testing
