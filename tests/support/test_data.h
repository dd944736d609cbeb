#pragma once
// Files kept under tests/data/, found from $CORVELLE_TEST_DATA or else from where this
// source file lies (CTest does not hand every test executable that variable).

#include <string>

namespace corvelle::testing {

// The path of `relative` under tests/data/.
std::string TestDataPath(const std::string& relative);

// The whole file under tests/data/; an empty string when it cannot be read (the test fails
// on the content then).
std::string ReadTestData(const std::string& relative);

}  // namespace corvelle::testing
