#pragma once
// Fields that hold byte strings. Showing bytes is not always reversible (a path or a
// password that is not UTF-8 comes back as replacement characters), so a field keeps the
// bytes it was filled with and gives them back unchanged while its text is the one shown;
// text the user edited is encoded afresh.

#include <string>

class QComboBox;
class QLineEdit;

namespace corvelle {

// Paths go through the file-name encoding; other texts are shown as DisplayText shows
// them and typed text is stored as UTF-8.
enum class FieldKind { kPath, kText };

// Shows `bytes` in `edit` and remembers them.
void SetFieldBytes(QLineEdit* edit, const std::string& bytes, FieldKind kind);

// The remembered bytes while the text is unchanged, else the text encoded for `kind`.
std::string FieldBytes(const QLineEdit* edit, FieldKind kind);

// Adds the path (or file name) `bytes` to a list and gives them back for the current entry
// ("" when none is selected).
void AddPathItem(QComboBox* list, const std::string& bytes);
std::string CurrentPathItem(const QComboBox* list);

}  // namespace corvelle
