#pragma once
// The text that one start hands to the running instance: every option and argument
// followed by the character 1 (SOH).

#include <optional>
#include <string>
#include <vector>

namespace corvelle {

inline constexpr char kParmSeparator = '\x01';
inline constexpr size_t kMaxForwardedLine = 64 * 1024;

// The line for `list`; nothing when a token holds the separator or the line would be
// longer than kMaxForwardedLine.
std::optional<std::string> EncodeForwardedLine(const std::vector<std::string>& list);

// The option list of a received line; nothing when it is longer than kMaxForwardedLine.
// A last token without its separator is taken as it stands.
std::optional<std::vector<std::string>> DecodeForwardedLine(const std::string& line);

}  // namespace corvelle
