#include "core/search/message_match.h"

#include <algorithm>
#include <array>
#include <vector>

#include "core/mime/mime_reader.h"
#include "core/mime/mime_text.h"
#include "core/mime/transfer_decoding.h"
#include "core/search/search_text.h"
#include "core/store/header_lines.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

bool HasEightBit(std::string_view bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 128; });
}

bool HasEncodedWords(std::string_view value) { return value.find("=?") != std::string_view::npos; }

// The value after "name:" at `at` in `bytes`: its first word, blanks and quotes around it
// dropped.
std::string_view ValueAfter(std::string_view bytes, size_t at, size_t name_size) {
  std::string_view rest = bytes.substr(at + name_size);
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t' || rest.front() == '"')) rest.remove_prefix(1);
  return rest.substr(0, std::min(rest.find_first_of("\r\n;\" \t"), rest.size()));
}

bool IsEncodingWithText(std::string_view value) {
  return StartsWithIgnoringCase(value, "base64") || StartsWithIgnoringCase(value, "quoted-printable");
}

// Charsets whose bytes do not spell ASCII letters as ASCII does.
bool IsAsciiIncompatible(std::string_view charset) {
  for (std::string_view name : {"utf-16", "utf-32", "utf-7", "ucs-2", "ucs-4", "utf16", "utf32", "utf7"})
    if (StartsWithIgnoringCase(charset, name)) return true;
  return false;
}

// True when a "charset=" parameter of the lowered bytes names an ASCII-incompatible charset.
bool HasAsciiIncompatibleCharset(std::string_view lowered) {
  constexpr std::string_view kName = "charset=";
  for (size_t at = lowered.find(kName); at != std::string_view::npos; at = lowered.find(kName, at + 1))
    if (IsAsciiIncompatible(ValueAfter(lowered, at, kName.size()))) return true;
  return false;
}

// The header block (between empty lines) that holds offset `at` of the lowered bytes.
std::string_view BlockAround(std::string_view lowered, size_t at) {
  size_t start = 0;
  for (std::string_view blank : {"\n\n", "\n\r\n"})
    if (size_t found = lowered.rfind(blank, at); found != std::string_view::npos)
      start = std::max(start, found + blank.size());
  size_t end = std::min({lowered.find("\n\n", at), lowered.find("\n\r\n", at), lowered.size()});
  return lowered.substr(start, end - start);
}

// True when the part whose header holds offset `at` of the lowered bytes may be read as
// text: its type is text, message or multipart, is no valid type, or is absent (plain text
// then). An encoded attachment (an image, a PDF) holds no text to search.
bool PartMayBeText(std::string_view lowered, size_t at) {
  std::string_view block = BlockAround(lowered, at);
  constexpr std::string_view kType = "content-type:";
  for (size_t type = block.find(kType); type != std::string_view::npos; type = block.find(kType, type + 1)) {
    if (type > 0 && block[type - 1] != '\n') continue;  // "x-content-type:" is another field
    std::string_view value = ValueAfter(block, type, kType.size());
    return value.find('/') == std::string_view::npos || value.starts_with("text/") ||
           value.starts_with("message/") || value.starts_with("multipart/");
  }
  return true;
}

// True when a text part of the message may be base64 or quoted-printable.
bool HasEncodedTextPart(std::string_view lowered) {
  constexpr std::string_view kName = "content-transfer-encoding:";
  for (size_t at = lowered.find(kName); at != std::string_view::npos; at = lowered.find(kName, at + 1))
    if (IsEncodingWithText(ValueAfter(lowered, at, kName.size())) && PartMayBeText(lowered, at)) return true;
  return false;
}

std::string CharsetOf(std::string_view content_type) {
  std::string lowered = AsciiLower(content_type);
  size_t at = lowered.find("charset=");
  return at == std::string::npos ? std::string() : std::string(ValueAfter(lowered, at, 8));
}

bool IsPlainText(const MessageFields& fields) {
  return fields.content_type.empty() || StartsWithIgnoringCase(fields.content_type, "text/plain");
}

