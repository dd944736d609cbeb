#pragma once
// A message window: shows one message file or composes one new message. Created only
// through TCorvelProg::CreateMailViewer, which sets the caption and then calls Init. Its
// kind is decided when it opens: a received message (read-only), a sent one (recipients
// shown), a new-mail file (renamed to an ordinary message name first), a postponed one
// (reopened as a composition), or a composition (a new message or a reply).

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/accounts/account.h"
#include "core/mime/mime_reader.h"
#include "ui/main/services.h"
#include "ui/viewer/address_line.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMdiSubWindow;
class QPlainTextEdit;
class QPushButton;


namespace corvelle {

class TAttachmentPane;

// What a message window is, fixed when it opens: a composition (a new message, a reply, or
// a postponed message reopened) or a window that shows a file.
enum class ViewerKind { Showing, Composing };

// The kind a window opened under the caption `name` is: a composition when it begins with
// "Compose New Message " (the caption NewMessageName gives), else one that shows a file.
ViewerKind ViewerKindOfName(const std::string& name);

inline constexpr const char* kNoAddressesMessage = "This list has no addresses to automatically add to address book!";

class TMailViewer : public QWidget {
  Q_OBJECT
 public:
  // A window on the run's `services` (kept by reference); `show_result` shows a command's
  // result line (a postponed message) in the main window.
  TMailViewer(Services& services, std::function<void(const std::string&)> show_result,
              QWidget* parent = nullptr);  // FormCreate

  // Opens the file `name`, or starts a new message when `name` is a composition's caption
  // (ViewerKindOfName). A missing file is reported ("File does not exist.") and the window released;
  // an unreadable one releases it without a message.
  void Init(const std::string& name);

  ViewerKind Kind() const { return kind_; }
  bool IsNewMessage() const { return kind_ == ViewerKind::Composing; }

  // Closes the window without asking.
  void Release();

  Services& RunServices() const { return services_; }
  void ShowResult(const std::string& text) const { show_result_(text); }

  // True when this window shows the file `path` (the same file, however it is named).
  bool Shows(const std::string& path) const;

  // The outgoing lines of this window (the only producer of outgoing header lines: send,
  // spool, postpone and Save As use it). Asks what must be settled first (no recipient:
  // a message; no subject: a question); `lines` is empty when the user has to complete
  // the window first.
  void GetMessageFromWindow(std::vector<std::string>& lines);

  // The address buttons (and a double-click on their lines): a composition lets the user
  // choose the recipients; another window offers the line's addresses to the address book.
  void ToAddrBtnClick();
  void CCAddrBtnClick();

  // A composition: asks for files and attaches them ("Attach file..."); files dropped on
  // the window are attached the same way.
  void AttachFileClick();
  void AttachFiles(const std::vector<std::string>& paths);

  // A received message: the file as stored instead of the decoded text, or back.
  void ShowSource(bool source);

  std::string FileName;     // the file shown; empty for a new message
  std::string ReplySource;  // the message answered; empty unless a reply
  bool AskOnClose = false;  // ask before closing (composition windows)

  QFrame* Panel2;
  QPushButton* ToAddrBtn;
  TAddressLine* FromLine;
  QLabel* Label2;
  QLineEdit* SubjectLine;
  QPushButton* CCAddrBtn;
  TAddressLine* CcLine;
  QLabel* Label4;
  QLineEdit* DateLine;
  QPlainTextEdit* MailText;
  QPushButton* SourceBtn;          // "Show source", checkable; received messages only
  TAttachmentPane* Attachments;
  // A composition's From, above its recipients: made only when there are several identities
  // to send as (SendingIdentities), one entry each; null otherwise.
  QLabel* IdentityLabel = nullptr;
  QComboBox* IdentityBox = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormCloseQuery, FormClose
  bool eventFilter(QObject* watched, QEvent* event) override;  // files dropped on the text

 private:
  void BuildHeaderPanel();
  void SetFonts();
  void DoNewMessage();
  void DoOpenMessage(const std::string& name);
  bool ShowFile();
  void ShowHeader(const std::vector<std::string>& lines, const std::string& bytes,
                  const std::vector<MimeAttachment>& attachments);
  void BecomeComposition(const std::string& from);
  void LoadIdentities();
  void ShowIdentities();
  void ChooseIdentity(int index);
  Account Identity() const;
  void AppendSignature(std::vector<std::string>& text, bool reply);
  void SetTabChain();
  void ShowAsRecipients();
  bool InsertIncludeFile(std::vector<std::string>& text);
  void SetText(const std::vector<std::string>& lines, size_t first);
  void PlaceCaret(int block);
  void AddressButtonClick(TAddressLine* line);
  QString CompositionCaption() const;
  QMdiSubWindow* Frame() const;
  void RememberAsOpened();
  bool ChangedSinceOpened() const;
  bool MayClose();

  // A composition as it opened: closing it unchanged asks nothing.
  struct Opened {
    QString text, subject;
    std::vector<std::string> to, cc;
    size_t attachments = 0;
    size_t identity = 0;
    bool operator==(const Opened&) const = default;
  };
  Opened Current() const;
  Services& services_;
  std::function<void(const std::string&)> show_result_;
  Opened opened_;
  ViewerKind kind_ = ViewerKind::Showing;
  std::string in_reply_to_, references_;  // a reply's threading fields, kept when postponed
  // The identities a composition may go out as, and the one chosen (an index into them).
  // With fewer than two the message goes out as the first account, as the settings give it.
  std::vector<Account> identities_;
  size_t identity_ = 0;
  // The signature text put at the end of a new message (a newline and the block; "" for
  // none); unset when the window's text did not get one (a postponed message reopened).
  // While the text still ends with it, choosing another identity swaps in that one's.
  std::optional<QString> signature_;
};

}  // namespace corvelle
