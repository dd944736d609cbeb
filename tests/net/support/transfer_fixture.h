#pragma once
// A mail directory with its tree and settings for both servers, status lines that remember
// every state they went through, helpers for the spool folder and "Sent Mail", and the
// dialogue pieces of the SMTP scripts.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/settings/settings.h"
#include "core/status_text.h"
#include "net/transfer/send_run.h"
#include "net/transfer_context.h"
#include "net/support/fake_server.h"
#include "support/mail_fixture.h"
#include "support/test_settings.h"

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

// Sending to mail.example:25; fetching from pop.example:110 as "joe" with "secret" (allowed
// in clear), deleting on the server.
class TransferFixture : public MailFixture {
 protected:
  TransferFixture() {
    MakeTree();
    SetUserSettings();
    // Allowed before, as by a user of a server without TLS: retrieval asks nothing first.
    MailSettings.Secure.ClearPasswordServers = {"pop.example:110"};
  }

  // What a component made now is handed: this fixture's interface, the settings as they
  // are now, its mail directory, `transport` (TCP when empty) and `flush` (the real one
  // when empty).
  // As the program's: the user's choices while connecting are kept in the settings record.
  TransferContext Context(TransportFactory transport = {}, DiskFlush flush = {}) {
    TransferContext context = MakeTransferContext(ui, MailSettings);
    context.transport = std::move(transport);
    context.disk_flush = std::move(flush);
    context.choices = &MailSettings;
    return context;
  }
  // A sending run made now (it takes its settings now), with the status lines of this
  // fixture and a short watchdog, connecting through `transport` (TCP when empty).
  std::unique_ptr<SendRun> NewSender(int timeout_seconds, TransportFactory transport = {}) {
    auto sender = std::make_unique<SendRun>(Context(std::move(transport)));
    sender->SendMail1.InitStatus(&status);
    sender->SendMail1.Channel().Timeout = timeout_seconds;
    return sender;
  }
  // Writes a spool file; returns its full path.
  std::string Spool(const std::string& name, const std::string& data) {
    WriteFile(mail_dir + "Spool/" + name, data);
    return mail_dir + "Spool/" + name;
  }
  // The file names of a folder of the mail directory, sorted bytewise.
  Strings Names(const std::string& folder) const { return ListNames(mail_dir + folder); }
  // The contents of the files of a folder of the mail directory, sorted.
  Strings Contents(const std::string& folder) const {
    Strings contents;
    for (const std::string& name : Names(folder)) contents.push_back(ReadFile(mail_dir + folder + "/" + name));
    std::sort(contents.begin(), contents.end());
    return contents;
  }
  // The contents of the only file in "Sent Mail" ("<none>" or "<several>" otherwise).
  std::string SentCopy() const {
    Strings names = Names("Sent Mail");
    return names.empty() ? "<none>" : names.size() > 1 ? "<several>" : ReadFile(mail_dir + "Sent Mail/" + names[0]);
  }

  RecordingStatus status;
};

// SMTP dialogue pieces for one message from self@site, over 127.0.0.1: the greeting of a
// connection, the envelope to `recipient` up to its accepted "rcpt to" (with the greeting:
// the first message of a connection), and the DATA step with the text's lines as they go on
// the wire (`wire` holds CR LF lines, dot-stuffed) and the reply.
inline const std::string kGreeting = "C: ehlo [127.0.0.1]\nS: 250 hi\n";
inline std::string MailTo(const std::string& recipient = "a@x") {
  return "C: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<" + recipient + ">\nS: 250 Ok\n";
}
inline std::string Envelope(const std::string& recipient = "a@x") { return kGreeting + MailTo(recipient); }
inline std::string Data(const std::string& wire, const std::string& reply = "250 Ok") {
  std::string script = "C: data\nS: 354 go on\n";
  for (size_t at = 0, end; at < wire.size(); at = end + 2) {
    end = wire.find("\r\n", at);
    script += "C: " + Escape(wire.substr(at, end - at)) + "\n";
  }
  return script + "C: .\nS: " + reply + "\n";
}
inline std::string OneMessage(const std::string& wire, const std::string& reply = "250 Ok") {
  return Envelope() + Data(wire, reply);
}

}  // namespace corvelle::testing
