#pragma once
// Text of received mail made readable: encoded words decoded, charsets converted to UTF-8,
// HTML reduced to its text. Everything returned is UTF-8; nothing here ever fails.

#include <string>
#include <string_view>

namespace corvelle {

// `bytes` in `charset` as UTF-8. UTF-8, an empty, unknown or lying charset fall back to the
// display rule of message files: kept when valid UTF-8; UTF-8 with bad bytes among its
// letters kept with U+FFFD for each bad sequence; 8-bit text without any UTF-8 sequence
// read as Windows-1252.
std::string TextToUtf8(std::string_view bytes, std::string_view charset);

// A header value with its encoded words (=?charset?B|Q?...?=) decoded and its folding
// undone (a TAB after a line break is a space); raw 8-bit bytes go through the fallback of
// TextToUtf8.
std::string DecodeHeaderText(std::string_view raw);

// An address list field ("From", "To", "Cc") decoded like DecodeHeaderText, except that a
// decoded display name holding a comma or another special is quoted, so the list still
// splits into the same addresses. ASCII text without encoded words comes back unchanged.
std::string DecodeAddressText(std::string_view raw);

// The text of an HTML document (UTF-8 in and out), read by an HTML parser: scripts, styles
// and the head dropped, tags removed, character references resolved, a line break at each
// block's start and end and at <br>, table cells apart by a blank, white space collapsed
// (except in <pre>), at most one empty line in a row; a link whose text does not show its
// target is "text <target>". Nothing is ever fetched: images and links are only text.
std::string HtmlToText(std::string_view html);

}  // namespace corvelle
