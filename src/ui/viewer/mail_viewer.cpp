#include "ui/viewer/mail_viewer.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/compose/outgoing_message.h"
#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "ui/common/font_mapping.h"
#include "ui/common/qt_text.h"

namespace corvelle {
namespace {

constexpr int kCompositionPrefix = 20;  // "Compose New Message "

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

void Bold(QWidget* widget) {
  QFont font = widget->font();
  font.setBold(true);
  widget->setFont(font);
}

}  // namespace

TMailViewer::TMailViewer(QWidget* parent) : QWidget(parent) {
  setObjectName("MailViewer");
  setWindowTitle("Mail Viewer - [Untitled]");
  Panel2 = Named(new QFrame(this), "Panel2");
  Panel2->setFrameShape(QFrame::Box);
  Panel2->setFixedHeight(105);
  ToAddrBtn = Named(new QPushButton("From:", Panel2), "ToAddrBtn");
  FromLine = Named(new QComboBox(Panel2), "FromLine");
  Label2 = Named(new QLabel("Subject: ", Panel2), "Label2");
  SubjectLine = Named(new QLineEdit(Panel2), "SubjectLine");
  SubjectLine->setReadOnly(true);
  CCAddrBtn = Named(new QPushButton("Cc:", Panel2), "CCAddrBtn");
  CcLine = Named(new QComboBox(Panel2), "CcLine");
  Label4 = Named(new QLabel("Date:", Panel2), "Label4");
  DateLine = Named(new QLineEdit(Panel2), "DateLine");
  DateLine->setReadOnly(true);
  for (QWidget* w : {static_cast<QWidget*>(ToAddrBtn), static_cast<QWidget*>(Label2),
                     static_cast<QWidget*>(CCAddrBtn), static_cast<QWidget*>(Label4)})
    Bold(w);

  auto* header = new QGridLayout(Panel2);
  header->setContentsMargins(4, 2, 4, 2);
  header->setVerticalSpacing(1);
  header->addWidget(ToAddrBtn, 0, 0);
  header->addWidget(FromLine, 0, 1);
  header->addWidget(Label2, 1, 0);
  header->addWidget(SubjectLine, 1, 1);
  header->addWidget(CCAddrBtn, 2, 0);
  header->addWidget(CcLine, 2, 1);
  header->addWidget(Label4, 3, 0);
  header->addWidget(DateLine, 3, 1);
  header->setColumnStretch(1, 1);

  MailText = Named(new QPlainTextEdit(this), "MailText");
  MailText->setReadOnly(true);
  MailText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MailText->setTabChangesFocus(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Panel2);
  layout->addWidget(MailText, 1);
  resize(602, 297);
  SetFonts();
}

void TMailViewer::SetFonts() {
  QFont font = ToQFont(MailSettings.DefaultFont);
  QFont bold = font;
  bold.setBold(true);
  for (QWidget* line : {static_cast<QWidget*>(FromLine), static_cast<QWidget*>(SubjectLine),
                        static_cast<QWidget*>(CcLine), static_cast<QWidget*>(DateLine)})
    line->setFont(bold);
  MailText->setFont(font);
  QPalette palette = MailText->palette();
  palette.setColor(QPalette::Text, FontColor(MailSettings.DefaultFont, MailText->palette()));
  MailText->setPalette(palette);
}

bool TMailViewer::IsNewMessage() const {
  return windowTitle().left(kCompositionPrefix) == QStringLiteral("Compose New Message ");
}

void TMailViewer::Init(const std::string& name) {
  if (IsNewMessage()) {
    FileName.clear();
    DoNewMessage();
  } else {
    DoOpenMessage(name);
  }
}

void TMailViewer::DoNewMessage() {
  AskOnClose = true;
  SubjectLine->setReadOnly(false);
  MailText->setReadOnly(false);
  Label4->setEnabled(false);
  DateLine->setEnabled(false);
  ToAddrBtn->setText("To: ");
  (SubjectLine->text().isEmpty() ? static_cast<QWidget*>(SubjectLine) : MailText)->setFocus();
}

// Shows the file's text as it is; reading the header into the panel comes with the
// message commands.
void TMailViewer::DoOpenMessage(const std::string& name) {
  AskOnClose = false;
  FileName = name;
  std::string text;
  if (FileName.empty() || !FileExists(FileName)) {
    ShowMessage("File does not exist.");
    Release();
    return;
  }
  if (!ReadWholeFile(FileName, text)) {
    Release();
    return;
  }
  MailText->setPlainText(TextToQt(text));
  MailText->setFocus();
}

void TMailViewer::Release() {
  AskOnClose = false;
  if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
    frame->close();
  else
    close();
}

void TMailViewer::GetMessageFromWindow(std::vector<std::string>& lines) {
  lines.clear();
  OutgoingFields fields;
  for (int i = 0; i < FromLine->count(); ++i) fields.to.push_back(TextFromQt(FromLine->itemText(i)));
  for (int i = 0; i < CcLine->count(); ++i) fields.cc.push_back(TextFromQt(CcLine->itemText(i)));
  fields.subject = TextFromQt(SubjectLine->text());
  fields.my_name = MailSettings.MyName;
  fields.mail_address = MailSettings.MailAddress;
  switch (CheckOutgoing(fields.to, fields.subject)) {
    case OutgoingCheck::kNoRecipient:
      ShowMessage(kNoRecipientMessage);
      FromLine->setFocus();
      return;
    case OutgoingCheck::kNoSubject:
      FromLine->setFocus();
      if (Ask(kNoSubjectQuestion, kNoSubjectTitle, Buttons::YesNo) != Answer::Yes) {
        SubjectLine->setFocus();
        return;
      }
      break;
    case OutgoingCheck::kReady:
      break;
  }
  std::vector<std::string> body;
  for (const QString& line : MailText->toPlainText().split(QChar('\n'))) body.push_back(TextFromQt(line));
  lines = BuildOutgoingLines(fields, body);
}

void TMailViewer::closeEvent(QCloseEvent* event) {
  if (!AskOnClose || !MailText->document()->isModified()) {
    event->accept();
    return;
  }
  // A composition with typed text is never dropped without asking. Postponing it (Yes)
  // arrives with the message commands; until then Yes keeps the window open.
  Answer answer = Ask("File " + FileName + " has been modified. Postpone mail file?", kApplicationTitle,
                      Buttons::YesNoCancel);
  if (answer == Answer::No)
    event->accept();
  else
    event->ignore();
}

}  // namespace corvelle
