#pragma once
// Text made comparable without regard to letter case, for searching decoded mail.

#include <string>
#include <string_view>

namespace corvelle {

// `utf8` with Unicode case folding applied ("É" becomes "é", "ß" becomes "ss"), so two
// texts that differ only in case fold to the same bytes. Bad UTF-8 sequences become U+FFFD
// first; never fails.
std::string FoldCase(std::string_view utf8);

}  // namespace corvelle
