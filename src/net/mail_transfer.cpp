#include "net/mail_transfer.h"

#include "core/user_interface.h"

namespace corvelle {

void TMailTransfer::SetStatus(int line, const std::string& text) {
  if (StatusMemo) StatusMemo->Insert(line, text);
}

void TMailTransfer::ClearStatus() {
  if (StatusMemo) StatusMemo->Clear();
}

void TMailTransfer::TotalProgress(int percent) {
  Ui().TotalProgress(percent);
  Ui().ProcessEvents();
}

void TMailTransfer::CurrentProgress(int percent) {
  if (percent != last_current_) Ui().CurrentProgress(last_current_ = percent);
  Ui().ProcessEvents();
}

}  // namespace corvelle
