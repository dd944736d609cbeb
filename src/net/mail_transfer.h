#pragma once
// What the POP3 retriever and the SMTP sender share: the line channel each owns, the
// transfer dialog's status lines, the progress they report through the interface they are
// given, the network log and the reasons a run failed, and the two flags that the dialog's
// Cancel buttons set between two lines of a transfer.

#include <string>
#include <vector>

#include "core/progress.h"
#include "core/signin/settings_credentials.h"
#include "core/status_text.h"
#include "net/net_log.h"
#include "net/sockets/line_channel.h"
#include "net/transfer_context.h"

namespace corvelle {

class TMailTransfer {
 public:
  virtual ~TMailTransfer() = default;
  TMailTransfer(const TMailTransfer&) = delete;
  TMailTransfer& operator=(const TMailTransfer&) = delete;

  // This run's notes (see Note), oldest first.
  const std::vector<std::string>& Notes() const { return notes_; }
  // Takes `other`'s notes into this run's, each after `title` and ": ", so that the reasons
  // a further account's transfer failed stay with the run's own to its end. They were
  // logged and shown when noted: they are not again.
  void KeepNotes(const TMailTransfer& other, const std::string& title) {
    for (const std::string& note : other.Notes()) notes_.push_back(title + ": " + note);
  }

  StatusText* StatusMemo = nullptr;  // the transfer dialog's status lines; may stay null
  bool CancelAll = false;  // "Cancel all": the run stops after the current message
  bool ErrorFlag = false;  // a failed step, a socket error or "Cancel current": the message stops

  void InitStatus(StatusText* memo) { StatusMemo = memo; }
  // The user's Cancel: ends the wait in progress at once; the flags say what stops.
  void Cancel() { channel_.Cancel(); }
  bool IsConnected() const { return channel_.IsOpen(); }
  LineChannel& Channel() { return channel_; }

 protected:
  // The components copy what they need of `context` once, when they are made: the setup
  // dialog may save new settings while a transfer runs, and a run keeps to the ones it began with.
  explicit TMailTransfer(const TransferContext& context);

  void SetStatus(int line, const std::string& text);
  // Empties the status lines, all but this run's notes, which stay at the bottom.
  void ClearStatus();
  // Each reports the percentage, then lets the interface process pending events. A current
  // value equal to the last one is not reported again.
  void TotalProgress(int percent);
  void CurrentProgress(int percent);
  // Tells the user why something failed: the reason (made one line, at most 500 bytes) goes
  // into the network log and stays below the status lines until the run ends.
  void Note(const std::string& reason);
  // A new run starts without the notes of the last one.
  void ForgetNotes() { notes_.clear(); }
  // The credential to log in to `target` with, asked before connecting (a sign-in in the
  // browser keeps no connection waiting). False when there is none: the reason is then
  // shown and noted, and ErrorFlag set.
  bool TakeCredential(const LoginTarget& target, Credential& credential);

  UserInterface& ui_;
  Settings settings_;  // the run's copy; only the user's choices change it
  Settings& choices_;  // see TransferContext::choices
  const MailStore store_;
  const DiskFlush disk_flush_;
  NetLog log_;
  LineChannel channel_;

 private:
  SettingsCredentials settings_credentials_{settings_};  // when the context hands none

 protected:
  Credentials& credentials_;  // the context's, else settings_credentials_

 private:
  ProgressReport progress_{ui_};
  std::vector<std::string> notes_;
};

}  // namespace corvelle
