#pragma once
// What a run does with a message after the SMTP sender tried it: a delivered one is filed
// into "Sent Mail", one refused for good into "Postponed"; the folders of each move are
// flushed at the next Wait, which the run calls once the next message's text has gone out
// and before its end does, so the server takes that text in meanwhile. (On the caller's
// thread: with the server busy on the other core, a helper thread would only add its wake-up
// to the wait.) A spool file leaves the spool folder only by a move that makes it complete
// where it arrives: it is never lost, and a delivered one is never sent twice.

#include <string>
#include <vector>

#include "core/store/mail_store.h"
#include "core/user_interface.h"
#include "net/smtp/outgoing_mail.h"
#include "net/smtp/send_result.h"

namespace corvelle {

class OutgoingFiling {
 public:
  OutgoingFiling(UserInterface& ui, MailStore store);
  ~OutgoingFiling() { Wait(); }  // no move is left unflushed
  OutgoingFiling(const OutgoingFiling&) = delete;
  OutgoingFiling& operator=(const OutgoingFiling&) = delete;

  // Files a delivered message into "Sent Mail": a spool file moves there itself; window
  // lines, or a file from elsewhere (which stays where it is), are written there as a copy.
  // One that cannot be filed is told ("The message was sent, but it could not be filed
  // into \"Sent Mail\"."), and a spool file is then kept beside as ".sent", never sent again.
  void FileSentCopy(const OutgoingMail& mail);
  // Tells the user that the message (named by its subject) was not sent, and why. One
  // refused for good moves into "Postponed" (window lines are written there), where the user
  // can change it and send it again, rather than being sent in vain at every run. Returns
  // kPostponed when it is there now, else kTextRefused.
  SendResult FileRefused(const OutgoingMail& mail, const SendRefusal& refusal);
  // Flushes every folder of a filing so far, each move's in its order (the folder gaining a
  // name before the one losing it).
  void Wait();

 private:
  bool Postpone(const OutgoingMail& mail);
  // The lines written as the sent copy; none when the spool file itself moves.
  std::vector<std::string> CopyLines(const OutgoingMail& mail) const;
  // The name a delivered message that could not be filed stays under ("" when gone).
  std::string KeepUnfiled(const std::string& left_over, const OutgoingMail& mail) const;
  bool InSpool(const std::string& path) const;
  std::string SpoolFolder() const;  // resolved at each use: the tree may be made meanwhile

  UserInterface& ui_;
  const MailStore store_;
  void Request(std::vector<std::string> folders);
  std::vector<std::vector<std::string>> unflushed_;  // each move's folders, not yet flushed
};

}  // namespace corvelle
