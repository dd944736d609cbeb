#include "ui/help/common_text_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/store/mail_store.h"
#include "core/settings/settings.h"
#include "core/compose/common_text.h"
#include "core/user_interface.h"
#include "ui/common/named.h"
#include "ui/common/qt_text.h"

namespace corvelle {

TCommonTextDlg::TCommonTextDlg(UserInterface& ui, MailStore store, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      Description(Named(new QLineEdit(this), "Description")),
      TheText(Named(new QPlainTextEdit(this), "TheText")),
      BitBtn1(Named(new QPushButton("OK", this), "BitBtn1")),
      BitBtn2(Named(new QPushButton("Cancel", this), "BitBtn2")),
      BitBtn3(Named(new QPushButton("Help", this), "BitBtn3")),
      ui_(ui),
      store_(std::move(store)) {
  setWindowTitle("Common Text");
  setFixedSize(507, 295);
  QFont font("Sans Serif");
  font.setStyleHint(QFont::SansSerif);
  font.setBold(true);
  setFont(font);
  Description->setMaxLength(30);
  TheText->setTabChangesFocus(false);
  BitBtn3->setEnabled(false);
  auto* column = new QVBoxLayout(this);
  column->addWidget(new QLabel("Enter a description for this text entry (up to 30 characters):", this));
  column->addWidget(Description);
  column->addWidget(new QLabel("Enter the text to be inserted for this entry:", this));
  column->addWidget(TheText, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* button : {BitBtn1, BitBtn2, BitBtn3}) buttons->addWidget(button);
  column->addLayout(buttons);
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, &TCommonTextDlg::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TCommonTextDlg::BitBtn1Click() {
  if (Description->text().isEmpty()) {
    ShowMessage(ui_, "You must enter a description for this Common Text entry.");
    Description->setFocus();
    return;
  }
  if (TheText->toPlainText().isEmpty()) {
    ShowMessage(ui_, "You must enter text for this Common Text entry.");
    TheText->setFocus();
    return;
  }
  std::vector<std::string> lines;
  for (const QString& line : TheText->toPlainText().split('\n')) lines.push_back(TextFromQt(line));
  if (!AddCommonText(store_, ui_, TextFromQt(Description->text()), lines)) {
    ShowMessage(ui_, "The common text entry could not be saved.");
    return;
  }
  accept();
}

}  // namespace corvelle
