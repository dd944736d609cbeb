#pragma once
// A mail directory with its tree, settings for sending, status lines that remember every
// state they went through, and helpers for spool files and folder contents.

#include <memory>
#include <string>
#include <vector>

#include "core/status_text.h"
#include "net/send_mail.h"
#include "support/mail_fixture.h"

namespace corvelle::testing {

// Status lines that keep each state they went through.
class RecordingStatus : public StatusText {
 public:
  std::vector<std::vector<std::string>> history;
  // True when some state held `line`.
  bool Showed(const std::string& line) const;

 protected:
  void Changed() override { history.push_back(Lines()); }
};

class SendMailFixture : public MailFixture {
 protected:
  SendMailFixture();

  // A sender made now (it takes its port from the settings), with the status lines of this
  // fixture and a short watchdog.
  std::unique_ptr<TSendMail> NewSender(int timeout_seconds = 2);
  // Writes a spool file; returns its full path.
  std::string Spool(const std::string& name, const std::string& data);
  // The file names of a folder of the mail directory, sorted bytewise.
  std::vector<std::string> Names(const std::string& folder) const;
  // The contents of the only file in "Sent Mail" ("<none>" or "<several>" otherwise).
  std::string SentCopy() const;

  RecordingStatus status;
};

}  // namespace corvelle::testing
