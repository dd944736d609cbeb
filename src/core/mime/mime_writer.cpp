#include "core/mime/mime_writer.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <random>

#include "core/mime/gmime_support.h"
#include "core/mime/mime_reader.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr size_t kMaxLine = 998;
constexpr size_t kQpWidth = 76;

bool IsAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

std::string Boundary() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "=_corvelle_%08x%08x_%u", random(), random(), counter++);
  return buffer;
}

// One line as quoted-printable, broken with "=" so no piece exceeds the width.
void AppendQpLine(std::string_view line, std::vector<std::string>& out) {
  static const char* kHex = "0123456789ABCDEF";
  std::string piece;
  for (size_t i = 0; i < line.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    const bool last = i + 1 == line.size();
    const bool plain = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last);
    std::string code = plain ? std::string(1, static_cast<char>(c)) : std::string{'=', kHex[c >> 4], kHex[c & 15]};
    if (piece.size() + code.size() > kQpWidth - 1) {
      out.push_back(piece + "=");
      piece.clear();
    }
    piece += code;
  }
  out.push_back(piece);
}

void AddPartHeader(std::vector<std::string>& lines, const std::string& type, const std::string& encoding) {
  lines.push_back("Content-Type: " + type);
  lines.push_back("Content-Transfer-Encoding: " + encoding);
}

// The header and lines of the text part.
MimeBody TextPart(const std::vector<std::string>& text) {
  bool ascii = true, long_line = false;
  for (const std::string& line : text) {
    ascii = ascii && IsAscii(line);
    long_line = long_line || line.size() > kMaxLine;
  }
  MimeBody part;
  const char* encoding = long_line ? "quoted-printable" : ascii ? "7bit" : "8bit";
  AddPartHeader(part.header, "text/plain; charset=UTF-8", encoding);
  part.body = long_line ? QuotedPrintableLines(text) : text;
  return part;
}

// name="..." for the header, encoded the way mail programs read (RFC 2231 for non-ASCII).
std::string NameParameter(const char* parameter, const std::string& name) {
  std::string quoted;
  for (char c : name) {
    if (c == '"' || c == '\\') quoted += '\\';
    if (c != '\r' && c != '\n') quoted += c;
  }
  if (IsAscii(name)) return std::string(parameter) + "=\"" + quoted + "\"";
  std::string encoded = std::string(parameter) + "*=UTF-8''";
  static const char* kHex = "0123456789ABCDEF";
  for (unsigned char c : name) {
    if (g_ascii_isalnum(c) || c == '.' || c == '-' || c == '_')
      encoded += static_cast<char>(c);
    else
      encoded += std::string{'%', kHex[c >> 4], kHex[c & 15]};
  }
  return encoded;
}

}  // namespace

