#include "net/mail_transfer.h"

#include <algorithm>

#include "core/settings/settings.h"
#include "core/user_interface.h"

namespace corvelle {
namespace {

constexpr size_t kNoteLimit = 500;

}  // namespace

TMailTransfer::TMailTransfer() : mail_directory_(MailSettings.MailDirectory), log_(mail_directory_) {}

void TMailTransfer::SetStatus(int line, const std::string& text) {
  if (StatusMemo) StatusMemo->Insert(line, text);
}

void TMailTransfer::ClearStatus() {
  if (!StatusMemo) return;
  StatusMemo->Clear();
  for (const std::string& note : notes_) StatusMemo->Insert(static_cast<int>(StatusMemo->Lines().size()), note);
}

void TMailTransfer::TotalProgress(int percent) {
  Ui().TotalProgress(percent);
  Ui().ProcessEvents();
}

void TMailTransfer::CurrentProgress(int percent) {
  if (percent != last_current_) Ui().CurrentProgress(last_current_ = percent);
  Ui().ProcessEvents();
}

void TMailTransfer::Note(const std::string& reason) {
  std::string line = reason.substr(0, kNoteLimit);
  std::replace_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  log_.Write(line);
  notes_.push_back(line);
  if (StatusMemo) StatusMemo->Insert(static_cast<int>(StatusMemo->Lines().size()), line);
}

}  // namespace corvelle
