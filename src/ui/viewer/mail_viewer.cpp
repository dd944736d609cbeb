#include "ui/viewer/mail_viewer.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <new>

#include "core/store/mail_store.h"
#include "core/store/addresses.h"
#include "core/compose/identity_choice.h"
#include "core/compose/opened_message.h"
#include "core/compose/outgoing_message.h"
#include "core/compose/reply_quote.h"
#include "core/compose/header_fields.h"
#include "core/compose/signature.h"
#include "core/mime/mime_reader.h"
#include "core/store/big_file.h"
#include "core/store/file_naming.h"
#include "core/store/folder_files.h"
#include "core/store/message_text.h"
#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "ui/common/font_mapping.h"
#include "ui/common/qt_text.h"
#include "ui/messages/postpone.h"
#include "ui/viewer/address_actions.h"
#include "ui/viewer/attachment_pane.h"
#include "ui/common/named.h"

namespace corvelle {
namespace {

constexpr const char* kCompositionPrefix = "Compose New Message ";

void Bold(QWidget* widget) {
  QFont font = widget->font();
  font.setBold(true);
  widget->setFont(font);
}

// Fills `line` from an address text, one address an entry; no text leaves it as it is.
void SetAddressText(TAddressLine* line, const std::string& text) {
  if (text.empty()) return;
  std::vector<std::string> entries;
  SplitAddressList(entries, text);
  line->SetEntries(entries);
}

}  // namespace

TMailViewer::TMailViewer(Services& services, std::function<void(const std::string&)> show_result, QWidget* parent)
    : QWidget(parent), services_(services), show_result_(std::move(show_result)) {
  setObjectName("MailViewer");
  setWindowTitle("Mail Viewer - [Untitled]");
  BuildHeaderPanel();
  MailText = Named(new QPlainTextEdit(this), "MailText");
  MailText->setAccessibleName("Message text");
  MailText->setReadOnly(true);
  // Read-only, yet the caret moves and selects with the keyboard, as a reader expects.
  MailText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  MailText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MailText->setTabChangesFocus(false);
  MailText->setFrameShape(QFrame::NoFrame);
  // Files dropped on a composition, on its text or anywhere else on it, are attached.
  MailText->viewport()->installEventFilter(this);
  setAcceptDrops(true);
  installEventFilter(this);
  Attachments = new TAttachmentPane(services_.ui, this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Panel2);
  layout->addWidget(MailText, 1);
  layout->addWidget(Attachments);
  SetTabChain();
  resize(602, 297);
  SetFonts();
}

// The header fields in reading order, then the text; the buttons come last, so they are
// reached backwards from the first field.
void TMailViewer::SetTabChain() {
  QWidgetList chain{FromLine, SubjectLine, CcLine, MailText, ToAddrBtn, CCAddrBtn, DateLine};
  if (IdentityBox) chain.prepend(IdentityBox);
  for (qsizetype i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

void TMailViewer::BuildHeaderPanel() {
  Panel2 = Named(new QFrame(this), "Panel2");
  Panel2->setFrameShape(QFrame::StyledPanel);
  Panel2->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  ToAddrBtn = Named(new QPushButton("From:", Panel2), "ToAddrBtn");
  FromLine = Named(new TAddressLine(Panel2), "FromLine");
  Label2 = Named(new QLabel("Subject: ", Panel2), "Label2");
  SubjectLine = Named(new QLineEdit(Panel2), "SubjectLine");
  SubjectLine->setReadOnly(true);
  CCAddrBtn = Named(new QPushButton("Cc:", Panel2), "CCAddrBtn");
  CcLine = Named(new TAddressLine(Panel2), "CcLine");
  Label4 = Named(new QLabel("Date:", Panel2), "Label4");
  DateLine = Named(new QLineEdit(Panel2), "DateLine");
  DateLine->setReadOnly(true);
  DateLine->setFocusPolicy(Qt::ClickFocus);
  for (QWidget* w : std::initializer_list<QWidget*>{ToAddrBtn, Label2, CCAddrBtn, Label4}) Bold(w);
  // What a screen reader says for the fields (the first line's name follows its button).
  FromLine->setAccessibleName("From");
  SubjectLine->setAccessibleName("Subject");
  CcLine->setAccessibleName("Cc");
  DateLine->setAccessibleName("Date");
  for (QLabel* label : {Label2, Label4}) {
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setIndent(4);
  }

  auto* header = new QGridLayout(Panel2);
  header->setContentsMargins(4, 3, 4, 3);
  header->setHorizontalSpacing(4);
  header->setVerticalSpacing(2);
  const std::pair<QWidget*, QWidget*> rows[] = {
      {ToAddrBtn, FromLine}, {Label2, SubjectLine}, {CCAddrBtn, CcLine}, {Label4, DateLine}};
  // Row 0 stays empty (and takes no room) unless a composition chooses its identity there.
  for (int row = 0; row < 4; ++row) {
    header->addWidget(rows[row].first, row + 1, 0);
    header->addWidget(rows[row].second, row + 1, 1);
  }
  header->setColumnStretch(1, 1);
  SourceBtn = Named(new QPushButton("Show source", Panel2), "SourceBtn");
  SourceBtn->setCheckable(true);
  SourceBtn->hide();
  header->addWidget(SourceBtn, 4, 2);
  connect(SourceBtn, &QPushButton::toggled, this, &TMailViewer::ShowSource);

  connect(ToAddrBtn, &QPushButton::clicked, this, &TMailViewer::ToAddrBtnClick);
  connect(CCAddrBtn, &QPushButton::clicked, this, &TMailViewer::CCAddrBtnClick);
  connect(FromLine, &TAddressLine::doubleClicked, this, &TMailViewer::ToAddrBtnClick);
  connect(CcLine, &TAddressLine::doubleClicked, this, &TMailViewer::CCAddrBtnClick);
}

void TMailViewer::SetFonts() {
  QFont font = ToQFont(services_.settings.DefaultFont);
  QFont bold = font;
  bold.setBold(true);
  for (QWidget* line : std::initializer_list<QWidget*>{FromLine, SubjectLine, CcLine, DateLine}) line->setFont(bold);
  MailText->setFont(font);
  QPalette palette = MailText->palette();
  palette.setColor(QPalette::Text, FontColor(services_.settings.DefaultFont, MailText->palette()));
  MailText->setPalette(palette);
}

ViewerKind ViewerKindOfName(const std::string& name) {
  return name.starts_with(kCompositionPrefix) ? ViewerKind::Composing : ViewerKind::Showing;
}

QMdiSubWindow* TMailViewer::Frame() const { return qobject_cast<QMdiSubWindow*>(parentWidget()); }

// "Compose New Message " + the number of message windows open, this one included.
QString TMailViewer::CompositionCaption() const {
  int open = 1;
  if (QMdiSubWindow* frame = Frame(); frame && frame->mdiArea()) {
    open = 0;
    for (QMdiSubWindow* window : frame->mdiArea()->subWindowList())
      if (window == frame || (!window->isHidden() && qobject_cast<TMailViewer*>(window->widget()))) ++open;
  }
  return QLatin1String(kCompositionPrefix) + QString::number(open);
}

void TMailViewer::Init(const std::string& name) {
  kind_ = ViewerKindOfName(name);
  if (IsNewMessage()) {
    FileName.clear();
    DoNewMessage();
  } else {
    DoOpenMessage(LongPathName(name));
  }
  // A long subject or date shows its beginning, not its end.
  SubjectLine->setCursorPosition(0);
  DateLine->setCursorPosition(0);
}

// A new message or a reply: the quote (for a reply) or an empty line, then the signature,
// with the caret on the first empty line above the signature block.
void TMailViewer::DoNewMessage() {
  AskOnClose = true;
  SubjectLine->setReadOnly(false);
  MailText->setReadOnly(false);
  Label4->setEnabled(false);
  DateLine->setEnabled(false);
  ShowAsRecipients();
  setWindowTitle(CompositionCaption());
  LoadIdentities();

  std::vector<std::string> text;
  const bool reply = InsertIncludeFile(text);
  if (!reply) text.emplace_back();
  AppendSignature(text, reply);
  ShowIdentities();

  if (FromLine->count() == 0) {
    ToAddrBtnClick();
    SubjectLine->setFocus();
  } else {
    FromLine->setCurrentIndex(0);
    CcLine->setCurrentIndex(CcLine->count() > 0 ? 0 : -1);
    (SubjectLine->text().isEmpty() ? static_cast<QWidget*>(SubjectLine) : MailText)->setFocus();
  }
  RememberAsOpened();
}

// The answered message quoted into `text`, its subject and addresses taken over. False
// (nothing done) when this window is no reply; an unreadable file quotes nothing.
bool TMailViewer::InsertIncludeFile(std::vector<std::string>& text) {
  if (ReplySource.empty()) return false;
  std::string answered;
  ReadWholeFile(ResolvePath(ReplySource), answered);
  ReplyQuote quote = QuoteReplyMessage(answered);
  in_reply_to_ = quote.in_reply_to;
  references_ = quote.references;
  identity_ = ReplyIdentity(identities_, quote.to, quote.cc);
  if (quote.subject) SubjectLine->setText(TextToQt(*quote.subject));
  SetAddressText(FromLine, quote.from);
  SetAddressText(CcLine, quote.cc);
  text.insert(text.end(), quote.text.begin(), quote.text.end());
  return true;
}

void TMailViewer::DoOpenMessage(const std::string& name) {
  AskOnClose = false;
  FileName = name.empty() ? std::string() : LongFileName(name);
  if (FileName.empty() || !FileExists(FileName)) {
    ShowMessage(services_.ui, "File does not exist.");
    Release();
    return;
  }
  if (IsSentMessagePath(FileName, services_.settings.MailDirectory)) ShowAsRecipients();
  // A new message is marked as read by its new name. When it cannot be renamed (a folder
  // the user may not write) it is shown under the name it has, and the user told.
  bool unmarked = false;
  if (IsNewMailPath(FileName)) {
    std::string moved;
    if (MoveFileUnique(services_.ui, FileName, NewMailTarget(FileName), moved))
      FileName = moved;
    else
      unmarked = true;
  }
  if (!FileName.empty() && !FileExists(FileName)) FileName.clear();
  if (!ShowFile()) {
    Release();
    return;
  }
  if (unmarked) ShowMessage(services_.ui, "The message " + FileName + " could not be marked as read: it cannot be renamed.");
  if (!AskOnClose) {
    ToAddrBtn->setEnabled(FromLine->count() > 0);
    CCAddrBtn->setEnabled(CcLine->count() > 0);
  }
  MailText->setFocus();
}

// Shows the file (none: an empty window): a message file with its header in the panel,
// any other file as plain text. False when it cannot be read; a file too large for memory
// is offered to the desktop's own viewer first.
bool TMailViewer::ShowFile() {
  try {
    std::vector<std::string> lines;
    if (!IsPlainTextPath(FileName) || IsNewMailPath(FileName)) {
      TBigFile file;
      if (!FileName.empty() && !file.LoadFromFile(FileName)) return false;
      const MimeContent content = ReadMimeContent(file.Data());
      // A postponed message keeps every field of its own (In-Reply-To, References).
      const HeaderFields fields =
          services_.Store().InPostponed(FileName) ? HeaderFields::kAll : HeaderFields::kReader;
      ShowHeader(DecodedMessageLines(file.Data(), content, fields), file.Data(), content.attachments);
      return true;
    }
    if (!FileName.empty() && !ReadMessageLines(FileName, lines)) return false;
    setWindowTitle(PathToQt(FileName));
    Panel2->hide();
    SetText(lines, 0);
    return true;
  } catch (const std::bad_alloc&) {
    MailText->clear();
    if (Ask(services_.ui, "Message too large to view in Corvelle. Try to read the message with Wordpad?", kApplicationTitle,
            Buttons::YesNo) == Answer::Yes)
      services_.open_url(QUrl::fromLocalFile(PathToQt(FileName)));
    return false;
  }
}

// A message file: the header read into the panel; a postponed message becomes a
// composition of its body, any other shows the whole file with its body at the top.
void TMailViewer::ShowHeader(const std::vector<std::string>& lines, const std::string& bytes,
                             const std::vector<MimeAttachment>& attachments) {
  const bool postponed = services_.Store().InPostponed(FileName);
  OpenedKind kind = postponed                                                ? OpenedKind::kPostponed
                    : IsSentMessagePath(FileName, services_.settings.MailDirectory) ? OpenedKind::kSent
                                                                              : OpenedKind::kReceived;
  OpenedHeader header = ReadOpenedHeader(lines, kind);
  SubjectLine->setText(TextToQt(header.subject));
  SubjectLine->setCursorPosition(0);  // a long subject is read from its start
  DateLine->setText(TextToQt(header.date));
  SetAddressText(FromLine, header.addresses);
  SetAddressText(CcLine, header.cc);
  if (postponed) {
    std::string from;
    for (size_t i = 0; i < header.header_lines; ++i) {
      if (StartsWithIgnoringCase(lines[i], "in-reply-to: ")) in_reply_to_ = FieldValue(lines[i], 13);
      if (StartsWithIgnoringCase(lines[i], "references: ")) references_ = TrimBlanks(lines[i].substr(12));
      if (StartsWithIgnoringCase(lines[i], "from: ")) from = AddressText(lines, i);
    }
    if (!attachments.empty()) Attachments->SetOutgoing(ReadOutgoingAttachments(bytes));
    SetText(lines, header.body_start);
    BecomeComposition(from);
    return;
  }
  Attachments->ShowReceived(FileName, attachments);
  SourceBtn->setVisible(!FileName.empty());
  setWindowTitle("Mail - [" + PathToQt(FileName) + "]");
  SetText(lines, 0);
  PlaceCaret(static_cast<int>(header.body_start));
}

// The first address line holds the recipients (a composition, a sent message).
void TMailViewer::ShowAsRecipients() {
  ToAddrBtn->setText("To: ");
  FromLine->setAccessibleName("To");
}

// A postponed message reopened: it goes out again as the identity it was written from.
void TMailViewer::BecomeComposition(const std::string& from) {
  kind_ = ViewerKind::Composing;
  setWindowTitle(CompositionCaption());
  AskOnClose = true;
  SubjectLine->setReadOnly(false);
  MailText->setReadOnly(false);
  ShowAsRecipients();
  LoadIdentities();
  identity_ = IdentityAmong(identities_, from);
  if (identity_ >= identities_.size()) identity_ = 0;
  ShowIdentities();
  RememberAsOpened();
}

void TMailViewer::LoadIdentities() {
  identities_ = SendingIdentities(AllAccounts(services_.settings));
  identity_ = 0;
}

// The identity the message goes out as. With one (or none) it is the first account, read
// from the settings when asked, as it always was.
Account TMailViewer::Identity() const {
  return identities_.size() > 1 ? identities_[identity_] : FirstAccount(services_.settings);
}

// The signature of the chosen identity below `text`, which is then the window's text, with
// the caret on the first empty line above the signature block.
void TMailViewer::AppendSignature(std::vector<std::string>& text, bool reply) {
  const SignatureBlock signature = ReadSignatureBlock(Identity().Signature);
  text.insert(text.end(), signature.lines.begin(), signature.lines.end());
  SetText(text, 0);
  const size_t up = CaretLinesFromEnd(signature, reply);
  PlaceCaret(up == 0 ? -1 : static_cast<int>(text.size() - up));
  QString tail;
  for (const std::string& line : signature.lines) tail += '\n' + TextToQt(line);
  if (MailText->toPlainText().endsWith(tail)) signature_ = tail;
}

// The From drop-down, when there is a choice: each identity as its From entry.
void TMailViewer::ShowIdentities() {
  if (identities_.size() < 2) return;
  IdentityLabel = Named(new QLabel("From:", Panel2), "IdentityLabel");
  IdentityLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  IdentityLabel->setIndent(4);
  Bold(IdentityLabel);
  IdentityBox = Named(new QComboBox(Panel2), "IdentityBox");
  IdentityBox->setAccessibleName("From");
  IdentityBox->setFont(FromLine->font());
  IdentityLabel->setBuddy(IdentityBox);
  for (const Account& identity : identities_) IdentityBox->addItem(TextToQt(FromEntry(identity.MyName, identity.MailAddress)));
  IdentityBox->setCurrentIndex(static_cast<int>(identity_));
  auto* header = static_cast<QGridLayout*>(Panel2->layout());
  header->addWidget(IdentityLabel, 0, 0);
  header->addWidget(IdentityBox, 0, 1);
  // Children added to a window already shown would only show later, from the event loop.
  IdentityLabel->show();
  IdentityBox->show();
  SetTabChain();
  connect(IdentityBox, &QComboBox::currentIndexChanged, this, &TMailViewer::ChooseIdentity);
}

// Another identity chosen: its signature replaces the one put in automatically, unless that
// one was edited (the text no longer ends with it), which is then left as the user made it.
void TMailViewer::ChooseIdentity(int index) {
  if (index < 0 || static_cast<size_t>(index) >= identities_.size()) return;
  identity_ = static_cast<size_t>(index);
  if (!signature_ || !MailText->toPlainText().endsWith(*signature_)) return;
  QString tail;
  for (const std::string& line : ReadSignatureBlock(Identity().Signature).lines) tail += '\n' + TextToQt(line);
  QTextCursor cursor(MailText->document());
  cursor.setPosition(static_cast<int>(MailText->toPlainText().size() - signature_->size()));
  cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
  cursor.insertText(tail);
  signature_ = tail;
}

// The lines from `first` on as the text, decoded as a whole, set in one step.
void TMailViewer::SetText(const std::vector<std::string>& lines, size_t first) {
  size_t size = 0;
  for (size_t i = first; i < lines.size(); ++i) size += lines[i].size() + 1;
  std::string text;
  text.reserve(size);
  for (size_t i = first; i < lines.size(); ++i) {
    if (i > first) text += '\n';
    text += lines[i];
  }
  MailText->setPlainText(TextToQt(text));
}

// The caret at the start of line `block` (the end of the text when -1 or past it). The
// view goes to the end first, so a line above it comes to the top, with the text after it
// below; a line in the last page stays where it is.
void TMailViewer::PlaceCaret(int block) {
  QTextCursor cursor = MailText->textCursor();
  QTextBlock target = MailText->document()->findBlockByNumber(block);
  if (block < 0 || !target.isValid())
    cursor.movePosition(QTextCursor::End);
  else
    cursor.setPosition(target.position());
  MailText->setTextCursor(cursor);
  MailText->verticalScrollBar()->setValue(MailText->verticalScrollBar()->maximum());
  MailText->ensureCursorVisible();
}

void TMailViewer::Release() {
  AskOnClose = false;
  if (QMdiSubWindow* frame = Frame())
    frame->close();
  else
    close();
}

bool TMailViewer::Shows(const std::string& path) const {
  FileIdentity mine, theirs;
  return !FileName.empty() && GetFileIdentity(FileName, mine) && GetFileIdentity(ResolvePath(path), theirs) &&
         mine == theirs;
}

void TMailViewer::ToAddrBtnClick() { AddressButtonClick(FromLine); }

void TMailViewer::CCAddrBtnClick() { AddressButtonClick(CcLine); }

void TMailViewer::AddressButtonClick(TAddressLine* line) {
  if (IsNewMessage()) {
    if (auto chosen = services_.address_actions->ChooseRecipients(this, line->Entries())) line->SetEntries(*chosen);
  } else if (line->count() == 0) {
    ShowMessage(services_.ui, kNoAddressesMessage);
  } else {
    services_.address_actions->AutoAddAddresses(this, line->Entries());
  }
}

void TMailViewer::GetMessageFromWindow(std::vector<std::string>& lines) {
  lines.clear();
  OutgoingFields fields;
  fields.to = FromLine->Entries();
  fields.cc = CcLine->Entries();
  fields.subject = TextFromQt(SubjectLine->text());
  const Account from = Identity();
  fields.my_name = from.MyName;
  fields.mail_address = from.MailAddress;
  fields.in_reply_to = in_reply_to_;
  fields.references = references_;
  fields.attachments = Attachments->Outgoing();
  switch (CheckOutgoing(fields.to, fields.subject)) {
    case OutgoingCheck::kNoRecipient:
      ShowMessage(services_.ui, kNoRecipientMessage);
      FromLine->setFocus();
      return;
    case OutgoingCheck::kNoSubject:
      FromLine->setFocus();
      if (Ask(services_.ui, kNoSubjectQuestion, kNoSubjectTitle, Buttons::YesNo) != Answer::Yes) {
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

TMailViewer::Opened TMailViewer::Current() const {
  return {MailText->toPlainText(), SubjectLine->text(), FromLine->Entries(), CcLine->Entries(),
          Attachments->Outgoing().size(), identity_};
}

void TMailViewer::RememberAsOpened() { opened_ = Current(); }

bool TMailViewer::ChangedSinceOpened() const { return !(Current() == opened_); }

// Whether a composition may close: one changed since it opened asks first.
bool TMailViewer::MayClose() {
  if (!AskOnClose || !ChangedSinceOpened()) return true;
  if (QMdiSubWindow* frame = Frame()) frame->showMaximized();
  switch (Ask(services_.ui, "File " + FileName + " has been modified. Postpone mail file?", kApplicationTitle,
              Buttons::YesNoCancel)) {
    case Answer::Yes:
      // Postponing closes this window when it succeeds; the close asked here stays refused.
      QTimer::singleShot(0, this, [this] { PostponeAndClose(*this); });
      return false;
    case Answer::No:
      return !services_.Store().InPostponed(FileName) || ConfirmDeleteFile(services_.ui, FileName);
    default:
      return false;
  }
}

// The frame closes with the window; the area then activates the next message window.
void TMailViewer::closeEvent(QCloseEvent* event) {
  if (MayClose())
    event->accept();
  else
    event->ignore();
}

void TMailViewer::AttachFileClick() {
  if (!IsNewMessage()) return;
  std::vector<std::string> paths;
  for (const QString& path : QFileDialog::getOpenFileNames(this, "Attach file")) paths.push_back(PathFromQt(path));
  AttachFiles(paths);
}

void TMailViewer::AttachFiles(const std::vector<std::string>& paths) {
  if (IsNewMessage() && !paths.empty()) Attachments->AddFiles(paths);
}

// The decoded lines again, or the file's lines as stored, each with the caret on the body.
void TMailViewer::ShowSource(bool source) {
  std::vector<std::string> lines;
  if (source) {
    if (FileName.empty() || !ReadMessageLines(FileName, lines)) return;
  } else {
    TBigFile file;
    if (FileName.empty() || !file.LoadFromFile(FileName)) return;
    lines = DecodedMessageLines(file.Data());
  }
  SetText(lines, 0);
  PlaceCaret(static_cast<int>(std::min(HeaderLineCount(lines) + 1, lines.size())));
}

// Local files dropped on a composition are attached, not pasted into its text as names.
bool TMailViewer::eventFilter(QObject* watched, QEvent* event) {
  const bool drag = event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove;
  if ((watched != MailText->viewport() && watched != this) || (!drag && event->type() != QEvent::Drop) ||
      !IsNewMessage())
    return QWidget::eventFilter(watched, event);
  auto* drop = static_cast<QDropEvent*>(event);
  std::vector<std::string> paths;
  for (const QUrl& url : drop->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(PathFromQt(url.toLocalFile()));
  if (paths.empty()) return QWidget::eventFilter(watched, event);
  drop->acceptProposedAction();
  if (!drag) AttachFiles(paths);
  return true;
}

}  // namespace corvelle
