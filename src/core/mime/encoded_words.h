#pragma once
// Encoded words of header text (RFC 2047): =?charset?B?base64?= and =?charset?Q?text?=.

#include <string>
#include <string_view>

namespace corvelle {

// `text` (one unfolded header value) as UTF-8: every encoded word decoded, the blanks
// between two adjacent encoded words dropped. Each word is decoded on its own (a padded
// base64 word ends only itself); the bytes of adjacent words in one charset are converted
// together, so a letter split between two words comes out whole. Text outside encoded
// words, and anything that only looks like one, goes through TextToUtf8 without a charset.
std::string DecodeEncodedWords(std::string_view text);

}  // namespace corvelle
