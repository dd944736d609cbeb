#include "core/mime/mime_text.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "core/mime/gmime_support.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

bool IsUtf8(std::string_view bytes) { return g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr); }

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
    else out += "\xEF\xBF\xBD";
  }
  return out;
}

// Undoes header folding: line breaks go, the blanks after them stay.
std::string Unfold(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (char c : raw)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

void AppendCodePoint(std::string& out, unsigned long cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  char buffer[8];
  out.append(buffer, static_cast<size_t>(g_unichar_to_utf8(static_cast<gunichar>(cp), buffer)));
}

// "&name;" or "&#NNN;" at html[i]: appends what it stands for; returns the characters used
// (0 when it is no reference, and the "&" is then taken as it is).
size_t Reference(std::string_view html, size_t i, std::string& out) {
  // Only a short look ahead: a text full of "&" costs linear time.
  size_t end = html.substr(0, i + 12).find(';', i);
  if (end == std::string_view::npos) return 0;
  std::string name = AsciiLower(html.substr(i + 1, end - i - 1));
  if (!name.empty() && name[0] == '#') {
    bool hex = name.size() > 1 && name[1] == 'x';
    char* stop = nullptr;
    unsigned long cp = std::strtoul(name.c_str() + (hex ? 2 : 1), &stop, hex ? 16 : 10);
    if (stop == name.c_str() + (hex ? 2 : 1) || *stop) return 0;
    AppendCodePoint(out, cp);
    return end - i + 1;
  }
  static constexpr std::array<std::pair<const char*, const char*>, 8> kNamed{{{"amp", "&"},
                                                                             {"lt", "<"},
                                                                             {"gt", ">"},
                                                                             {"quot", "\""},
                                                                             {"apos", "'"},
                                                                             {"nbsp", " "},
                                                                             {"copy", "\xC2\xA9"},
                                                                             {"euro", "\xE2\x82\xAC"}}};
  for (const auto& [key, value] : kNamed)
    if (name == key) {
      out += value;
      return end - i + 1;
    }
  return 0;
}

bool BreaksLine(const std::string& tag) {
  static constexpr std::array<const char*, 14> kBlocks{"br", "p", "/p", "div", "/div", "/tr", "li", "/h1",
                                                       "/h2", "/h3", "/h4", "/table", "hr", "/blockquote"};
  for (const char* block : kBlocks)
    if (tag == block) return true;
  return false;
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
  return IsUtf8(bytes) ? std::string(bytes) : FromWindows1252(bytes);
}

std::string DecodeHeaderText(std::string_view raw) {
  std::string text = Unfold(raw);
  if (text.find("=?") == std::string::npos) return TextToUtf8(text, "");
  EnsureGMime();
  std::string out = TakeGString(g_mime_utils_header_decode_text(nullptr, text.c_str()));
  return IsUtf8(out) ? out : FromWindows1252(out);
}

std::string DecodeAddressText(std::string_view raw) {
  std::string text = Unfold(raw);
  const bool plain = text.find("=?") == std::string::npos &&
                     std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (plain) return text;
  EnsureGMime();
  InternetAddressList* list = internet_address_list_parse(nullptr, text.c_str());
  std::string out;
  const int count = list ? internet_address_list_length(list) : 0;
  for (int i = 0; i < count; ++i) {
    InternetAddress* address = internet_address_list_get_address(list, i);
    if (!INTERNET_ADDRESS_IS_MAILBOX(address)) {
      out.clear();  // groups: the plain decoding below
      break;
    }
    std::string name = internet_address_get_name(address) ? internet_address_get_name(address) : "";
    const std::string mailbox = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address));
    if (name.find_first_of(",;:<>@\"()[]\\") != std::string::npos) {
      std::string quoted = "\"";
      for (char c : name) quoted += (c == '"' || c == '\\') ? std::string{'\\', c} : std::string(1, c);
      name = quoted + "\"";
    }
    out += (i ? ", " : "") + (name.empty() ? mailbox : name + " <" + mailbox + ">");
  }
  if (list) g_object_unref(list);
  if (out.empty()) return DecodeHeaderText(text);
  return IsUtf8(out) ? out : FromWindows1252(out);
}

std::string HtmlToText(std::string_view html) {
  std::string out;
  out.reserve(html.size() / 2);
  bool blank = false;  // a run of white space is one blank
  std::string skip_until;
  for (size_t i = 0; i < html.size();) {
    char c = html[i];
    if (c == '<') {
      size_t end = html.find('>', i);
      if (end == std::string_view::npos) break;
      std::string tag = AsciiLower(html.substr(i + 1, end - i - 1));
      tag = tag.substr(0, tag.find_first_of(" \t\r\n/", tag[0] == '/' ? 1 : 0));
      i = end + 1;
      if (!skip_until.empty()) {
        if (tag == skip_until) skip_until.clear();
        continue;
      }
      if (tag == "script" || tag == "style" || tag == "head" || tag == "title") skip_until = "/" + tag;
      if (BreaksLine(tag)) {
        out += '\n';
        blank = true;
      }
      continue;
    }
    ++i;
    if (!skip_until.empty()) continue;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (!blank) out += ' ';
      blank = true;
      continue;
    }
    blank = false;
    if (c == '&') {
      if (size_t used = Reference(html, i - 1, out)) {
        i += used - 1;
        continue;
      }
    }
    out += c;
  }
  // Blanks at line starts and ends come from the source's layout, not from the text; so do
  // empty lines at the start and more than one in a row.
  std::string text;
  size_t newlines = 2;
  size_t start = 0;
  while (start <= out.size()) {
    size_t end = out.find('\n', start);
    if (end == std::string::npos) end = out.size();
    std::string_view line(out.data() + start, end - start);
    size_t first = line.find_first_not_of(' '), last = line.find_last_not_of(' ');
    if (first != std::string_view::npos) {
      text += line.substr(first, last - first + 1);
      newlines = 0;
    }
    if (end < out.size() && newlines++ < 2) text += '\n';
    start = end + 1;
  }
  return text;
}

}  // namespace corvelle
