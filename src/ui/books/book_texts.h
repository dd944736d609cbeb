#pragma once
// What the address book windows share: names and addresses kept as the bytes they were read
// as beside the text shown, and the input box that asks until an answer is accepted.

#include <QString>
#include <QVariant>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace corvelle {

class UserInterface;

// The role under which an item keeps its bytes.
inline constexpr int kBookBytes = Qt::UserRole;

inline std::string BytesOf(const QVariant& data) { return data.toByteArray().toStdString(); }
inline QVariant BytesData(const std::string& bytes) { return QByteArray::fromStdString(bytes); }

// `text` trimmed of blanks, with every TAB, CR and LF turned into a space: a book line
// holds one entry and its fields are separated by TABs.
std::string CleanedField(const std::string& text);

// Asks with an input box until `accept` takes the trimmed answer, showing `refusal` after
// each one it does not (through `ui`). nullopt when the user cancels.
std::optional<std::string> AskUntil(UserInterface& ui, QWidget* parent, const char* caption, const char* prompt, const QString& preset,
                                    const std::function<bool(const std::string&)>& accept, const char* refusal);

}  // namespace corvelle
