#include "ui/common/byte_fields.h"

#include <QComboBox>
#include <QLineEdit>
#include <QVariant>

#include "ui/common/qt_text.h"

namespace corvelle {
namespace {

constexpr const char* kShown = "corvelleShownText";
constexpr const char* kBytes = "corvelleBytes";

}  // namespace

void SetFieldBytes(QLineEdit* edit, const std::string& bytes, FieldKind kind) {
  QString text = kind == FieldKind::kPath ? PathToQt(bytes) : TextToQt(bytes);
  edit->setText(text);
  edit->setProperty(kShown, text);
  edit->setProperty(kBytes, QByteArray::fromStdString(bytes));
}

std::string FieldBytes(const QLineEdit* edit, FieldKind kind) {
  QVariant shown = edit->property(kShown);
  if (shown.isValid() && shown.toString() == edit->text()) return edit->property(kBytes).toByteArray().toStdString();
  return kind == FieldKind::kPath ? PathFromQt(edit->text()) : TextFromQt(edit->text());
}

void AddPathItem(QComboBox* list, const std::string& bytes) {
  list->addItem(PathToQt(bytes), QByteArray::fromStdString(bytes));
}

std::string CurrentPathItem(const QComboBox* list) {
  return list->currentIndex() < 0 ? std::string() : list->currentData().toByteArray().toStdString();
}

}  // namespace corvelle
