#pragma once
// A named line edit whose hint shows as its tool tip and on the status bar.

#include <QLineEdit>

#include "ui/common/named.h"

namespace corvelle {

inline QLineEdit* HintedEdit(QWidget* parent, const char* name, const char* hint = nullptr) {
  auto* edit = Named(new QLineEdit(parent), name);
  if (hint) {
    edit->setToolTip(QString::fromUtf8(hint));
    edit->setStatusTip(QString::fromUtf8(hint));
  }
  return edit;
}

}  // namespace corvelle
