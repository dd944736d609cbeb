#pragma once
// Find and replace over a message text, without widgets: the text, its selection and the
// options go in; the match, or the one contiguous change to make, comes out.

#include <QString>
#include <QStringView>

namespace corvelle {

struct SearchOptions {
  bool down = true;         // forward from the end of the selection, else backward
  bool match_case = false;  // else letters compare ignoring case
  bool whole_word = false;  // a match needs a delimiter or the text's end on both sides
};

// A selection in QChar positions of the text.
struct TextSelection {
  qsizetype start = 0;
  qsizetype length = 0;
  qsizetype end() const { return start + length; }
  bool operator==(const TextSelection&) const = default;
};

// Letters and digits make words; every other character is a delimiter.
bool IsWordDelimiter(QChar c);

// The start of the next match of `what`: searching down, the first one at or after the end
// of `selection`; searching up, the last one that ends at or before its start. -1 when there
// is none, and always for an empty `what` or text. Any length of text.
qsizetype FindText(QStringView text, TextSelection selection, QStringView what, const SearchOptions& options);

// One press of Replace (all = false) or Replace All on `text`:
// 1. the selection is replaced by `with` when it equals `what` (honouring Match case);
// 2. the next match is searched after the replaced text (down) or before it (up);
// 3. Replace All replaces each match and goes on in the same way until none is left, so it
//    always ends, even when `with` contains `what`.
struct ReplaceOutcome {
  bool found = false;           // Replace only: a further match is selected
  int replaced = 0;             // how many times `with` went in
  TextSelection selection;      // the selection afterwards, in the new text
  TextSelection change;         // the span of the old text to be replaced (when replaced > 0)...
  QString change_text;          // ...by this
};
ReplaceOutcome ReplaceText(QStringView text, TextSelection selection, QStringView what, QStringView with,
                           const SearchOptions& options, bool all);

}  // namespace corvelle