std::string EncodeHeaderText(std::string_view text) {
  if (IsAscii(text)) return std::string(text);
  // Words of at most 45 bytes (60 encoded), never splitting a UTF-8 sequence.
  std::string out;
  for (size_t at = 0; at < text.size();) {
    size_t end = std::min(text.size(), at + 45);
    while (end < text.size() && end > at + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    std::string_view chunk = text.substr(at, end - at);
    if (!out.empty()) out += ' ';
    out += "=?UTF-8?B?" + TakeGString(g_base64_encode(reinterpret_cast<const guchar*>(chunk.data()), chunk.size())) + "?=";
    at = end;
  }
  return out;
}

std::string EncodeAddressEntry(std::string_view entry) {
  if (IsAscii(entry)) return std::string(entry);
  std::string text(entry);
  const bool comma = !text.empty() && text.back() == ',';
  if (comma) text.pop_back();
  // "Name <a@b>": the name is encoded; "a@b (Name)": the comment is.
  const size_t angle = text.find('<'), paren = text.find('(');
  std::string out;
  if (angle != std::string::npos && IsAscii(std::string_view(text).substr(angle))) {
    std::string name = text.substr(0, angle);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    out = EncodeHeaderText(name) + " " + text.substr(angle);
  } else if (paren != std::string::npos && text.back() == ')' && IsAscii(std::string_view(text).substr(0, paren))) {
    out = text.substr(0, paren + 1) + EncodeHeaderText(text.substr(paren + 1, text.size() - paren - 2)) + ")";
  } else {
    out = EncodeHeaderText(text);
  }
  return comma ? out + "," : out;
}

std::string MailDate(std::time_t when) {
  static const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm local{};
  localtime_r(&when, &local);
  long offset = local.tm_gmtoff / 60;
  const char sign = offset < 0 ? '-' : '+';
  if (offset < 0) offset = -offset;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[local.tm_wday],
                local.tm_mday, kMonths[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min,
                local.tm_sec, sign, offset / 60, offset % 60);
  return buffer;
}

std::string NewMessageId(std::string_view address) {
  static std::atomic<unsigned> counter{0};
  size_t at = address.rfind('@');
  std::string domain = at == std::string_view::npos ? "" : std::string(address.substr(at + 1));
  while (!domain.empty() && (domain.back() == '>' || domain.back() == ' ')) domain.pop_back();
  if (domain.empty() || !IsAscii(domain) || domain.find_first_of(" <>\"") != std::string::npos)
    domain = "corvelle.invalid";
  std::random_device random;
  char buffer[80];
  std::snprintf(buffer, sizeof buffer, "<%lld.%u.%08x@", static_cast<long long>(std::time(nullptr)), counter++,
                random());
  return buffer + domain + ">";
}

std::vector<std::string> QuotedPrintableLines(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  out.reserve(lines.size());
  for (const std::string& line : lines) AppendQpLine(line, out);
  return out;
}

std::vector<std::string> Base64Lines(std::string_view bytes) {
  std::string encoded = TakeGString(g_base64_encode(reinterpret_cast<const guchar*>(bytes.data()), bytes.size()));
  std::vector<std::string> lines;
  lines.reserve(encoded.size() / kQpWidth + 1);
  for (size_t at = 0; at < encoded.size(); at += kQpWidth) lines.push_back(encoded.substr(at, kQpWidth));
  return lines;
}

std::string TypeForFileName(std::string_view name) {
  static const std::pair<const char*, const char*> kTypes[] = {
      {".txt", "text/plain"},       {".pdf", "application/pdf"}, {".png", "image/png"},
      {".jpg", "image/jpeg"},       {".jpeg", "image/jpeg"},     {".gif", "image/gif"},
      {".zip", "application/zip"},  {".html", "text/html"},      {".htm", "text/html"},
      {".csv", "text/csv"},         {".xml", "application/xml"}, {".json", "application/json"},
      {".doc", "application/msword"}, {".odt", "application/vnd.oasis.opendocument.text"}};
  size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) {
    const std::string ext = AsciiLower(name.substr(dot));
    for (const auto& [suffix, type] : kTypes)
      if (ext == suffix) return type;
  }
  return "application/octet-stream";
}

MimeBody BuildMimeBody(const std::vector<std::string>& text, const std::vector<OutgoingAttachment>& attachments) {
  MimeBody text_part = TextPart(text);
  MimeBody body;
  body.header.push_back("MIME-Version: 1.0");
  if (attachments.empty()) {
    body.header.insert(body.header.end(), text_part.header.begin(), text_part.header.end());
    body.body = std::move(text_part.body);
    return body;
  }
  const std::string boundary = Boundary();
  body.header.push_back("Content-Type: multipart/mixed; boundary=\"" + boundary + "\"");
  body.body = {"This is a multi-part message in MIME format.", "", "--" + boundary};
  body.body.insert(body.body.end(), text_part.header.begin(), text_part.header.end());
  body.body.emplace_back();
  body.body.insert(body.body.end(), text_part.body.begin(), text_part.body.end());
  for (const OutgoingAttachment& attachment : attachments) {
    body.body.push_back("--" + boundary);
    AddPartHeader(body.body, attachment.type + "; " + NameParameter("name", attachment.name), "base64");
    body.body.push_back("Content-Disposition: attachment; " + NameParameter("filename", attachment.name));
    body.body.emplace_back();
    std::vector<std::string> encoded = Base64Lines(attachment.bytes);
    body.body.insert(body.body.end(), encoded.begin(), encoded.end());
  }
  body.body.push_back("--" + boundary + "--");
  return body;
}

std::vector<OutgoingAttachment> ReadOutgoingAttachments(std::string_view message) {
  std::vector<std::string> contents;
  const MimeContent content = ReadMimeContent(message, contents);
  std::vector<OutgoingAttachment> out;
  for (size_t i = 0; i < content.attachments.size(); ++i)
    out.push_back({content.attachments[i].name, content.attachments[i].type, std::move(contents[i])});
  return out;
}

}  // namespace corvelle
