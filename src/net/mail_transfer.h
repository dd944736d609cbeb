#pragma once
// What the POP3 retriever and the SMTP sender share: the transfer dialog's status lines,
// the progress they report through the UI seam, and the two flags that the dialog's
// Cancel buttons set between two lines of a transfer.

#include <string>

#include "core/status_text.h"
#include "net/sockets/sockets.h"

namespace corvelle {

class TMailTransfer : public TSockets {
 public:
  StatusText* StatusMemo = nullptr;  // the transfer dialog's status lines; may stay null
  bool CancelAll = false;  // "Cancel all": the run stops after the current message
  bool ErrorFlag = false;  // a failed step, a socket error or "Cancel current": the message stops

  void InitStatus(StatusText* memo) { StatusMemo = memo; }

 protected:
  void SetStatus(int line, const std::string& text);
  void ClearStatus();
  // Each reports the percentage, then lets the interface process pending events. A current
  // value equal to the last one is not reported again.
  void TotalProgress(int percent);
  void CurrentProgress(int percent);

 private:
  int last_current_ = -1;
};

}  // namespace corvelle
