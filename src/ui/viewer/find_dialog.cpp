#include "ui/viewer/find_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace corvelle {

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("FindDialog");
  setWindowTitle("Find");
  setModal(false);
  FindEdit = new QLineEdit(this);
  FindEdit->setObjectName("FindEdit");
  FindEdit->setMinimumWidth(220);
  auto* find_label = new QLabel("Fi&nd what:", this);
  find_label->setBuddy(FindEdit);
  MatchCase = new QCheckBox("Match &case", this);
  WholeWord = new QCheckBox("&Whole word", this);
  UpBtn = new QRadioButton("&Up", this);
  DownBtn = new QRadioButton("&Down", this);
  DownBtn->setChecked(true);
  FindNextBtn = new QPushButton("&Find Next", this);
  FindNextBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);

  fields_ = new QGridLayout;
  fields_->addWidget(find_label, 0, 0);
  fields_->addWidget(FindEdit, 0, 1);
  auto* checks = new QVBoxLayout;
  checks->addStretch();
  checks->addWidget(MatchCase);
  checks->addWidget(WholeWord);
  auto* direction = new QGroupBox("Direction", this);
  auto* directions = new QHBoxLayout(direction);
  directions->addWidget(UpBtn);
  directions->addWidget(DownBtn);
  auto* options = new QHBoxLayout;
  options->addLayout(checks);
  options->addStretch();
  options->addWidget(direction);
  auto* left = new QVBoxLayout;
  left->addLayout(fields_);
  left->addLayout(options);
  left->addStretch();
  buttons_ = new QVBoxLayout;
  buttons_->addWidget(FindNextBtn);
  buttons_->addWidget(CancelBtn);
  buttons_->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addSpacing(6);
  layout->addLayout(buttons_);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  NeedsFindText(FindNextBtn);
  connect(FindEdit, &QLineEdit::textChanged, this, &TFindDialog::UpdateButtons);
  connect(FindNextBtn, &QPushButton::clicked, this, [this] { emit findNext(FindWhat(), Options()); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFindDialog::FindWhat() const { return FindEdit->text(); }

SearchOptions TFindDialog::Options() const {
  return {.down = DownBtn->isChecked(), .match_case = MatchCase->isChecked(), .whole_word = WholeWord->isChecked()};
}

void TFindDialog::NeedsFindText(QPushButton* button) {
  needs_text_ << button;
  UpdateButtons();
}

void TFindDialog::UpdateButtons() {
  for (QPushButton* button : needs_text_) button->setEnabled(!FindEdit->text().isEmpty());
}

void TFindDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FindEdit->selectAll();
  FindEdit->setFocus();
}

}  // namespace corvelle
