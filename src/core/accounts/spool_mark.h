#pragma once
// Which account a retrieved message came from is told by its spool file's name, never by
// its bytes: the first account's files are named as they always were ("<counter>.new"),
// another account's carry its name between the counter and the extension
// ("<counter>.<marked name>.new"), every byte of the name other than a letter, a digit, "-"
// and "_" written as %XX. The filing pass reads the mark back.

#include <string>
#include <string_view>

namespace corvelle {

// The extension the retrieval of account `name` gives its spool files: ".new" for "" (the
// first account), else "." + the marked name + ".new".
std::string SpoolExtension(const std::string& name);

// The account name a spool file's name carries; "" for an unmarked name (the first
// account, or mail put there by anything else).
std::string SpoolFileAccount(std::string_view file_name);

}  // namespace corvelle
