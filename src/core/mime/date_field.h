#pragma once
// The time a Date field names (RFC 5322 3.3 date-time, and the looser forms mailers write).

#include <cstdint>
#include <optional>
#include <string_view>

namespace corvelle {

// Seconds since the epoch for the Date field value `value`; nothing when it names no time.
std::optional<int64_t> ParseDateField(std::string_view value);

}  // namespace corvelle
