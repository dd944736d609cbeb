#include "ui/viewer/replace_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvelle {

TReplaceDialog::TReplaceDialog(QWidget* parent) : TFindDialog(parent) {
  setObjectName("ReplaceDialog");
  setWindowTitle("Replace");
  ReplaceEdit = new QLineEdit(this);
  ReplaceEdit->setObjectName("ReplaceEdit");
  auto* label = new QLabel("Re&place with:", this);
  label->setBuddy(ReplaceEdit);
  fields_->addWidget(label, 1, 0);
  fields_->addWidget(ReplaceEdit, 1, 1);
  setTabOrder(FindEdit, ReplaceEdit);
  ReplaceBtn = new QPushButton("&Replace", this);
  ReplaceAllBtn = new QPushButton("Replace &All", this);
  buttons_->insertWidget(1, ReplaceBtn);
  buttons_->insertWidget(2, ReplaceAllBtn);
  NeedsFindText(ReplaceBtn);
  NeedsFindText(ReplaceAllBtn);
  connect(ReplaceBtn, &QPushButton::clicked, this, [this] { emit replace(FindWhat(), ReplaceWith(), Options(), false); });
  connect(ReplaceAllBtn, &QPushButton::clicked, this, [this] { emit replace(FindWhat(), ReplaceWith(), Options(), true); });
}

QString TReplaceDialog::ReplaceWith() const { return ReplaceEdit->text(); }

}  // namespace corvelle
