#include "core/status_text.h"

namespace corvelle {

void StatusText::Insert(int line, const std::string& text) {
  if (line < 0 || static_cast<size_t>(line) > lines_.size()) return;
  lines_.insert(lines_.begin() + line, text);
  Changed();
}

void StatusText::Clear() {
  lines_.clear();
  Changed();
}

}  // namespace corvelle
