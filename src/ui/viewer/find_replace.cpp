#include "ui/viewer/find_replace.h"

#include <QPlainTextEdit>
#include <QTextCursor>

#include "core/user_interface.h"
#include "ui/common/qt_text.h"

namespace corvelle {
namespace {

TextSelection SelectionOf(const QPlainTextEdit& text) {
  QTextCursor cursor = text.textCursor();
  return {cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
}

void Select(QPlainTextEdit& text, TextSelection selection) {
  QTextCursor cursor = text.textCursor();
  cursor.setPosition(selection.start);
  cursor.setPosition(selection.end(), QTextCursor::KeepAnchor);
  text.setTextCursor(cursor);
}

void CannotFind(UserInterface& ui, const QString& what) { ShowMessage(ui, "Cannot find \"" + TextFromQt(what) + "\"."); }

}  // namespace

bool FindDialog1Find(UserInterface& ui, QPlainTextEdit& text, const QString& what, const SearchOptions& options, QWidget* dialog) {
  qsizetype at = FindText(text.toPlainText(), SelectionOf(text), what, options);
  if (at >= 0) {
    Select(text, {at, what.size()});
  } else {
    if (dialog) dialog->close();
    CannotFind(ui, what);
  }
  text.setFocus();
  return at >= 0;
}

bool ReplaceDialog1Replace(UserInterface& ui, QPlainTextEdit& text, const QString& what, const QString& with,
                           const SearchOptions& options, bool all) {
  ReplaceOutcome outcome = ReplaceText(text.toPlainText(), SelectionOf(text), what, with, options, all);
  if (outcome.replaced > 0) {
    QTextCursor cursor(text.document());
    cursor.setPosition(outcome.change.start);
    cursor.setPosition(outcome.change.end(), QTextCursor::KeepAnchor);
    cursor.insertText(outcome.change_text);
  }
  Select(text, outcome.selection);
  if (!outcome.found && !all) CannotFind(ui, what);
  return outcome.found;
}

}  // namespace corvelle
