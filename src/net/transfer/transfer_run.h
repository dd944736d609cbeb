#pragma once
// One transfer command without its widgets: the sending run (the SMTP sender and the filing
// of what it sent), the POP3 retriever and the filter engine, made for this command from
// the context it is handed (each copies the settings it needs when it is made, so a run keeps
// to the ones it began with), and the phases a command goes through: send all, send one,
// receive all, filter. A dialog shows a run through
// TransferView and the status lines; the command's result line goes to `result_line`.
//
// Cancel current ends the message in progress (ErrorFlag); Cancel all also ends the run
// after it (CancelAll). The flags are set on both mail components and never cleared, so
// after Cancel all the rest of the command does nothing on the network. A Cancel ends the
// wait in progress at once and is reported by nobody as an error.

#include <functional>
#include <string>
#include <vector>

#include "core/filters/mail_filter.h"
#include "net/pop3/get_mail.h"
#include "net/smtp/send_mail.h"
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
// where it was.
std::string TransferSummary(int sent, int received, int skipped, bool failed, int left_in_spool, int not_sent = 0,
                            bool cancelled = false);

class TransferRun {
 public:
  enum Phase { kReceiving = 0, kSending = 1, kFiltering = 2 };

  // `status` (the status lines), `view` and `result_line` may be null.
  TransferRun(const TransferContext& context, StatusText* status, TransferView* view, ResultLine result_line);
  TransferRun(const TransferRun&) = delete;
  TransferRun& operator=(const TransferRun&) = delete;

  // The phases. Each shows the view under its caption and hides it at its end.
  int DoSendAll();                    // every ".out" file of the spool folder; returns the count sent
  SendResult DoSendOne(const std::string& file_name, const std::vector<std::string>* lines);
  int DoGetAll(int& skipped);         // returns the count received
  int DoFilter();                     // returns the count left in the spool folder

  // Get / Send All: makes sure the mail tree exists (nothing happens when it cannot be
  // made), sends the spool folder, retrieves, filters when anything was received or the
  // spool folder holds mail to filter from before, and
  // leaves the summary as the result line. False when any of it failed: the tree could not
  // be made, a message was not sent or not retrieved, the retrieval failed, or a message
  // stayed in the spool folder. MailFilter1.FiledSubjects() tells what was filed.
  bool GetSendAll();
  // The filtering run after a retrieval, and Run Filter. Returns the count left in Spool.
  int DoFiltering();
  // Sends one message (a spool file, or a window's lines when `file_name` is empty). When
  // it is not delivered, says so and spools it (DoSpool), unless the run moved it into
  // "Postponed" (refused for good). True when sent, spooled or postponed.
  bool DoSend(const std::string& file_name, const std::vector<std::string>* lines);

  void CancelCurrent();
  void CancelAllRuns();

  Phase Mode = kReceiving;
  bool Failed = false;  // the error flag of the last send-one or receive phase
  bool CancelledAll = false;  // Cancel all was pressed: the rest of the command does nothing

  SendRun Sending1;
  TSendMail& SendMail1 = Sending1.SendMail1;  // the sender, as the dialog and Cancel reach it
  TGetMail GetMail1;
  TMailFilter MailFilter1;

 private:
  void Begin(Phase phase, const std::string& caption);
  void End();
  void Result(const std::string& text) const;

  UserInterface& ui_;
  const MailStore store_;
  const std::string default_folder_;  // where mail no rule takes goes
  TransferView* view_;
  ResultLine result_line_;
};

// Spool Current, and the fall-back of a send that failed: with an empty `file_name`, writes
// `lines` as a new ".out" file of the spool folder; a non-empty one is a spool file already.
// True: result line "Message successfully spooled."; false: "Mail message could not be
// saved." is shown through `ui`.
bool DoSpool(UserInterface& ui, const MailStore& store, const std::string& file_name,
             const std::vector<std::string>* lines, const ResultLine& result_line);

}  // namespace corvelle