// A body whose raw bytes are its text: plain text, not transfer-encoded, in an
// ASCII-compatible charset.
bool RawBodyIsText(const MessageFields& fields) {
  return IsPlainText(fields) && !IsEncodingWithText(fields.transfer_encoding) &&
         !IsAsciiIncompatible(CharsetOf(fields.content_type));
}

bool InHeaderValue(std::string_view value, const SearchText& text, bool address) {
  const bool encoded = HasEncodedWords(value);
  // The raw bytes of an encoded word are no text of the field ("=?UTF-8?B?" holds "utf").
  if (!encoded && text.InBytes(value)) return true;
  if (!encoded && (text.Ascii() || !HasEightBit(value))) return false;
  return text.InText(ShownHeaderText(value, address));
}

bool InBody(std::string_view bytes, const MessageFields& fields, const SearchText& text) {
  std::string_view body = bytes.substr(HeaderSize(bytes));
  if (text.Ascii() && RawBodyIsText(fields)) return text.InBytes(body);
  // A single plain text part needs no parse of the message: decoded and converted at once.
  if (IsPlainText(fields))
    return text.InText(TextToUtf8(DecodeTransferEncoding(body, fields.transfer_encoding), CharsetOf(fields.content_type)));
  return text.InText(ReadMimeText(bytes));
}

}  // namespace

MessageFields ReadMessageFields(std::string_view bytes) {
  MessageFields fields;
  const std::array<std::pair<std::string_view, std::string*>, 7> wanted = {{
      {"subject:", &fields.subject},
      {"from:", &fields.from},
      {"to:", &fields.to},
      {"cc:", &fields.cc},
      {"date:", &fields.date},
      {"content-type:", &fields.content_type},
      {"content-transfer-encoding:", &fields.transfer_encoding},
  }};
  std::array<bool, 7> seen{};
  // Only the lines of a wanted field are copied, to be unfolded.
  std::vector<std::string> field;
  size_t taking = wanted.size();
  auto finish = [&] {
    if (taking < wanted.size()) *wanted[taking].second = UnfoldedField(field, 0, wanted[taking].first.size());
    taking = wanted.size();
    field.clear();
  };
  std::string_view header = bytes.substr(0, HeaderSize(bytes));
  while (!header.empty()) {
    size_t end = std::min(header.find('\n'), header.size());
    std::string_view line = header.substr(0, end);
    header.remove_prefix(std::min(end + 1, header.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (IsContinuationLine(line)) {
      if (taking < wanted.size()) field.emplace_back(line);
      continue;
    }
    finish();
    for (size_t k = 0; k < wanted.size() && taking == wanted.size(); ++k)
      if (!seen[k] && StartsWithIgnoringCase(line, wanted[k].first)) {
        seen[k] = true;
        taking = k;
        field.emplace_back(line);
      }
  }
  finish();
  return fields;
}

bool HasFoldedHeader(std::string_view bytes) {
  size_t end = std::min({bytes.find("\n\n"), bytes.find("\n\r\n"), bytes.size()});
  std::string_view header = bytes.substr(0, end);
  return header.find("\n ") != std::string_view::npos || header.find("\n\t") != std::string_view::npos;
}

bool NeedsDecoding(std::string_view bytes, std::string_view lowered, const SearchText& text) {
  if (!text.Ascii() && HasEightBit(bytes)) return true;
  return HasEncodedWords(bytes) || HasEncodedTextPart(lowered) || HasAsciiIncompatibleCharset(lowered);
}

std::optional<SearchField> MatchMessage(std::string_view bytes, const MessageFields& fields, const SearchText& text,
                                       bool header_only) {
  if (InHeaderValue(fields.subject, text, false)) return SearchField::kSubject;
  if (InHeaderValue(fields.from, text, true)) return SearchField::kSender;
  if (InHeaderValue(fields.to, text, true) || InHeaderValue(fields.cc, text, true)) return SearchField::kRecipients;
  if (!header_only && InBody(bytes, fields, text)) return SearchField::kBody;
  return std::nullopt;
}

std::string ShownHeaderText(std::string_view raw, bool address) {
  if (!HasEncodedWords(raw) && !HasEightBit(raw)) return std::string(raw);
  return address ? DecodeAddressText(raw) : DecodeHeaderText(raw);
}

}  // namespace corvelle
