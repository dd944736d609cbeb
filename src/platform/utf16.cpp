#include "platform/utf16.h"

#include <cstdint>

namespace corvelle {
namespace {

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUnit(std::string& out, std::uint32_t unit, bool big_endian) {
  char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
  out += big_endian ? high : low;
  out += big_endian ? low : high;
}

bool IsHigh(std::uint32_t u) { return u >= 0xD800 && u < 0xDC00; }
bool IsLow(std::uint32_t u) { return u >= 0xDC00 && u < 0xE000; }

// The code point at `i` and its length in bytes; false for bytes that are not UTF-8.
bool DecodeUtf8(std::string_view s, size_t i, std::uint32_t& c, size_t& length) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char lead = byte(i);
  std::uint32_t min;
  if (lead < 0x80) {
    c = lead, length = 1, min = 0;
  } else if ((lead & 0xE0) == 0xC0) {
    c = lead & 0x1F, length = 2, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    c = lead & 0x0F, length = 3, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    c = lead & 0x07, length = 4, min = 0x10000;
  } else {
    return false;
  }
  if (i + length > s.size()) return false;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return false;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  return c >= min && c <= 0x10FFFF;
}

}  // namespace

std::string Utf16ToUtf8(std::string_view bytes, bool big_endian) {
  std::string out;
  out.reserve(bytes.size());
  auto unit = [&](size_t i) -> std::uint32_t {
    auto first = static_cast<unsigned char>(bytes[i]);
    auto second = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
    return big_endian ? (first << 8 | second) : (second << 8 | first);
  };
  for (size_t i = 0; i < bytes.size(); i += 2) {
    std::uint32_t u = unit(i);
    if (IsHigh(u) && i + 3 < bytes.size() && IsLow(unit(i + 2))) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 2) - 0xDC00));
      i += 2;
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

bool Utf8ToUtf16(std::string_view utf8, bool big_endian, std::string& out) {
  out.clear();
  out.reserve(utf8.size() * 2);
  for (size_t i = 0, length = 0; i < utf8.size(); i += length) {
    std::uint32_t c = 0;
    if (!DecodeUtf8(utf8, i, c, length)) return false;
    if (c < 0x10000) {
      AppendUnit(out, c, big_endian);
    } else {
      AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10), big_endian);
      AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), big_endian);
    }
  }
  return true;
}

}  // namespace corvelle
