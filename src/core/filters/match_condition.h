#pragma once
// Does a message satisfy one condition of a filter rule?

#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

// The pseudo-headers a condition may name instead of a header field.
inline constexpr std::string_view kDefaultHeader = "*default*";           // always true
inline constexpr std::string_view kMessageTextHeader = "*message text*";  // the body
inline constexpr std::string_view kAccountHeader = "*account*";           // the account's title

// True when `message` (its lines), retrieved over the account titled `account` (AccountTitle;
// "" for mail of a single unnamed account), meets the condition `header` / `search`, compared
// without regard to letter case, as a plain substring (no wildcards, no whole words):
//   "*Default*"       always;
//   "*Message Text*"  some line after the first empty line contains `search` (a message
//                     without an empty line has no body);
//   "*Account*"       `account` contains `search`; never a field of the message, whose
//                     bytes cannot tell where it was retrieved from;
//   any other name    some header field starting with `header` + ":" contains `search`,
//                     the field name included, its continuation lines (starting with a
//                     space or a TAB) unfolded (UnfoldedField), so a search may span a
//                     fold; every field of that name is tried.
// An empty `search` matches nothing except under "*Default*".
bool MatchCondition(std::string_view header, std::string_view search, const std::vector<std::string>& message,
                    std::string_view account = {});

// The same with `header` and `search` already in lower case (ASCII), for a loop over many
// messages.
bool MatchLowerCondition(std::string_view header, std::string_view search, const std::vector<std::string>& message,
                         std::string_view account = {});

}  // namespace corvelle
