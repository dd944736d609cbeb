#include "net/transfer/transfer_run.h"

#include <utility>

#include "core/accounts/account.h"
#include "core/filters/spool_filing.h"
#include "core/messages/spool_message.h"
#include "core/run_outcome.h"
#include "core/status_text.h"
#include "core/store/mail_store.h"
#include "core/user_interface.h"
#include "net/transfer/account_transfer.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

std::vector<std::string> Titles(const Settings& settings) {
  std::vector<std::string> titles;
  for (const Account& account : AllAccounts(settings)) titles.push_back(AccountTitle(account));
  return titles;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

}  // namespace

// A further account's retrieval: its context (and credentials), the interface that names it
// in boxes, and its retriever, which adds to the run's network log.
struct TransferRun::Further {
  Further(const TransferContext& base, size_t index, const std::string& title)
      : transfer(MakeAccountTransfer(base, index)),
        ui(*base.ui, title),
        mail(ShownOn(transfer->context, ui), true) {}
  std::unique_ptr<AccountTransfer> transfer;
  TitledInterface ui;
  TGetMail mail;
};

std::string TransferSummary(int sent, int received, int skipped, bool failed, int left_in_spool, int not_sent,
                            bool cancelled, const std::vector<std::string>& failed_accounts) {
  std::string text = sent > 0 ? std::to_string(sent) + " sent, " : "";
  text += std::to_string(received) + " received messages, " + std::to_string(skipped) + " errors";
  text += not_sent > 0 ? ", " + std::to_string(not_sent) + " not sent." : ".";
  // A cancel is not a transmission error; what it left undone is where it was.
  if (cancelled)
    text += " Transfer cancelled: unsent mail stays in the Spool folder, mail not retrieved stays on the server.";
  else if (failed)
    text += " Transmission error.";
  if (!cancelled && !failed_accounts.empty()) text += " Retrieval failed for: " + Joined(failed_accounts) + ".";
  if (std::string left = FilteringCompleteText(left_in_spool); !left.empty()) text += " " + left;
  return text;
}

TransferRun::TransferRun(const TransferContext& context, StatusText* status, TransferView* view,
                         ResultLine result_line)
    : context_(context),
      titles_(Titles(context.settings)),
      first_ui_(*context.ui, Several() ? titles_.front() : ""),
      Sending1(context),
      GetMail1(ShownOn(context, first_ui_)),
      ui_(*context.ui),
      store_(context.store),
      default_folder_(context.settings.DefaultMailFolder),
      view_(view),
      result_line_(std::move(result_line)),
      status_(status) {
  if (context.credentials) context.credentials->BeginRun();
  SendMail1.InitStatus(status);
  GetMail1.InitStatus(status);
  MailFilter1.InitStatus(status);
  if (Several()) GetMail1.AccountShown = titles_.front();
}

TransferRun::~TransferRun() = default;

std::vector<const TGetMail*> TransferRun::Retrievers() const {
  std::vector<const TGetMail*> all{&GetMail1};
  for (const auto& further : further_) all.push_back(&further->mail);
  return all;
}

void TransferRun::Begin(Phase phase, const std::string& caption) {
  Mode = phase;
  ui_.TotalProgress(0);
  if (view_) view_->ShowPhase(caption);
}

void TransferRun::End() {
  ui_.TotalProgress(100);
  if (view_) view_->HidePhase();
}

void TransferRun::Result(const std::string& text) const {
  if (result_line_) result_line_(text);
}

int TransferRun::DoSendAll() {
  Begin(kSending, "Sending all outgoing mail");
  int sent = Sending1.SendOutGoingMail();
  if (SendMail1.ErrorFlag) NoteRunFailure();  // something stayed in the spool folder
  End();
  return sent;
}

SendResult TransferRun::DoSendOne(const std::string& file_name, const std::vector<std::string>* lines) {
  Begin(kSending, "Sending one message");
  SendResult code = Sending1.SendOneMailMessage(file_name, lines);
  Failed = SendMail1.ErrorFlag;
  End();
  return code;
}

int TransferRun::DoGetAll(int& skipped) {
  std::vector<size_t> enabled;
  const std::vector<Account> accounts = AllAccounts(context_.settings);
  for (size_t i = 0; i < accounts.size(); ++i)
    if (i == 0 || accounts[i].Enabled) enabled.push_back(i);
  return Receive(enabled, skipped);
}

int TransferRun::Receive(const std::vector<size_t>& indexes, int& skipped) {
  FailedAccounts.clear();
  Failed = false;
  int received = 0;
  if (!Several()) Begin(kReceiving, "Receiving all new mail");
  for (size_t n = 0; n < indexes.size(); ++n) {
    // Cancel all ends the run: the accounts after the one it stopped are not asked.
    if (n > 0 && CancelledAll) break;
    TGetMail& mail = RetrieverFor(indexes[n]);
    if (Several()) {
      Begin(kReceiving, "Receiving new mail from " + mail.AccountShown);
      mail.WriteLog("Account: " + mail.AccountShown);
    }
    int got = 0, missed = 0;
    if (direct_)
      mail.FileDirectly = [this](const std::vector<std::string>& lines, bool whole, const std::string& spool_name) {
        return direct_->Target(lines, whole, spool_name);
      };
    mail.GetNewMail(got, missed);
    mail.FileDirectly = nullptr;
    for (std::string& subject : mail.TakeFiledDirectly()) filed_ahead_.push_back(std::move(subject));
    received += got;
    skipped += missed;
    if (!mail.ErrorFlag) continue;
    Failed = true;
    if (Several()) FailedAccounts.push_back(mail.AccountShown);
  }
  if (Failed || skipped > 0) NoteRunFailure();
  End();
  return received;
}

