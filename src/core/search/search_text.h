#pragma once
// The text a message search looks for, and how it is compared: without regard to letter
// case, in raw message bytes (ASCII letters only) and in decoded UTF-8 text (every letter).

#include <string>
#include <string_view>

#include "core/search/caseless_finder.h"

namespace corvelle {

class SearchText {
 public:
  explicit SearchText(std::string_view text);

  bool Empty() const { return text_.empty(); }
  // True when the text is all ASCII: raw bytes in any ASCII-compatible charset then hold it
  // as they are, whatever their encoding of other letters.
  bool Ascii() const { return ascii_; }
  // True when the text holds a blank, which a folded header field holds as a line break.
  bool HasBlank() const { return text_.find_first_of(" \t") != std::string::npos; }

  // True when the bytes hold the text, ASCII letters compared without case (a first look:
  // letters beyond ASCII must match exactly); the second form takes them lowered already
  // (LowerAscii).
  bool InBytes(std::string_view bytes) const;
  bool InLowered(std::string_view lowered) const;

  // True when decoded UTF-8 text holds it, every letter compared without case.
  bool InText(std::string_view utf8) const;

 private:
  std::string text_;
  bool ascii_ = true;
  CaselessFinder raw_;
  std::string folded_;  // FoldCase(text), for a text beyond ASCII
};

}  // namespace corvelle
