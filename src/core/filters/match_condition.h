#pragma once
// Does a message satisfy one condition of a filter rule?

#include <optional>
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

// A message as many conditions test it: its header lines, and its body in lower case, made
// once when a condition first needs it. What it is made from must outlive it.
class MatchedMessage {
 public:
  // From all the lines of a message.
  explicit MatchedMessage(const std::vector<std::string>& lines) : lines_(lines) {}
  // From the header lines through the first empty line, and the bytes after that line as
  // stored (lines ending in CR LF or LF); without an empty line there is no body.
  MatchedMessage(const std::vector<std::string>& header, std::string_view body)
      : lines_(header), body_(body), body_apart_(true) {}

  // The lines of the message, or its header lines: every header field is there.
  const std::vector<std::string>& Lines() const { return lines_; }
  // The lines after the first empty line, in lower case (ASCII), LFs between them; nullopt
  // when there is no empty line (no body).
  const std::optional<std::string>& LowerBody() const;

 private:
  const std::vector<std::string>& lines_;
  std::string_view body_;
  bool body_apart_ = false;
  mutable std::optional<std::string> lower_body_;
  mutable bool body_made_ = false;
};

// MatchLowerCondition for a message tested by many conditions.
bool MatchLowerCondition(std::string_view header, std::string_view search, const MatchedMessage& message,
                         std::string_view account = {});

}  // namespace corvelle
