#pragma once
// A received message as a reader sees it: its readable text and its attachments. The file's
// bytes are only read, never changed. Malformed structure never fails: what cannot be
// understood is shown as text.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

struct MimeAttachment {
  std::string name;  // decoded file name (UTF-8); "" when the part names none
  std::string type;  // "type/subtype", lower case
  size_t size = 0;   // decoded bytes
};

struct MimeContent {
  // UTF-8, lines ending in "\n": the text/plain parts that are shown inline (in an
  // alternative, the plain one), else the text of the HTML; empty when those are empty;
  // the raw body when the message has no part that could be read. A Content-Type without
  // a subtype is text/plain.
  std::string text;
  std::vector<MimeAttachment> attachments;  // in the order of the message
  std::string message_id;                   // "<...>", "" when none
  std::string references;                   // the References field, unfolded
};

// Reads a whole message file.
MimeContent ReadMimeContent(std::string_view bytes);

// MimeContent::text alone, for callers that search it: attachments are passed over, never
// decoded.
std::string ReadMimeText(std::string_view bytes);

// ReadMimeContent, with the decoded bytes of each attachment in `contents`, in list order.
MimeContent ReadMimeContent(std::string_view bytes, std::vector<std::string>& contents);

// The decoded bytes of attachment `index` (as listed by ReadMimeContent) into `out`.
// False when there is no such attachment.
bool ExtractAttachment(std::string_view bytes, size_t index, std::string& out);

// Which header fields DecodedMessageLines shows: those a reader needs (From, To, Cc, Date,
// Subject, Reply-To), or every one (a postponed message reopened keeps its own).
enum class HeaderFields { kReader, kAll };

// The message as display lines: the header fields in their order, each unfolded as
// "Name: " + decoded value, an empty line, then the lines of MimeContent::text. A header
// that does not end with an empty line ends at its first line that is no header line,
// which starts the body. Used by the viewer and for quoting. The second form takes the
// message's content already read (ReadMimeContent(bytes)), so a caller that needs both
// parses the message once.
std::vector<std::string> DecodedMessageLines(std::string_view bytes, HeaderFields fields = HeaderFields::kReader);
std::vector<std::string> DecodedMessageLines(std::string_view bytes, const MimeContent& content,
                                             HeaderFields fields = HeaderFields::kReader);

}  // namespace corvelle
