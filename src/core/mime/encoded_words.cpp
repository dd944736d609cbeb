#include "core/mime/encoded_words.h"

#include <glib.h>

#include <optional>

#include "core/mime/mime_text.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

struct EncodedWord {
  size_t size = 0;      // bytes of the word in the text, "=?" to "?=" included
  std::string charset;  // lower case, without a language ("utf-8*en" is "utf-8")
  std::string bytes;    // the decoded bytes, still in `charset`
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string DecodeQ(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_') {
      out += ' ';
    } else if (text[i] == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string DecodeB(std::string_view text) {
  // Words without their padding are common; the decoder gives the last bytes only with it.
  std::string padded(text);
  padded.append((4 - padded.size() % 4) % 4, '=');
  std::string out(padded.size() / 4 * 3 + 3, '\0');
  gint state = 0;
  guint save = 0;
  const gsize written =
      g_base64_decode_step(padded.data(), padded.size(), reinterpret_cast<guchar*>(out.data()), &state, &save);
  out.resize(written);
  return out;
}

// The encoded word at text[at] ("=?" there), or nothing when it is none.
std::optional<EncodedWord> WordAt(std::string_view text, size_t at) {
  // A word holds no blank: each search stops at the first one, so a field full of "=?"
  // that never close costs one pass, not one pass per "=?".
  const size_t q1 = text.find_first_of("? \t\r\n", at + 2);
  if (q1 == std::string_view::npos || text[q1] != '?' || q1 + 3 >= text.size() || text[q1 + 2] != '?')
    return std::nullopt;
  const char encoding = text[q1 + 1];
  const size_t end = text.find_first_of("? \t\r\n", q1 + 3);
  if (end == std::string_view::npos || text[end] != '?' || end + 1 >= text.size() || text[end + 1] != '=')
    return std::nullopt;
  std::string_view charset = text.substr(at + 2, q1 - at - 2), payload = text.substr(q1 + 3, end - q1 - 3);
  if (charset.empty()) return std::nullopt;
  EncodedWord word;
  word.size = end + 2 - at;
  word.charset = AsciiLower(charset.substr(0, charset.find('*')));
  if (encoding == 'B' || encoding == 'b')
    word.bytes = DecodeB(payload);
  else if (encoding == 'Q' || encoding == 'q')
    word.bytes = DecodeQ(payload);
  else
    return std::nullopt;
  return word;
}

// Collects decoded text: bytes of adjacent words in one charset wait to be converted
// together; plain text is converted as it comes.
class Decoded {
 public:
  void Word(const EncodedWord& word) {
    if (word.charset != charset_) Flush();
    charset_ = word.charset;
    pending_ += word.bytes;
  }
  void Plain(std::string_view text) {
    Flush();
    out_ += TextToUtf8(text, "");
  }
  std::string Take() {
    Flush();
    return std::move(out_);
  }

 private:
  void Flush() {
    if (!pending_.empty()) out_ += TextToUtf8(pending_, charset_);
    pending_.clear();
    charset_.clear();
  }
  std::string out_, pending_, charset_;
};

}  // namespace

std::string DecodeEncodedWords(std::string_view text) {
  Decoded decoded;
  size_t plain = 0;  // start of the text not yet taken
  bool after_word = false;
  for (size_t at = text.find("=?"); at != std::string_view::npos; at = text.find("=?", at)) {
    std::optional<EncodedWord> word = WordAt(text, at);
    if (!word) {
      at += 2;
      continue;
    }
    std::string_view between = text.substr(plain, at - plain);
    // Blanks between two encoded words are no part of the text.
    if (!(after_word && between.find_first_not_of(" \t\r\n") == std::string_view::npos)) decoded.Plain(between);
    decoded.Word(*word);
    at += word->size;
    plain = at;
    after_word = true;
  }
  decoded.Plain(text.substr(plain));
  return decoded.Take();
}

}  // namespace corvelle
