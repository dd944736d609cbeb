#pragma once
// A message window: shows one message file or composes one new message. Created only
// through TCorvelProg::CreateMailViewer, which sets the caption and then calls Init.

#include <QWidget>
#include <string>
#include <vector>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace corvelle {

class TMailViewer : public QWidget {
  Q_OBJECT
 public:
  explicit TMailViewer(QWidget* parent = nullptr);  // FormCreate

  // Opens the file `name`, or starts a new message when the caption marks a composition
  // window. A missing file is reported ("File does not exist.") and the window released.
  void Init(const std::string& name);

  // True when the caption begins with "Compose New Message ".
  bool IsNewMessage() const;

  // Closes the window without asking.
  void Release();

  // The outgoing lines of this window (the only producer of outgoing header lines: send,
  // spool, postpone and Save As use it). Asks what must be settled first (no recipient:
  // a message; no subject: a question); `lines` is empty when the user has to complete
  // the window first.
  void GetMessageFromWindow(std::vector<std::string>& lines);

  std::string FileName;     // the file shown; empty for a new message
  std::string ReplySource;  // the message answered; empty unless a reply
  bool AskOnClose = false;  // ask before closing (composition windows)

  QFrame* Panel2;
  QPushButton* ToAddrBtn;
  QComboBox* FromLine;
  QLabel* Label2;
  QLineEdit* SubjectLine;
  QPushButton* CCAddrBtn;
  QComboBox* CcLine;
  QLabel* Label4;
  QLineEdit* DateLine;
  QPlainTextEdit* MailText;

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormCloseQuery

 private:
  void SetFonts();
  void DoNewMessage();
  void DoOpenMessage(const std::string& name);
};

}  // namespace corvelle
