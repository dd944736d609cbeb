#include "core/mime/mime_text.h"

#include <algorithm>

#include "core/mime/encoded_words.h"
#include "core/mime/gmime_support.h"
#include "core/store/addresses.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The bytes of the well-formed UTF-8 sequence of two or more bytes at s[i] (Unicode's
// table of well-formed sequences: no overlong forms, no surrogates, nothing above
// U+10FFFF); 0 when there is none, and then `seen` holds the length of its longest start
// that could still have become one (at least 1), which is replaced as one.
size_t Utf8Sequence(std::string_view s, size_t i, size_t& seen) {
  const auto lead = static_cast<unsigned char>(s[i]);
  seen = 1;
  size_t size = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  for (size_t k = 1; k < size; ++k, ++seen) {
    if (i + k >= s.size()) return 0;
    const auto c = static_cast<unsigned char>(s[i + k]);
    if (k == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return 0;
  }
  return size;
}

// What the 8-bit bytes of a text are: all well-formed UTF-8, and whether any of them form a
// multi-byte UTF-8 sequence at all.
struct Utf8Census {
  bool well_formed = true;
  bool multi_byte = false;
};

Utf8Census CountUtf8(std::string_view bytes) {
  Utf8Census census;
  for (size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    size_t seen = 0;
    if (size_t size = Utf8Sequence(bytes, i, seen)) {
      census.multi_byte = true;
      i += size;
    } else {
      census.well_formed = false;
      i += seen;
    }
  }
  return census;
}

// The well-formed UTF-8 of `bytes` kept, each ill-formed sequence (its longest start that
// could have become one) replaced by one U+FFFD.
std::string RepairUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 16);
  for (size_t i = 0; i < bytes.size();) {
    size_t seen = 0;
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      out += bytes[i++];
    } else if (size_t size = Utf8Sequence(bytes, i, seen)) {
      out += bytes.substr(i, size);
      i += size;
    } else {
      out += kReplacement;
      i += seen;
    }
  }
  return out;
}

// Converts with iconv; false when the charset is unknown or the bytes do not fit it.
bool Convert(std::string_view bytes, const char* from, std::string& out) {
  gsize written = 0;
  gchar* converted = g_convert(bytes.data(), static_cast<gssize>(bytes.size()), "UTF-8", from, nullptr, &written, nullptr);
  if (!converted) return false;
  out.assign(converted, written);
  g_free(converted);
  return true;
}

// Windows-1252 never fails: its five holes become U+FFFD.
std::string FromWindows1252(std::string_view bytes) {
  std::string out;
  if (Convert(bytes, "CP1252", out)) return out;
  out.clear();
  for (unsigned char c : bytes) {
    std::string piece;
    if (c < 0x80) out += static_cast<char>(c);
    else if (Convert(std::string_view(reinterpret_cast<const char*>(&c), 1), "CP1252", piece)) out += piece;
    else out += kReplacement;
  }
  return out;
}

// Bytes whose charset is not known for sure as readable UTF-8: UTF-8 as it is; UTF-8 with a
// few bad bytes (it holds multi-byte sequences) keeps its letters, each bad sequence U+FFFD;
// 8-bit text without a single UTF-8 sequence was written in the Windows code page.
std::string ReadableUtf8(std::string_view bytes) {
  const Utf8Census census = CountUtf8(bytes);
  if (census.well_formed) return std::string(bytes);
  return census.multi_byte ? RepairUtf8(bytes) : FromWindows1252(bytes);
}

// Undoes header folding: line breaks go, the blanks after them stay (a TAB as a space).
std::string Unfold(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  bool after_break = false;
  for (char c : raw) {
    if (c == '\r' || c == '\n') {
      after_break = true;
      continue;
    }
    out += after_break && c == '\t' ? ' ' : c;
    after_break = false;
  }
  return out;
}

// A display name as an address list shows it: in double quotes when it holds a character
// that would change how the list splits or reads.
std::string ListName(std::string name) {
  if (name.find_first_of(",;:<>@\"()[]\\") == std::string::npos) return name;
  std::string quoted = "\"";
  for (char c : name) quoted += (c == '"' || c == '\\') ? std::string{'\\', c} : std::string(1, c);
  return quoted + "\"";
}

// A quoted string without its quotes and quoted pairs; any other text as it is.
std::string Unquoted(std::string_view s) {
  if (s.size() < 2 || s.front() != '"' || s.back() != '"') return std::string(s);
  std::string out;
  for (size_t i = 1; i + 1 < s.size(); ++i) {
    if (s[i] == '\\' && i + 2 < s.size()) ++i;
    out += s[i];
  }
  return out;
}

// One entry of an address list decoded: "Name <address>" with its name decoded (and quoted
// when it must be); anything else decoded as a whole.
std::string DecodeAddressEntry(std::string_view entry) {
  const size_t angle = entry.rfind('<');
  if (angle == std::string_view::npos || entry.back() != '>') return DecodeEncodedWords(entry);
  const std::string name = DecodeEncodedWords(Unquoted(Trimmed(entry.substr(0, angle))));
  const std::string address = TextToUtf8(entry.substr(angle), "");
  return name.empty() ? address : ListName(name) + " " + address;
}

}  // namespace

std::string TextToUtf8(std::string_view bytes, std::string_view charset) {
  std::string name = AsciiLower(charset);
  std::string out;
  // Mail labelled Latin-1 is nearly always written on Windows: its superset reads both.
  if (name == "iso-8859-1" || name == "latin1" || name == "us-ascii") name = "windows-1252";
  if (!name.empty() && name != "utf-8" && name != "utf8") {
    EnsureGMime();
    if (const char* iconv_name = g_mime_charset_iconv_name(name.c_str()); Convert(bytes, iconv_name, out)) return out;
  }
  return ReadableUtf8(bytes);
}

std::string DecodeHeaderText(std::string_view raw) { return DecodeEncodedWords(Unfold(raw)); }

std::string DecodeAddressText(std::string_view raw) {
  const std::string text = Unfold(raw);
  const bool plain = text.find("=?") == std::string::npos &&
                     std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (plain) return text;
  std::string out;
  for (std::string_view entry : AddressListEntries(text)) {
    entry = Trimmed(entry);
    if (entry.empty()) continue;
    if (!out.empty()) out += ", ";
    out += DecodeAddressEntry(entry);
  }
  return out;
}

}  // namespace corvelle
