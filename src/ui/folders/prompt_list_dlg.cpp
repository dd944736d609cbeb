#include "ui/folders/prompt_list_dlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/qt_text.h"

namespace corvelle {

TPromptListDlg::TPromptListDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("PromptListDlg");
  ThisPrompt = new QLabel(this);
  ThisPrompt->setObjectName("ThisPrompt");
  ThisPrompt->setWordWrap(true);
  ThisPrompt->setTextFormat(Qt::PlainText);
  ThisPrompt->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ThisPrompt->setMinimumHeight(ThisPrompt->fontMetrics().lineSpacing() * 3);  // room for a few lines
  ThisList = new QComboBox(this);
  ThisList->setObjectName("ThisList");
  ThisList->setEditable(true);
  ThisList->setInsertPolicy(QComboBox::NoInsert);
  OK = new QPushButton("OK", this);
  OK->setDefault(true);
  Cancel = new QPushButton("Cancel", this);
  connect(OK, &QPushButton::clicked, this, &QDialog::accept);
  connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OK);
  buttons->addWidget(Cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ThisPrompt, 1);
  layout->addWidget(ThisList);
  layout->addLayout(buttons);
  resize(QSize(300, 140).expandedTo(sizeHint()));
}

void TPromptListDlg::SetPrompt(const std::string& text) { ThisPrompt->setText(TextToQt(text)); }

}  // namespace corvelle
