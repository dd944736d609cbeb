#include "net/transfer/send_run.h"

#include "core/store/file_naming.h"
#include "core/store/folder_files.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

// The ".out" files of the spool folder, any letter case, sorted by name ignoring case.
std::vector<std::string> OutgoingNames(UserInterface& ui, const std::string& spool) {
  std::vector<std::string> names, outgoing;
  ListFolderFiles(ui, spool, names);
  for (const std::string& name : names)
    if (SameNameIgnoringCase(FileExtension(name), ".out")) outgoing.push_back(name);
  return outgoing;
}

}  // namespace

SendRun::SendRun(const TransferContext& context)
    : titled_(*context.ui),
      SendMail1(ShownOn(context, titled_)),
      ui_(*context.ui),
      base_(context),
      accounts_(AllAccounts(context.settings)),
      store_(context.store),
      filing_(*context.ui, context.store) {
  SendMail1.OnEndOfText = [this] { filing_.Wait(); };
}

size_t SendRun::IdentityOf(const std::string& file_name, const std::vector<std::string>* lines) {
  if (accounts_.size() == 1) return 0;
  const OutgoingMail mail = ReadOutgoingMail(file_name, lines, "", [this] { ui_.ProcessEvents(); });
  return static_cast<size_t>(&IdentityFor(accounts_, mail.author) - accounts_.data());
}

TSendMail& SendRun::Sender(size_t index) {
  if (index == 0) return SendMail1;
  std::unique_ptr<Identity>& made = identities_[index];
  if (!made) {
    made = std::make_unique<Identity>(ui_);
    made->titled.title = AccountTitle(accounts_[index]);
    made->transfer = MakeAccountTransfer(ShownOn(base_, made->titled), index);
    made->sender = std::make_unique<TSendMail>(made->transfer->context);
    TSendMail& sender = *made->sender;
    sender.InitStatus(SendMail1.StatusMemo);
    sender.Channel().Timeout = SendMail1.Channel().Timeout;
    sender.OnEndOfText = [this] { filing_.Wait(); };
  }
  return *made->sender;
}

OutgoingMail SendRun::Read(size_t index, const std::string& file_name, const std::vector<std::string>* lines) {
  return ReadOutgoingMail(file_name, lines, accounts_[index].MailAddress, [this] { ui_.ProcessEvents(); });
}

SendResult SendRun::SendMailMessage(size_t index, OutgoingMail& mail, bool disconnect) {
  TSendMail& sender = Sender(index);
  if (!sender.BeginMessage()) return SendResult::kNoConnection;
  SendResult result = File(sender, mail, sender.Deliver(mail));
  if (disconnect) {
    sender.DisconnectFromMailServer();
    filing_.Wait();
  }
  sender.EndMessage(result);
  return result;
}

SendResult SendRun::File(TSendMail& sender, const OutgoingMail& mail, SendResult result) {
  if (result == SendResult::kDelivered) filing_.FileSentCopy(mail);
  if (result == SendResult::kTextRefused) return filing_.FileRefused(mail, sender.Refusal());
  return result;
}

SendResult SendRun::SendOneMailMessage(const std::string& file_name, const std::vector<std::string>* lines) {
  const size_t index = IdentityOf(file_name, lines);
  titled_.title.clear();
  TSendMail& sender = Sender(index);
  active_ = &sender;
  sender.ForgetNotes();
  sender.SetStatus(0, "Sending message:");
  OutgoingMail mail = Read(index, file_name, lines);
  SendResult result = SendMailMessage(index, mail, true);
  if (index != 0) {
    SendMail1.ForgetNotes();
    SendMail1.KeepNotes(sender, AccountTitle(accounts_[index]));
    SendMail1.ErrorFlag = sender.ErrorFlag;
  }
  return result;
}

int SendRun::SendOutGoingMail() {
  active_ = &SendMail1;
  SendMail1.TotalProgress(0);
  NotSent = 0;
  if (SendMail1.CancelAll) return 0;
  SendMail1.ForgetNotes();
  const std::vector<std::string> outgoing = OutgoingNames(ui_, store_.Spool());
  std::vector<std::vector<std::string>> groups(accounts_.size());
  for (const std::string& name : outgoing) groups[IdentityOf(store_.Spool() + name, nullptr)].push_back(name);
  // Sending as several accounts, every box says whose server it came from.
  const bool several = outgoing.size() > groups[0].size();
  titled_.title = several ? AccountTitle(accounts_[0]) : "";
  const int n = static_cast<int>(outgoing.size());
  int count = 0, done = 0;
  bool failed = false;
  for (size_t index = 0; index < groups.size() && !Cancelled(); ++index) {
    if (groups[index].empty()) continue;
    count += SendGroup(index, groups[index], done, n);
    failed = failed || Active().ErrorFlag;
    if (index != 0) SendMail1.KeepNotes(Active(), AccountTitle(accounts_[index]));
  }
  NotSent = n - count;
  if (failed) SendMail1.ErrorFlag = true;
  active_ = &SendMail1;
  SendMail1.ClearStatus();
  return count;
}

int SendRun::SendGroup(size_t index, const std::vector<std::string>& names, int& done, int total) {
  TSendMail& sender = Sender(index);
  active_ = &sender;
  if (index != 0) sender.ForgetNotes();  // the first's were forgotten as the run began
  const std::string& title = index == 0 ? titled_.title : AccountTitle(accounts_[index]);
  const std::string status = title.empty() ? "Sending message: " : "Sending message as " + title + ": ";
  const int end = done + static_cast<int>(names.size());
  int count = 0;
  // Each message is read one ahead, so that its envelope can follow the text before it.
  OutgoingMail mails[2];
  if (!names.empty()) mails[0] = Read(index, store_.Spool() + names[0], nullptr);
  for (size_t at = 0; at < names.size(); ++at) {
    if (Cancelled()) break;
    ++done;
    sender.ClearStatus();
    sender.SetStatus(0, status + std::to_string(done) + " of " + std::to_string(total));
    OutgoingMail* next = nullptr;
    if (at + 1 < names.size()) {
      next = &mails[(at + 1) % 2];
      *next = Read(index, store_.Spool() + names[at + 1], nullptr);
    }
    sender.SendAhead(next);
    SendResult result = SendMailMessage(index, mails[at % 2], false);
    if (result == SendResult::kDelivered) ++count;
    sender.TotalProgress(done * 100 / total);
    // No connection, or no greeting: the others of this server would each fail the same
    // way, with a box each. They stay spooled for the next run.
    if (result == SendResult::kNoConnection || result == SendResult::kGreetingRefused) break;
  }
  done = end;
  sender.SendAhead(nullptr);
  if (sender.Connected) sender.DisconnectFromMailServer();
  filing_.Wait();
  return count;
}

}  // namespace corvelle
