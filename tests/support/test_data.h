#pragma once
// Files kept under tests/data/.

#include <string>

namespace corvelle::testing {

// The path of `relative` under tests/data/.
std::string TestDataPath(const std::string& relative);

// The whole file under tests/data/; an empty string when it cannot be read (the test fails
// on the content then).
std::string ReadTestData(const std::string& relative);

}  // namespace corvelle::testing
