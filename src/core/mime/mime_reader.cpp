#include "core/mime/mime_reader.h"

#include <functional>

#include "core/mime/gmime_support.h"
#include "core/mime/mime_text.h"
#include "core/store/header_lines.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

// A Content-Type without a "/" in its type ("text", "text; charset=utf-8") is no valid one,
// and a part whose type is not valid is plain text (RFC 2045 5.2); GMime takes it for
// application/octet-stream.
bool HasInvalidType(GMimeObject* object) {
  const char* raw = g_mime_object_get_header(object, "Content-Type");
  if (!raw) return false;
  std::string_view type = raw;
  type = type.substr(0, type.find(';'));
  return type.find('/') == std::string_view::npos;
}

std::string MimeType(GMimeObject* object) {
  GMimeContentType* type = g_mime_object_get_content_type(object);
  if (!type || HasInvalidType(object)) return "text/plain";
  return AsciiLower(TakeGString(g_mime_content_type_get_mime_type(type)));
}

// The decoded content of a leaf part, or the whole text of an attached message.
std::string Content(GMimeObject* object) {
  if (GMIME_IS_PART(object)) return PartContent(GMIME_PART(object));
  GMimeMessage* inner = GMIME_IS_MESSAGE_PART(object) ? g_mime_message_part_get_message(GMIME_MESSAGE_PART(object)) : nullptr;
  // Message files end their lines in CR LF; so does an attached message saved as one.
  return inner ? ObjectBytes(GMIME_OBJECT(inner)) : std::string();
}

// The content of an inline text part; text that its transfer encoding cannot decode (broken
// base64 comes out as nothing) is shown as it stands.
std::string TextContent(GMimeObject* object) {
  std::string text = Content(object);
  if (text.empty() && GMIME_IS_PART(object)) {
    std::string encoded = PartEncodedContent(GMIME_PART(object));
    if (encoded.find_first_not_of(" \t\r\n") != std::string::npos) return encoded;
  }
  return text;
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
    std::string text = TextToUtf8(TextContent(object), Charset(object));
    if (MimeType(object) == "text/html") text = HtmlToText(text);
    Append(text);
    saw_text_ = true;
  }

  // True when an inline text part was met, even an empty one.
  bool SawText() const { return saw_text_; }

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
  bool saw_text_ = false;
};

std::string AttachmentName(GMimeObject* object) {
  if (GMIME_IS_PART(object)) {
    const char* name = g_mime_part_get_filename(GMIME_PART(object));
    return name ? DecodeHeaderText(name) : std::string();
  }
  return "";
}

// The message as GMime must see it: a header that does not end with an empty line ends at
// its first line that is no header line, which starts the body (as Python's parser reads
// it); the empty line is put in before that line. `storage` holds such a copy.
std::string_view WithBodySeparator(std::string_view bytes, std::string& storage) {
  const size_t header = HeaderSize(bytes);
  if (header == bytes.size() || bytes[header] == '\n' || bytes.substr(header).starts_with("\r\n")) return bytes;
  storage.reserve(bytes.size() + 2);
  storage.append(bytes.substr(0, header)).append("\r\n").append(bytes.substr(header));
  return storage;
}

// The body after the header (WithBodySeparator), as text: what a reader gets when the
// structure is unusable.
std::string RawBody(std::string_view bytes) {
  const size_t header = HeaderSize(bytes);
  if (header == bytes.size()) return "";
  std::string body;
  for (char c : TextToUtf8(bytes.substr(bytes.find('\n', header) + 1), ""))
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
MimeContent ReadContent(std::string_view file, std::vector<std::string>* contents) {
  std::string storage;
  const std::string_view bytes = WithBodySeparator(file, storage);
  MimeContent content;
  GRef<GMimeMessage> message = ParseMessage(bytes);
  bool saw_text = false;
  if (message) {
    Walker walker(content, [&](GMimeObject* leaf) {
      std::string data = Content(leaf);
      content.attachments.push_back({AttachmentName(leaf), MimeType(leaf), data.size()});
      if (contents) contents->push_back(std::move(data));
    });
    walker.Walk(g_mime_message_get_mime_part(message.get()), 0);
    saw_text = walker.SawText();
    if (const char* id = g_mime_message_get_message_id(message.get())) content.message_id = "<" + std::string(id) + ">";
    content.references = DecodeHeaderText(HeaderValue(message.get(), "References"));
  }
  // Text parts that are empty are an empty text; only a message without any readable part
  // is shown as its raw body.
  if (!saw_text && content.attachments.empty()) content.text = RawBody(bytes);
  return content;
}

// The fields a reader is shown above the text; the rest is for "Show source".
bool IsReaderField(std::string_view name) {
  for (const char* field : {"from", "to", "cc", "date", "subject", "reply-to"})
    if (SameNameIgnoringCase(name, field)) return true;
  return false;
}

}  // namespace

MimeContent ReadMimeContent(std::string_view bytes) { return ReadContent(bytes, nullptr); }

std::string ReadMimeText(std::string_view file) {
  std::string storage;
  const std::string_view bytes = WithBodySeparator(file, storage);
  MimeContent content;
  bool saw_text = false, saw_attachment = false;
  if (GRef<GMimeMessage> message = ParseMessage(bytes)) {
    Walker walker(content, [&](GMimeObject*) { saw_attachment = true; });
    walker.Walk(g_mime_message_get_mime_part(message.get()), 0);
    saw_text = walker.SawText();
  }
  // As ReadContent: only a message without any readable part is its raw body.
  if (!saw_text && !saw_attachment) content.text = RawBody(bytes);
  return content.text;
}

MimeContent ReadMimeContent(std::string_view bytes, std::vector<std::string>& contents) {
  contents.clear();
  return ReadContent(bytes, &contents);
}

bool ExtractAttachment(std::string_view file, size_t index, std::string& out) {
  std::string storage;
  GRef<GMimeMessage> message = ParseMessage(WithBodySeparator(file, storage));
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

std::vector<std::string> DecodedMessageLines(std::string_view bytes, HeaderFields fields) {
  return DecodedMessageLines(bytes, ReadMimeContent(bytes), fields);
}

std::vector<std::string> DecodedMessageLines(std::string_view bytes, const MimeContent& content, HeaderFields fields) {
  std::vector<std::string> lines;
  // Header fields: a line that starts with a blank continues the field before it; one
  // without a field before it belongs to none.
  const std::string_view header = bytes.substr(0, HeaderSize(bytes));
  for (size_t at = 0; at < header.size();) {
    size_t end = header.find('\n', at);
    if (end == std::string_view::npos) end = header.size();
    std::string_view line = header.substr(at, end - at);
    at = end + 1;
    if (IsContinuationLine(line)) {
      if (!lines.empty()) lines.back().append("\n").append(line);
    } else {
      lines.emplace_back(line);
    }
  }
  std::vector<std::string> shown;
  for (const std::string& field : lines) {
    const size_t colon = field.find(':');
    if (colon == std::string::npos) continue;  // a "From " line
    const std::string name = field.substr(0, colon);
    if (fields == HeaderFields::kReader && !IsReaderField(name)) continue;
    const size_t value = field.find_first_not_of(" \t\r\n", colon + 1);
    const std::string raw = value == std::string::npos ? "" : field.substr(value);
    shown.push_back(name + ": " + (IsAddressField(name) ? DecodeAddressText(raw) : DecodeHeaderText(raw)));
  }
  shown.emplace_back();
  const std::string& text = content.text;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    shown.emplace_back(text, start, end - start);
    start = end + 1;
  }
  return shown;
}

}  // namespace corvelle
