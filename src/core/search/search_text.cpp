#include "core/search/search_text.h"

#include <algorithm>

#include "core/mime/case_fold.h"

namespace corvelle {

SearchText::SearchText(std::string_view text)
    : text_(text),
      ascii_(std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 128; })),
      raw_(text),
      folded_(ascii_ ? std::string() : FoldCase(text)) {}

bool SearchText::InBytes(std::string_view bytes) const { return raw_.In(bytes); }

bool SearchText::InLowered(std::string_view lowered) const {
  return raw_.FindLowered(lowered) != std::string_view::npos;
}

bool SearchText::InText(std::string_view utf8) const {
  if (ascii_) return raw_.In(utf8);
  return FoldCase(utf8).find(folded_) != std::string::npos;
}

}  // namespace corvelle
