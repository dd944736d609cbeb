#include "net/transfer/outgoing_filing.h"

#include <algorithm>

#include "core/messages/postpone_message.h"
#include "core/store/file_message.h"
#include "core/store/file_naming.h"
#include "core/store/folder_list.h"
#include "core/store/mail_store.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr const char* kSentMail = "Sent Mail";
constexpr const char* kPostponed = "Postponed";

// A fixed folder of the store as a path without its final "/", resolved.
std::string FolderPath(std::string folder) {
  folder.pop_back();
  return ResolvePath(folder);
}

bool InFolder(const std::string& path, const std::string& folder) {
  std::string a = FolderPart(path), b = folder;
  while (a.size() > 1 && a.back() == '/') a.pop_back();
  while (b.size() > 1 && b.back() == '/') b.pop_back();
  return a == b;
}

}  // namespace

OutgoingFiling::OutgoingFiling(UserInterface& ui, MailStore store)
    : ui_(ui), store_(std::move(store)) {}

std::string OutgoingFiling::SpoolFolder() const { return FolderPath(store_.Spool()); }

bool OutgoingFiling::InSpool(const std::string& path) const { return InFolder(path, SpoolFolder()); }

void OutgoingFiling::Request(std::vector<std::string> folders) {
  if (std::find(unflushed_.begin(), unflushed_.end(), folders) == unflushed_.end())
    unflushed_.push_back(std::move(folders));
}

void OutgoingFiling::Wait() {
  // A failed flush has no remedy here: the moves themselves stand.
  for (const std::vector<std::string>& folders : unflushed_)
    for (const std::string& folder : folders) SyncPath(folder);
  unflushed_.clear();
}

std::vector<std::string> OutgoingFiling::CopyLines(const OutgoingMail& mail) const {
  std::vector<std::string> copy;
  if (mail.source.empty()) {
    if (mail.lines) copy = *mail.lines;
  } else if (!InSpool(mail.source)) {
    // Not a spool file: it stays where it is, and a copy of it is filed.
    TBigFile text = mail.text;
    text.SetPosition(0);
    std::string line;
    while (text.GetNextString(line)) copy.push_back(line);
  }
  return copy;
}

void OutgoingFiling::FileSentCopy(const OutgoingMail& mail) {
  const std::string folders = JoinFolderList({kSentMail});
  std::vector<std::string> copy = CopyLines(mail);
  bool written = true;
  std::string left_over;  // what stays in the spool folder when the filing fails
  if (mail.source.empty() || !copy.empty()) {
    left_over = UniqueFileName(store_.Spool(), "");  // a file written here to be filed
    written = store_.FileMessage(ui_, folders, "Spool", NamePart(left_over), copy, true);
  } else {
    // The spool file itself moves into "Sent Mail": it leaves the spool folder only as the
    // complete sent copy.
    store_.FileMessage(ui_, folders, "Spool", NamePart(mail.source), mail.header, false);
    left_over = mail.source;
  }
  if (written && !EntryExists(left_over)) {
    Request({FolderPath(store_.Sent()), SpoolFolder()});
    return;
  }
  std::string kept = KeepUnfiled(left_over, mail);
  ShowMessage(ui_, "The message was sent, but it could not be filed into \"Sent Mail\"." +
                       (kept.empty() ? std::string() : " It is kept as " + kept + "."));
}

std::string OutgoingFiling::KeepUnfiled(const std::string& left_over, const OutgoingMail& mail) const {
  if (!EntryExists(left_over)) return "";
  if (left_over != mail.source) return left_over;
  // Delivered but not filed: kept in the spool folder, never to be sent again.
  std::string name = NamePart(left_over);
  std::string stem = name.substr(0, name.size() - FileExtension(name).size());
  std::string moved;
  return MoveFileUnique(ui_, left_over, FolderPart(left_over) + stem + ".sent", moved) ? moved : left_over;
}

SendResult OutgoingFiling::FileRefused(const OutgoingMail& mail, const SendRefusal& refusal) {
  std::string text = "The message \"" + mail.subject + "\" was not sent. " + refusal.reason;
  // Sending it again would only be refused again: it waits in "Postponed" for the user.
  const bool postponed = refusal.for_good && Postpone(mail);
  if (postponed) {
    Request({FolderPath(store_.Postponed()), SpoolFolder()});
    text += " It was moved to the folder \"Postponed\": open it there to change it and send it again.";
  } else if (InSpool(mail.source)) {
    text += " It stays in the spool folder and is sent again with the next Get / Send All.";
  }
  ShowMessage(ui_, text);
  return postponed ? SendResult::kPostponed : SendResult::kTextRefused;
}

bool OutgoingFiling::Postpone(const OutgoingMail& mail) {
  if (mail.source.empty()) {
    std::string filed_as;
    return mail.lines && PostponeNewMessage(store_, ui_, *mail.lines, filed_as) == Postponing::kSaved;
  }
  if (!InSpool(mail.source)) return false;
  FilingResult result;
  store_.FileMessage(ui_, JoinFolderList({kPostponed}), "Spool", NamePart(mail.source), mail.header, false, result);
  return !result.copies.empty() && result.AllMoved() && !EntryExists(mail.source);
}

}  // namespace corvelle
