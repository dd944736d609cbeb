#include "core/cmdline/mailto.h"

#include <algorithm>
#include <cctype>

#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr const char kScheme[] = "mailto:";
constexpr size_t kSchemeLength = sizeof(kScheme) - 1;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::vector<std::string> Split(const std::string& s, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = s.find(separator, start);
    parts.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

bool IsControl(char c) {
  auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7f;
}

bool IsAddrSpec(const std::string& s) {
  if (s.find('@') == std::string::npos || s.find_first_of(" <>") != std::string::npos) return false;
  return std::none_of(s.begin(), s.end(), IsControl);
}

// An addr-spec ("ann@example.org"), or one with a display name ("Ann Example
// <ann@example.org>") as some pages write them. No control character in either, so that
// no header line can be slipped in.
bool IsAddress(const std::string& address) {
  size_t open = address.find('<');
  if (open == std::string::npos) return IsAddrSpec(address);
  if (address.back() != '>') return false;
  std::string name = address.substr(0, open);
  return std::none_of(name.begin(), name.end(), IsControl) &&
         IsAddrSpec(address.substr(open + 1, address.size() - open - 2));
}

// Percent-encoded, comma-separated addresses (already decoded commas split too) added to
// `into`; empty items are skipped.
bool AddAddresses(const std::string& encoded, std::vector<std::string>& into, std::string& error) {
  std::optional<std::string> decoded = PercentDecode(encoded);
  if (!decoded) {
    error = "a \"%\" is not followed by two hexadecimal digits";
    return false;
  }
  for (const std::string& address : Split(*decoded, ',')) {
    if (address.empty()) continue;
    if (!IsAddress(address)) {
      error = "\"" + address + "\" is not an e-mail address";
      return false;
    }
    into.push_back(address);
  }
  return true;
}

std::vector<std::string> BodyLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  return lines;
}

// One "name=value" field of the query.
bool TakeField(const std::string& field, MailtoLink& link, bool& have_subject, bool& have_body,
               std::string& error) {
  size_t equals = field.find('=');
  std::optional<std::string> name = PercentDecode(field.substr(0, equals));
  std::string raw = equals == std::string::npos ? std::string() : field.substr(equals + 1);
  if (!name) {
    error = "a \"%\" is not followed by two hexadecimal digits";
    return false;
  }
  std::string key = AsciiLower(*name);
  if (key == "to") return AddAddresses(raw, link.to, error);
  if (key == "cc") return AddAddresses(raw, link.cc, error);
  if (key != "subject" && key != "body") return true;  // not settable from a link
  std::optional<std::string> value = PercentDecode(raw);
  if (!value) {
    error = "a \"%\" is not followed by two hexadecimal digits";
    return false;
  }
  if (key == "subject") {
    if (value->find_first_of("\r\n") != std::string::npos) {
      error = "the subject has a line break";
      return false;
    }
    if (!have_subject) link.subject = *value;
    have_subject = true;
  } else {
    if (!have_body) link.body = BodyLines(*value);
    have_body = true;
  }
  return true;
}

}  // namespace

std::optional<std::string> PercentDecode(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    int high = i + 2 < s.size() ? HexValue(s[i + 1]) : -1;
    int low = i + 2 < s.size() ? HexValue(s[i + 2]) : -1;
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::optional<std::string> LocalPathOfFileUrl(const std::string& arg) {
  std::string lower = AsciiLower(arg.substr(0, 17));
  size_t path = lower.starts_with("file:///") ? 7 : lower.starts_with("file://localhost/") ? 16 : std::string::npos;
  if (path == std::string::npos) return std::nullopt;
  std::optional<std::string> decoded = PercentDecode(arg.substr(path));
  if (!decoded || decoded->find('\0') != std::string::npos) return std::nullopt;
  return decoded;
}

bool IsMailtoLink(const std::string& arg) { return AsciiLower(arg.substr(0, kSchemeLength)) == kScheme; }

std::optional<MailtoLink> ParseMailto(const std::string& link, std::string& error) {
  if (!IsMailtoLink(link)) {
    error = "it does not begin with \"mailto:\"";
    return std::nullopt;
  }
  std::string rest = link.substr(kSchemeLength);
  size_t query = rest.find('?');
  MailtoLink result;
  if (!AddAddresses(rest.substr(0, query), result.to, error)) return std::nullopt;
  if (query == std::string::npos) return result;
  bool have_subject = false, have_body = false;
  for (const std::string& field : Split(rest.substr(query + 1), '&')) {
    if (field.empty()) continue;
    if (!TakeField(field, result, have_subject, have_body, error)) return std::nullopt;
  }
  return result;
}

}  // namespace corvelle
