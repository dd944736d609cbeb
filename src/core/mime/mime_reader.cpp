#include "core/mime/mime_reader.h"

#include <functional>

#include "core/mime/gmime_support.h"
#include "core/mime/mime_text.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

std::string MimeType(GMimeObject* object) {
  GMimeContentType* type = g_mime_object_get_content_type(object);
  return AsciiLower(type ? TakeGString(g_mime_content_type_get_mime_type(type)) : "text/plain");
}

// The decoded content of a leaf part, or the whole text of an attached message.
std::string Content(GMimeObject* object) {
  if (GMIME_IS_PART(object)) return PartContent(GMIME_PART(object));
  GMimeMessage* inner = GMIME_IS_MESSAGE_PART(object) ? g_mime_message_part_get_message(GMIME_MESSAGE_PART(object)) : nullptr;
  // Message files end their lines in CR LF; so does an attached message saved as one.
  return inner ? ObjectBytes(GMIME_OBJECT(inner)) : std::string();
}

bool IsAttachment(GMimeObject* object) {
  if (!GMIME_IS_PART(object)) return true;
  GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(object);
  if (disposition && g_mime_content_disposition_is_attachment(disposition)) return true;
  const std::string type = MimeType(object);
  return type != "text/plain" && type != "text/html";
}

std::string Charset(GMimeObject* object) {
  const char* charset = g_mime_object_get_content_type_parameter(object, "charset");
  return charset ? charset : "";
}

// Walks the tree: inline text into `content`, other leaves to `leaf` in message order.
class Walker {
 public:
  using Leaf = std::function<void(GMimeObject*)>;
  Walker(MimeContent& content, Leaf leaf) : content_(content), leaf_(std::move(leaf)) {}

  void Walk(GMimeObject* object, int depth) {
    if (!object || depth > 64) return;
    if (GMIME_IS_MULTIPART(object)) {
      GMimeMultipart* multipart = GMIME_MULTIPART(object);
      const int count = g_mime_multipart_get_count(multipart);
      if (MimeType(object) == "multipart/alternative" && count > 0) {
        Walk(g_mime_multipart_get_part(multipart, Preferred(multipart)), depth + 1);
        return;
      }
      for (int i = 0; i < count; ++i) Walk(g_mime_multipart_get_part(multipart, i), depth + 1);
      return;
    }
    if (IsAttachment(object)) {
      leaf_(object);
      return;
    }
    std::string text = TextToUtf8(Content(object), Charset(object));
    if (MimeType(object) == "text/html") text = HtmlToText(text);
    Append(text);
  }

 private:
  // The plain alternative when there is one, else the last (the richest the sender had).
  static int Preferred(GMimeMultipart* multipart) {
    const int count = g_mime_multipart_get_count(multipart);
    for (int i = 0; i < count; ++i) {
      GMimeObject* part = g_mime_multipart_get_part(multipart, i);
      if (MimeType(part) == "text/plain" && !IsAttachment(part)) return i;
    }
    return count - 1;
  }

  void Append(const std::string& text) {
    std::string& out = content_.text;
    if (!out.empty() && out.back() != '\n') out += '\n';
    for (char c : text)
      if (c != '\r') out += c;
  }

  MimeContent& content_;
  Leaf leaf_;
};

std::string AttachmentName(GMimeObject* object) {
  if (GMIME_IS_PART(object)) {
    const char* name = g_mime_part_get_filename(GMIME_PART(object));
    return name ? DecodeHeaderText(name) : std::string();
  }
  return "";
}

// The body after the header, as text: what a reader gets when the structure is unusable.
std::string RawBody(std::string_view bytes) {
  size_t at = bytes.find("\n\r\n");
  size_t lf = bytes.find("\n\n");
  if (lf < at) at = lf - 1;
  if (at == std::string_view::npos) return "";
  std::string body;
  for (char c : TextToUtf8(bytes.substr(bytes.find('\n', at + 1) + 1), ""))
    if (c != '\r') body += c;
  return body;
}

std::string HeaderValue(GMimeMessage* message, const char* name) {
  const char* value = g_mime_object_get_header(GMIME_OBJECT(message), name);
  return value ? std::string(value) : std::string();
}

bool IsAddressField(const std::string& name) {
  for (const char* field : {"from", "to", "cc", "bcc", "reply-to", "sender"})
    if (g_ascii_strcasecmp(name.c_str(), field) == 0) return true;
  return false;
}

// ReadMimeContent; with `contents`, each attachment's bytes are kept there as well.
MimeContent ReadContent(std::string_view bytes, std::vector<std::string>* contents) {
  MimeContent content;
  GRef<GMimeMessage> message = ParseMessage(bytes);
  if (message) {
    Walker(content, [&](GMimeObject* leaf) {
      std::string data = Content(leaf);
      content.attachments.push_back({AttachmentName(leaf), MimeType(leaf), data.size()});
      if (contents) contents->push_back(std::move(data));
    }).Walk(g_mime_message_get_mime_part(message.get()), 0);
    if (const char* id = g_mime_message_get_message_id(message.get())) content.message_id = "<" + std::string(id) + ">";
    content.references = DecodeHeaderText(HeaderValue(message.get(), "References"));
  }
  if (content.text.empty() && content.attachments.empty()) content.text = RawBody(bytes);
  return content;
}

}  // namespace

MimeContent ReadMimeContent(std::string_view bytes) { return ReadContent(bytes, nullptr); }

MimeContent ReadMimeContent(std::string_view bytes, std::vector<std::string>& contents) {
  contents.clear();
  return ReadContent(bytes, &contents);
}

bool ExtractAttachment(std::string_view bytes, size_t index, std::string& out) {
  GRef<GMimeMessage> message = ParseMessage(bytes);
  if (!message) return false;
  MimeContent ignored;
  size_t seen = 0;
  bool found = false;
  Walker(ignored, [&](GMimeObject* leaf) {
    if (seen++ == index) {
      out = Content(leaf);
      found = true;
    }
  }).Walk(g_mime_message_get_mime_part(message.get()), 0);
  return found;
}

std::vector<std::string> DecodedMessageLines(std::string_view bytes) {
  return DecodedMessageLines(bytes, ReadMimeContent(bytes));
}

std::vector<std::string> DecodedMessageLines(std::string_view bytes, const MimeContent& content) {
  std::vector<std::string> lines;
  // Header fields: a line that starts with a blank continues the field before it.
  size_t at = 0;
  while (at < bytes.size()) {
    size_t end = bytes.find('\n', at);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at = end + 1;
    if (line.empty()) break;
    if ((line[0] == ' ' || line[0] == '\t') && !lines.empty())
      lines.back() += line;
    else
      lines.emplace_back(line);
  }
  for (std::string& field : lines) {
    size_t colon = field.find(':');
    if (colon == std::string::npos) {
      field = DecodeHeaderText(field);
      continue;
    }
    size_t value = field.find_first_not_of(" \t", colon + 1);
    const std::string name = field.substr(0, colon);
    const std::string raw = value == std::string::npos ? "" : field.substr(value);
    field = name + ": " + (IsAddressField(name) ? DecodeAddressText(raw) : DecodeHeaderText(raw));
  }
  lines.emplace_back();
  const std::string& text = content.text;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.emplace_back(text, start, end - start);
    start = end + 1;
  }
  return lines;
}

}  // namespace corvelle
