#pragma once
// Sending as a transfer command runs it: one message (a spool file or a window's lines), or
// every ".out" file of the spool folder. The SMTP sender delivers each message (it never
// touches a folder); this run files it afterwards (OutgoingFiling). So a delivered spool
// file leaves the spool folder only as the complete sent copy, and that filing is flushed
// before the next message's text is ended with its ".": at most one message is ever between
// its delivery and the flush of its copy, and none goes out twice.
//
// Each message goes out as the identity its From names (IdentityFor: the first account's
// when none does), through that account's SMTP server and login: the first account's with
// SendMail1, a further one's with a sender of its own made on its context
// (MakeAccountTransfer). With one account, or when every message is the first identity's,
// nothing else is made and the run is as it always was.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/accounts/account.h"
#include "net/smtp/send_mail.h"
#include "net/transfer/account_transfer.h"
#include "net/transfer/outgoing_filing.h"
#include "net/transfer/titled_interface.h"
#include "net/transfer_context.h"

namespace corvelle {

class SendRun {
 private:
  TitledInterface titled_;  // SendMail1's interface (made before it)

 public:
  // Takes the accounts, the store and the rest of the context now, as the senders do their
  // settings.
  explicit SendRun(const TransferContext& context);
  SendRun(const SendRun&) = delete;
  SendRun& operator=(const SendRun&) = delete;

  // Status line 0 "Sending message:", then one message: the spool file `file_name` (a full
  // path) or, when it is empty, the lines `lines` (null: none), as the identity its From
  // names. Shows the result's message, files the message (OutgoingFiling) and closes the
  // connection. SendMail1.ErrorFlag ends set when the sender failed, whichever it was.
  SendResult SendOneMailMessage(const std::string& file_name, const std::vector<std::string>* lines);
  // Sends every ".out" file of the spool folder (any letter case, sorted by name ignoring
  // case), grouped by identity: the first account's group first, then the others in account
  // order, each over one connection of its own; returns the number delivered. A connection
  // that cannot be made, or a greeting or login that is refused, ends its group at that
  // message: one box (with the account's title when the run sends as several accounts), and
  // the rest of the group stays spooled; the other groups still go. Cancel all ends the run.
  // NotSent counts the run's messages that were not delivered; SendMail1.ErrorFlag ends set
  // when any group failed.
  int SendOutGoingMail();
  int NotSent = 0;

  TSendMail SendMail1;  // the first account's SMTP client; the Cancel buttons act on its flags
  // The sender at work now (SendMail1, or an identity's own while its messages go out): the
  // Cancel buttons act on it as well, and Cancel all set on it ends the run.
  TSendMail& Active() { return *active_; }

 private:
  // A further identity: its interface (titled), its context and credentials, its sender.
  struct Identity {
    explicit Identity(UserInterface& ui) : titled(ui) {}
    TitledInterface titled;
    std::unique_ptr<AccountTransfer> transfer;
    std::unique_ptr<TSendMail> sender;
  };

  // The index in accounts_ of the identity the message's From names.
  size_t IdentityOf(const std::string& file_name, const std::vector<std::string>* lines);
  // The sender of account `index`: SendMail1 for the first, else made on first use.
  TSendMail& Sender(size_t index);
  // The spool files `names` of one identity, over one connection; returns the count
  // delivered. `done` counts the run's messages gone through, of `total`.
  int SendGroup(size_t index, const std::vector<std::string>& names, int& done, int total);
  // The spool file `file_name` or, when it is empty, the lines `lines`, as identity `index`.
  OutgoingMail Read(size_t index, const std::string& file_name, const std::vector<std::string>* lines);
  // One message as identity `index`, over its connection, which is closed afterwards with
  // `disconnect`.
  SendResult SendMailMessage(size_t index, OutgoingMail& mail, bool disconnect);
  // Files the message after `sender`'s `result`; the result it ends with.
  SendResult File(TSendMail& sender, const OutgoingMail& mail, SendResult result);
  bool Cancelled() const { return SendMail1.CancelAll || active_->CancelAll; }

  UserInterface& ui_;
  const TransferContext base_;
  const std::vector<Account> accounts_;
  const MailStore store_;
  OutgoingFiling filing_;
  std::map<size_t, std::unique_ptr<Identity>> identities_;
  TSendMail* active_ = &SendMail1;
};

}  // namespace corvelle
