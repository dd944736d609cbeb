#pragma once
// Whether one message file holds a search text, and where: its subject, its sender, its
// recipients or its readable body. Raw bytes are looked at first; only what is encoded
// (encoded words, base64 or quoted-printable parts, charsets that are not ASCII-compatible)
// is decoded.

#include <optional>
#include <string>
#include <string_view>

namespace corvelle {

class SearchText;

enum class SearchField { kSubject, kSender, kRecipients, kBody };

// The header fields the search reads, each unfolded and still raw; "" when absent.
struct MessageFields {
  std::string subject, from, to, cc, date, content_type, transfer_encoding;
};

// The fields of the header at the start of the message file `bytes` (the first of each
// name counts).
MessageFields ReadMessageFields(std::string_view bytes);

// True when the message file `bytes` (`lowered`: the same through LowerAscii) may hold
// `text` in decoded form only: it has encoded words, a base64 or quoted-printable text part, a
// charset that spells ASCII otherwise (UTF-16, UTF-7 ...), or, for a text beyond ASCII,
// any 8-bit byte.
bool NeedsDecoding(std::string_view bytes, std::string_view lowered, const SearchText& text);

// True when a line of the header at the start of `bytes` continues a field: its unfolded
// value may hold a text with a blank that its raw bytes do not. (A header that ends
// without an empty line may be taken as longer than it is.)
bool HasFoldedHeader(std::string_view bytes);

// The first field that holds `text`, in the order subject, sender (From), recipients (To,
// Cc), body (the text MimeContent shows; not with `header_only`); nothing when none does.
// Decoded text is searched wherever the raw bytes are not the text itself.
std::optional<SearchField> MatchMessage(std::string_view bytes, const MessageFields& fields, const SearchText& text,
                                       bool header_only = false);

// A header value as shown: encoded words decoded, charsets converted; addresses keep their
// list form.
std::string ShownHeaderText(std::string_view raw, bool address);

}  // namespace corvelle
