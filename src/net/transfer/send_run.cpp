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
    : SendMail1(context),
      ui_(*context.ui),
      store_(context.store),
      sender_(context.settings.MailAddress),
      filing_(*context.ui, context.store) {
  SendMail1.OnEndOfText = [this] { filing_.Wait(); };
}

SendResult SendRun::SendMailMessage(const std::string& file_name, const std::vector<std::string>* lines,
                                    bool disconnect) {
  if (!SendMail1.BeginMessage()) return SendResult::kNoConnection;
  OutgoingMail mail = ReadOutgoingMail(file_name, lines, sender_, [this] { ui_.ProcessEvents(); });
  SendResult result = File(mail, SendMail1.Deliver(mail));
  if (disconnect) {
    SendMail1.DisconnectFromMailServer();
    filing_.Wait();
  }
  SendMail1.EndMessage(result);
  return result;
}

SendResult SendRun::File(const OutgoingMail& mail, SendResult result) {
  if (result == SendResult::kDelivered) filing_.FileSentCopy(mail);
  if (result == SendResult::kTextRefused) return filing_.FileRefused(mail, SendMail1.Refusal());
  return result;
}

SendResult SendRun::SendOneMailMessage(const std::string& file_name, const std::vector<std::string>* lines) {
  SendMail1.ForgetNotes();
  SendMail1.SetStatus(0, "Sending message:");
  return SendMailMessage(file_name, lines, true);
}

int SendRun::SendOutGoingMail() {
  SendMail1.TotalProgress(0);
  NotSent = 0;
  if (SendMail1.CancelAll) return 0;
  SendMail1.ForgetNotes();
  const std::vector<std::string> outgoing = OutgoingNames(ui_, store_.Spool());
  int count = 0;
  const int n = static_cast<int>(outgoing.size());
  for (int i = 1; i <= n && !SendMail1.CancelAll; ++i) {
    SendMail1.ClearStatus();
    SendMail1.SetStatus(0, "Sending message: " + std::to_string(i) + " of " + std::to_string(n));
    SendResult result = SendMailMessage(store_.Spool() + outgoing[i - 1], nullptr, false);
    if (result == SendResult::kDelivered) ++count;
    SendMail1.TotalProgress(i * 100 / n);
    // No connection, or no greeting: the others would each fail the same way, with a box
    // each. They stay spooled for the next run.
    if (result == SendResult::kNoConnection || result == SendResult::kGreetingRefused) break;
  }
  NotSent = n - count;
  if (SendMail1.Connected) SendMail1.DisconnectFromMailServer();
  filing_.Wait();
  SendMail1.ClearStatus();
  return count;
}

}  // namespace corvelle
