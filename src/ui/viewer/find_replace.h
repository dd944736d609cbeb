#pragma once
// Find and replace in a message window's text area: what the find and replace dialogs'
// buttons run on the active window.

#include <QString>

#include "ui/viewer/text_search.h"

class QPlainTextEdit;
class QWidget;

namespace corvelle {

class UserInterface;

// Searches `text` from its selection and selects the match: true. Without a match, closes
// `dialog` (when given), shows "Cannot find "<what>"." through `ui` and returns false. The text area
// takes the focus either way.
bool FindDialog1Find(UserInterface& ui, QPlainTextEdit& text, const QString& what, const SearchOptions& options,
                     QWidget* dialog = nullptr);

// One press of Replace (all = false) or Replace All (see ReplaceText). The text is changed in
// one undoable step. True when a further match is selected; Replace without one shows the
// not-found message, Replace All ends silently.
bool ReplaceDialog1Replace(UserInterface& ui, QPlainTextEdit& text, const QString& what, const QString& with,
                           const SearchOptions& options, bool all);

}  // namespace corvelle
