#include "ui/books/book_texts.h"

#include <QInputDialog>
#include <algorithm>

#include "core/store/addresses.h"
#include "core/user_interface.h"
#include "ui/common/qt_text.h"

namespace corvelle {

std::string CleanedField(const std::string& text) {
  std::string cleaned = text;
  std::replace_if(cleaned.begin(), cleaned.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
  return TrimBlanks(cleaned);
}

std::optional<std::string> AskUntil(UserInterface& ui, QWidget* parent, const char* caption, const char* prompt, const QString& preset,
                                    const std::function<bool(const std::string&)>& accept, const char* refusal) {
  for (;;) {
    bool ok = false;
    QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, preset, &ok);
    if (!ok) return std::nullopt;
    std::string answer = TrimBlanks(TextFromQt(text));
    if (accept(answer)) return answer;
    ShowMessage(ui, refusal);
  }
}

}  // namespace corvelle
