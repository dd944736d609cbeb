#pragma once
// The recipients of an outgoing message, from its own header lines.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

// The bare addresses of an address list: the text is split into its entries as every
// address list is (AddressListEntries: a "," inside a quoted string such as
// "Lee, Ann" <ann@site>, angle brackets or a comment splits nothing); each entry is reduced
// to its address with ExtractAddress and trimmed; blank entries are dropped.
// Any length; the order is kept, duplicates too.
std::vector<std::string> SplitRecipients(std::string_view text);

struct HeaderScan {
  std::vector<std::string> recipients;  // in the order found
  std::vector<std::string> subjects;    // the "subject: " lines, unchanged
};

// Scans header lines from the first up to the first empty one (or the end):
//   - a line starting with "to: " or "cc: " (any letter case; the space is required) holds
//     recipients from its fifth character on; each following line that starts with a space
//     or a tab continues the list. The lines are joined and split with SplitRecipients; a
//     line break after an entry that holds an "@", outside quotes, brackets and comments,
//     separates entries as a comma does, any other is folding ("Doe,<break> John" <j@x> is
//     one recipient). The line after the continuation is examined as a header line itself;
//   - a line starting with "subject: " (any case) is collected in `subjects`;
//   - other lines are ignored.
// `after_line`, when given, runs after each line examined (to let the interface breathe).
HeaderScan ScanHeader(const std::vector<std::string>& lines, const std::function<void()>& after_line = {});

}  // namespace corvelle
