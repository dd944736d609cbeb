#pragma once
// The mail sandbox (scripts/mail-sandbox) as the tests see it: where its servers listen and
// where its mailboxes live. CTest starts it once for the tests whose suite name begins with
// "Sandbox"; such a test fails (never passes quietly) when the sandbox is not there.

#include <string>
#include <vector>

namespace corvelle::testing {

struct Sandbox {
  std::string host = "127.0.0.1", pop3_port, smtp_port, password, mail_root, deliveries;
};

// The running sandbox, from the env file of its state folder ($CORVELLE_SANDBOX_DIR, else
// the build tree's). False, with the reason in `why`, when there is none.
bool FindSandbox(Sandbox& sandbox, std::string& why);

// A user of the sandbox that no other test (or earlier run) uses, named after `hint`, with
// its empty Maildir made. Returns the Maildir's path.
std::string NewSandboxUser(const Sandbox& sandbox, const std::string& hint, std::string& user);

// Puts `message` into a Maildir as a new message, as a delivery agent would.
void DeliverToMaildir(const std::string& maildir, const std::string& message);

// The message files of a Maildir (new/ and cur/), as "new/<name>" or "cur/<name>".
std::vector<std::string> MaildirMessages(const std::string& maildir);

}  // namespace corvelle::testing
