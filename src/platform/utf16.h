#pragma once
// UTF-16 text to UTF-8 and back, for files that an editor saved as UTF-16. Unpaired
// surrogates travel in their three-byte form (as WTF-8 carries them), so any sequence of
// 16-bit units survives the round trip.

#include <string>
#include <string_view>

namespace corvelle {

// `bytes` (without its byte-order mark) as UTF-8. An odd last byte counts as a unit whose
// other byte is zero.
std::string Utf16ToUtf8(std::string_view bytes, bool big_endian);

// `utf8` as UTF-16 bytes (no byte-order mark) in `out`. False when `utf8` holds bytes that
// are not UTF-8 (or the three-byte form of a surrogate): such text has no UTF-16 form.
bool Utf8ToUtf16(std::string_view utf8, bool big_endian, std::string& out);

}  // namespace corvelle
