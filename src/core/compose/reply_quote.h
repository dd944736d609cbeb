#pragma once
// The start of a reply: the answered message quoted, its subject and recipients taken over.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

struct ReplyQuote {
  // "Re: " + the answered subject without its leading "re:"s (any case, each followed by a
  // trim); nullopt when the answered header has no "Subject: " line: the window keeps the
  // subject it was opened with.
  std::optional<std::string> subject;
  // Address texts for SplitAddressList: the sender goes to the recipient line, the copy
  // recipients to the copy line. "" when there is no such line.
  std::string from;
  std::string cc;
  // The answered message's own recipients ("To: "), for the identity the reply goes out as.
  std::string to;
  // The lines the reply's text starts with: the attribution line "On " + date + ", you wrote:"
  // ("" when the header has no "Date: " line), every body line behind "> ", then two empty
  // lines. A header without an empty line after it (or no lines: an unreadable file) gives
  // no attribution and no quote, only the two empty lines.
  std::vector<std::string> text;
  // For the reply's header: the answered Message-ID, and the References chain it extends.
  std::string in_reply_to, references;
};

// Quotes the lines of the answered message. Trailing lines that are empty or hold only
// blanks are dropped first. Header fields as in ReadOpenedHeader ("From: ", "To: " and "Cc: "
// with their continuation lines); a later line of a kind replaces an earlier one. Bytes are kept.
ReplyQuote QuoteReply(std::vector<std::string> lines);

// Quotes the message file `bytes` as a reader sees it (QuoteReply over DecodedMessageLines:
// header text decoded, the readable text part instead of the encoded body) and names the
// answered message for In-Reply-To and References.
ReplyQuote QuoteReplyMessage(std::string_view bytes);

}  // namespace corvelle