TGetMail& TransferRun::RetrieverFor(size_t index) {
  getting_ = &GetMail1;
  if (index == 0) return GetMail1;
  further_.push_back(std::make_unique<Further>(context_, index, titles_.at(index)));
  getting_ = &further_.back()->mail;
  getting_->InitStatus(status_);
  getting_->AccountShown = titles_.at(index);
  getting_->ErrorFlag = getting_->CancelAll = CancelledAll;  // made after Cancel all: does nothing
  return *getting_;
}

int TransferRun::DoFilter() {
  if (view_) view_->EnableCancel(false);
  Begin(kFiltering, "Filtering all new messages");
  MailFilter1.FiledAhead(std::exchange(filed_ahead_, {}));
  int left = MailFilter1.FilterMail(store_, default_folder_, ui_, AllAccounts(context_.settings));
  End();
  if (view_) view_->EnableCancel(true);
  return left;
}

int TransferRun::DoFiltering() {
  Result("Filtering mail...");
  ui_.ProcessEvents();
  int left = DoFilter();
  if (left > 0) NoteRunFailure();  // not filed
  Result(left > 0 ? FilteringCompleteText(left) : "Filtering complete.");
  return left;
}

bool TransferRun::GetSendAll() {
  if (!store_.CheckMailDirs(default_folder_, true, true, false)) return false;
  Result("Sending spooled mail...");
  int sent = DoSendAll();
  ui_.ProcessEvents();
  Result("Retrieving mail...");
  FileWhileReceiving();
  int skipped = 0;
  int received = DoGetAll(skipped);
  return FilterAndSum(sent, received, skipped) && !SendMail1.ErrorFlag && Sending1.NotSent == 0;
}

bool TransferRun::GetFromAccount(const std::string& title) {
  const std::vector<Account> accounts = AllAccounts(context_.settings);
  const Account* account = FindAccount(accounts, title);
  if (!account) {
    ShowMessage(ui_, "There is no account named \"" + title + "\". The accounts are: " + Joined(titles_) + ".");
    NoteRunFailure();
    return false;
  }
  if (!store_.CheckMailDirs(default_folder_, true, true, false)) return false;
  Result("Retrieving mail...");
  FileWhileReceiving();
  int skipped = 0;
  int received = Receive({static_cast<size_t>(account - accounts.data())}, skipped);
  return FilterAndSum(0, received, skipped);
}

void TransferRun::FileWhileReceiving() {
  direct_ = std::make_unique<DirectFiling>(MailFilter1.Rules(), store_, default_folder_, AllAccounts(context_.settings));
}

bool TransferRun::FilterAndSum(int sent, int received, int skipped) {
  direct_.reset();
  // Mail an earlier run left in the spool folder (one cut short after its retrieval, or an
  // interrupted filing) is filtered too, not only what this run received.
  int left = received > 0 || SpoolHoldsNewMail(ResolvePath(store_.Spool())) ? DoFiltering() : 0;
  Result(TransferSummary(sent, received, skipped, Failed, left, Sending1.NotSent, CancelledAll, FailedAccounts));
  return !Failed && skipped == 0 && left == 0;
}

bool TransferRun::DoSend(const std::string& file_name, const std::vector<std::string>* lines) {
  // A delivered spool file was moved into "Sent Mail" (or kept under a name that is not
  // ".out") by the sending run itself, so nothing is left here to delete.
  SendResult code = DoSendOne(file_name, lines);
  if (code == SendResult::kDelivered) {
    Result("Message successfully sent.");
    return true;
  }
  // Refused for good and kept in "Postponed" (the sending run said so): spooling it would
  // only send it in vain again.
  if (code == SendResult::kPostponed) {
    Result("Message not sent: moved to \"Postponed\".");
    return true;
  }
  ShowMessage(ui_, "Mail Message could not be sent, mail file will be spooled.");
  return DoSpool(ui_, store_, file_name, lines, result_line_);
}

// The flags say what to stop; Cancel ends the wait in progress without an error report.
void TransferRun::CancelCurrent() {
  TMailTransfer& active = Mode == kSending ? static_cast<TMailTransfer&>(Sending1.Active()) : *getting_;
  active.ErrorFlag = true;
  active.Cancel();
}

void TransferRun::CancelAllRuns() {
  CancelledAll = true;
  for (TMailTransfer* component : {static_cast<TMailTransfer*>(&SendMail1), static_cast<TMailTransfer*>(&Sending1.Active()),
                                   static_cast<TMailTransfer*>(&GetMail1), static_cast<TMailTransfer*>(getting_)})
    component->ErrorFlag = component->CancelAll = true;
  (Mode == kSending ? static_cast<TMailTransfer&>(Sending1.Active()) : *getting_).Cancel();
}

bool DoSpool(UserInterface& ui, const MailStore& store, const std::string& file_name,
             const std::vector<std::string>* lines, const ResultLine& result_line) {
  bool spooled = !file_name.empty() || (lines && SpoolMessageLines(store, *lines));
  if (!spooled) {
    ShowMessage(ui, "Mail message could not be saved.");
    return false;
  }
  if (result_line) result_line("Message successfully spooled.");
  return true;
}

}  // namespace corvelle
