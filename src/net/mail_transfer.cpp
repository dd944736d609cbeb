#include "net/mail_transfer.h"

#include <algorithm>

#include "core/user_interface.h"

namespace corvelle {
namespace {

constexpr size_t kNoteLimit = 500;

}  // namespace

TMailTransfer::TMailTransfer(const TransferContext& context)
    : ui_(*context.ui),
      settings_(context.settings),
      choices_(context.choices ? *context.choices : settings_),
      store_(context.store),
      disk_flush_(context.disk_flush),
      log_(store_.NetLog()),
      channel_(ui_, choices_, context.transport ? context.transport() : nullptr),
      credentials_(context.credentials ? *context.credentials : settings_credentials_) {}

bool TMailTransfer::TakeCredential(const LoginTarget& target, Credential& credential) {
  std::string why;
  if (credentials_.Get(ui_, target, credential, why)) return true;
  credential = {};
  if (why.empty()) why = "No password or sign-in is available for " + target.user + " at " + target.host + ".";
  Note(why);
  ShowMessage(ui_, why);
  ErrorFlag = true;
  return false;
}

void TMailTransfer::SetStatus(int line, const std::string& text) {
  if (StatusMemo) StatusMemo->Insert(line, text);
}

void TMailTransfer::ClearStatus() {
  if (!StatusMemo) return;
  StatusMemo->Clear();
  for (const std::string& note : notes_) StatusMemo->Insert(static_cast<int>(StatusMemo->Lines().size()), note);
}

void TMailTransfer::TotalProgress(int percent) { progress_.Total(percent); }

void TMailTransfer::CurrentProgress(int percent) { progress_.Current(percent); }

void TMailTransfer::Note(const std::string& reason) {
  std::string line = reason.substr(0, kNoteLimit);
  std::replace_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  log_.Write(line);
  notes_.push_back(line);
  if (StatusMemo) StatusMemo->Insert(static_cast<int>(StatusMemo->Lines().size()), line);
}

}  // namespace corvelle
