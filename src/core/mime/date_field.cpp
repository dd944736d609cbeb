#include "core/mime/date_field.h"

#include <string>

#include "core/mime/gmime_support.h"

namespace corvelle {

std::optional<int64_t> ParseDateField(std::string_view value) {
  EnsureGMime();
  const std::string text(value.substr(0, value.find('\0')));
  GDateTime* time = g_mime_utils_header_decode_date(text.c_str());
  if (!time) return std::nullopt;
  const int64_t seconds = g_date_time_to_unix(time);
  g_date_time_unref(time);
  // GMime answers an unreadable date with the epoch itself.
  if (seconds == 0) return std::nullopt;
  return seconds;
}

}  // namespace corvelle
