#pragma once
// One transfer command without its widgets: the sending run (the SMTP sender and the filing
// of what it sent), the POP3 retrievers (one per account, each made when its turn comes) and
// the filter engine, made for this command from
// the context it is handed (each copies the settings it needs when it is made, so a run keeps
// to the ones it began with), and the phases a command goes through: send all, send one,
// receive all, filter. A dialog shows a run through
// TransferView and the status lines; the command's result line goes to `result_line`.
//
// Cancel current ends the message in progress (ErrorFlag); Cancel all also ends the run
// after it (CancelAll). The flags are set on both mail components and never cleared, so
// after Cancel all the rest of the command does nothing on the network (no further account).
// A Cancel ends the wait in progress at once and is reported by nobody as an error.
//
// With several accounts each one's phase caption, status lines and boxes name it, a failing
// account does not stop the next, and the summary adds them up and names those that failed.
// With one account every text is what it always was.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/filters/direct_filing.h"
#include "core/filters/mail_filter.h"
#include "net/pop3/get_mail.h"
#include "net/smtp/send_mail.h"
#include "net/transfer/titled_interface.h"
#include "net/transfer/send_run.h"
#include "net/transfer_context.h"

namespace corvelle {

class StatusText;

// What a dialog shows of a run: each phase shows it under its caption, the end of a phase
// hides it, and the cancel buttons are disabled while filtering.
class TransferView {
 public:
  virtual ~TransferView() = default;
  virtual void ShowPhase(const std::string& caption) = 0;
  virtual void HidePhase() = 0;
  virtual void EnableCancel(bool enable) = 0;
};

using ResultLine = std::function<void(const std::string& text)>;

// The summary of Get / Send All: "S sent, R received messages, K errors." (the sent part
// only when S > 0; "K errors, N not sent." when spooled messages were not sent),
// " Transmission error." when the retrieval failed, and the filtering line when messages
// stayed in the spool folder. After Cancel all it says instead that what was not done stays
// where it was. `failed_accounts`: the titles of the accounts whose retrieval failed, named
// after the transmission error.
std::string TransferSummary(int sent, int received, int skipped, bool failed, int left_in_spool, int not_sent = 0,
                            bool cancelled = false, const std::vector<std::string>& failed_accounts = {});

class TransferRun {
 public:
  enum Phase { kReceiving = 0, kSending = 1, kFiltering = 2 };

  // `status` (the status lines), `view` and `result_line` may be null.
  TransferRun(const TransferContext& context, StatusText* status, TransferView* view, ResultLine result_line);
  TransferRun(const TransferRun&) = delete;
  TransferRun& operator=(const TransferRun&) = delete;
  ~TransferRun();

  // The phases. Each shows the view under its caption and hides it at its end.
  int DoSendAll();                    // every ".out" file of the spool folder; returns the count sent
  SendResult DoSendOne(const std::string& file_name, const std::vector<std::string>* lines);
  int DoGetAll(int& skipped);         // every enabled account in order; returns the count received
  int DoFilter();                     // returns the count left in the spool folder

  // Get / Send All: makes sure the mail tree exists (nothing happens when it cannot be
  // made), sends the spool folder, retrieves, filters when anything was received or the
  // spool folder holds mail to filter from before, and
  // leaves the summary as the result line. False when any of it failed: the tree could not
  // be made, a message was not sent or not retrieved, the retrieval failed, or a message
  // stayed in the spool folder. MailFilter1.FiledSubjects() tells what was filed.
  bool GetSendAll();
  // Get mail from one account: the account titled `title` (FindAccount), enabled or not,
  // alone, then the filtering as GetSendAll does, with its summary. False when there is no
  // such account (the box names the accounts there are) or as GetSendAll.
  bool GetFromAccount(const std::string& title);
  // The filtering run after a retrieval, and Run Filter. Returns the count left in Spool.
  int DoFiltering();
  // Sends one message (a spool file, or a window's lines when `file_name` is empty). When
  // it is not delivered, says so and spools it (DoSpool), unless the run moved it into
  // "Postponed" (refused for good). True when sent, spooled or postponed.
  bool DoSend(const std::string& file_name, const std::vector<std::string>* lines);

  void CancelCurrent();
  void CancelAllRuns();

  // The retrievers this run has made so far, in account order: GetMail1 first. With several
  // accounts each one's AccountShown is its account's title.
  std::vector<const TGetMail*> Retrievers() const;

  Phase Mode = kReceiving;
  bool Failed = false;  // the error flag of the last send-one or receive phase (of any account)
  std::vector<std::string> FailedAccounts;  // the last receive phase's failed accounts (several only)
  bool CancelledAll = false;  // Cancel all was pressed: the rest of the command does nothing

  // Made before GetMail1, which is made on them.
 private:
  const TransferContext context_;
  const std::vector<std::string> titles_;  // AccountTitle of every account
  TitledInterface first_ui_;  // GetMail1's boxes: with several accounts, they name the first

 public:
  SendRun Sending1;
  TSendMail& SendMail1 = Sending1.SendMail1;  // the sender, as the dialog and Cancel reach it
  TGetMail GetMail1;
  TMailFilter MailFilter1;

 private:
  void Begin(Phase phase, const std::string& caption);
  void End();
  void Result(const std::string& text) const;
  // Retrieves the accounts `indexes` of AllAccounts in turn (after Cancel all, none after the
  // first); `skipped` adds their errors up. Returns the count received.
  int Receive(const std::vector<size_t>& indexes, int& skipped);
  // The retriever of account `index`, made when first asked for; the one at work from now.
  TGetMail& RetrieverFor(size_t index);
  bool Several() const { return titles_.size() > 1; }
  // The filtering that follows the next receive phase would file most messages into one
  // folder each: they go there at their commit instead, as it would file them (DirectFiling).
  void FileWhileReceiving();
  // The filtering after a receive phase and the summary; what GetSendAll returns.
  bool FilterAndSum(int sent, int received, int skipped);

  struct Further;  // a further account's context, interface and retriever

  UserInterface& ui_;
  const MailStore store_;
  const std::string default_folder_;  // where mail no rule takes goes
  TransferView* view_;
  ResultLine result_line_;
  StatusText* status_;
  std::vector<std::unique_ptr<Further>> further_;
  TGetMail* getting_ = &GetMail1;  // the retriever at work now
  // The subjects of the mail the receive phase filed straight (DirectFiling), which the
  // filtering after it reports as its own.
  std::vector<std::string> filed_ahead_;
  std::unique_ptr<DirectFiling> direct_;  // while a receive phase that filtering follows runs
};

// Spool Current, and the fall-back of a send that failed: with an empty `file_name`, writes
// `lines` as a new ".out" file of the spool folder; a non-empty one is a spool file already.
// True: result line "Message successfully spooled."; false: "Mail message could not be
// saved." is shown through `ui`.
bool DoSpool(UserInterface& ui, const MailStore& store, const std::string& file_name,
             const std::vector<std::string>* lines, const ResultLine& result_line);

}  // namespace corvelle
