#pragma once
// A mail directory with its tree and settings for both servers, status lines that remember
// every state they went through, helpers for the spool folder and "Sent Mail", and the
// dialogue pieces of the SMTP scripts.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/status_text.h"
#include "net/smtp/send_mail.h"
#include "support/mail_fixture.h"

namespace corvelle::testing {

using Strings = std::vector<std::string>;

// Status lines that keep each state they went through.
class RecordingStatus : public StatusText {
 public:
  std::vector<Strings> history;
  // True when some state held `line`.
  bool Showed(const std::string& line) const {
    return std::any_of(history.begin(), history.end(),
                       [&line](const Strings& lines) { return std::count(lines.begin(), lines.end(), line) > 0; });
  }

 protected:
  void Changed() override { history.push_back(Lines()); }
};

class TransferFixture : public MailFixture {
 protected:
  // Sending to mail.example:25; fetching from pop.example:110 as "joe" with "secret",
  // deleting on the server.
  TransferFixture();

  // A sender made now (it takes its settings now), with the status lines of this fixture
  // and a short watchdog.
  std::unique_ptr<TSendMail> NewSender(int timeout_seconds = 2);
  // Writes a spool file; returns its full path.
  std::string Spool(const std::string& name, const std::string& data);
  // The file names of a folder of the mail directory, sorted bytewise.
  Strings Names(const std::string& folder) const { return ListNames(mail_dir + folder); }
  // The contents of the files of a folder of the mail directory, sorted.
  Strings Contents(const std::string& folder) const;
  // The contents of the only file in "Sent Mail" ("<none>" or "<several>" otherwise).
  std::string SentCopy() const;

  RecordingStatus status;
};

// SMTP dialogue pieces for one message from self@site, over 127.0.0.1: the envelope to
// `recipient` up to its accepted "rcpt to", and the DATA step with the text's lines as they
// go on the wire (`wire` holds CR LF lines, dot-stuffed) and the reply.
std::string Envelope(const std::string& recipient = "a@x");
std::string Data(const std::string& wire, const std::string& reply = "250 Ok");
inline std::string OneMessage(const std::string& wire, const std::string& reply = "250 Ok") {
  return Envelope() + Data(wire, reply);
}

}  // namespace corvelle::testing
