#include "ui/viewer/address_line.h"

#include <QAbstractItemView>
#include <QMouseEvent>

#include "ui/common/qt_text.h"

namespace corvelle {

TAddressLine::TAddressLine(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  setMinimumContentsLength(10);
  view()->viewport()->installEventFilter(this);
}

std::vector<std::string> TAddressLine::Entries() const {
  std::vector<std::string> entries;
  entries.reserve(static_cast<size_t>(count()));
  for (int i = 0; i < count(); ++i) {
    QVariant bytes = itemData(i);
    entries.push_back(bytes.isValid() ? bytes.toByteArray().toStdString() : TextFromQt(itemText(i)));
  }
  return entries;
}

void TAddressLine::SetEntries(const std::vector<std::string>& entries) {
  clear();
  for (const std::string& entry : entries) addItem(TextToQt(entry), QByteArray::fromStdString(entry));
  setCurrentIndex(count() > 0 ? 0 : -1);
}

void TAddressLine::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    hidePopup();
    emit doubleClicked();
    return;
  }
  QComboBox::mouseDoubleClickEvent(event);
}

bool TAddressLine::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick && watched == view()->viewport()) {
    hidePopup();
    emit doubleClicked();
    return true;
  }
  return QComboBox::eventFilter(watched, event);
}

}  // namespace corvelle
