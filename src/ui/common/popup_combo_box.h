#pragma once
// A drop-down list that tells its owner when the list is about to open, so the owner can
// refill it first.

#include <QComboBox>
#include <functional>

namespace corvelle {

class PopupComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> on_popup;  // runs before the list opens

  void showPopup() override {
    if (on_popup) on_popup();
    QComboBox::showPopup();
  }
};

}  // namespace corvelle
