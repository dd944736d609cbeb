#pragma once
// Outgoing mail as receivers expect it today: encoded words for non-ASCII header text, a
// date and a message id, UTF-8 text with a transfer encoding, attachments as base64 parts.
// All text in is UTF-8; the lines out end without CR LF.

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

struct OutgoingAttachment {
  std::string name;   // file name without folder, UTF-8
  std::string type;   // "type/subtype"
  std::string bytes;  // the file's content
};

// `text` unchanged when it is ASCII, else as RFC 2047 encoded words (UTF-8), in one line.
std::string EncodeHeaderText(std::string_view text);

// An address entry ("Name <a@b>" or "a@b", a trailing "," kept) with a non-ASCII display
// name as encoded words; ASCII entries unchanged.
std::string EncodeAddressEntry(std::string_view entry);

// "Sun, 06 Dec 2026 21:14:25 +0100": RFC 5322, in the local time zone, English names.
std::string MailDate(std::time_t when);

// "<time.counter.random@domain>" with the domain of `address` (after its "@"), or
// "corvelle.invalid" when it has none: unique for every call.
std::string NewMessageId(std::string_view address);

// Lines as quoted-printable (soft breaks keep every line within 76 characters; trailing
// blanks and "=" encoded, so nothing is lost in transport).
std::vector<std::string> QuotedPrintableLines(const std::vector<std::string>& lines);

// `bytes` as base64 lines of 76 characters.
std::vector<std::string> Base64Lines(std::string_view bytes);

// A MIME type for a file by its extension; "application/octet-stream" when unknown.
std::string TypeForFileName(std::string_view name);

// The MIME header lines and body lines for UTF-8 `text` with `attachments`. Alone, the
// text is text/plain; charset=UTF-8 in 7bit (ASCII), 8bit, or quoted-printable when a line
// exceeds 998 bytes. With attachments, multipart/mixed: the text part, then one base64
// part per attachment with its encoded name.
struct MimeBody {
  std::vector<std::string> header;  // MIME-Version, Content-Type, Content-Transfer-Encoding
  std::vector<std::string> body;
};
MimeBody BuildMimeBody(const std::vector<std::string>& text, const std::vector<OutgoingAttachment>& attachments);

// The attachments of a stored message (a postponed one being reopened), bytes included.
std::vector<OutgoingAttachment> ReadOutgoingAttachments(std::string_view message);

}  // namespace corvelle
