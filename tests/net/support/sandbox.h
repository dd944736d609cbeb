#pragma once
// The mail sandbox (scripts/mail-sandbox) as the tests see it: where its servers listen and
// where its mailboxes live. CTest starts it once for the tests whose suite name begins with
// "Sandbox"; such a test fails (never passes quietly) when the sandbox is not there.

#include <string>
#include <vector>

namespace corvelle::testing {

struct Sandbox {
  std::string host, pop3_port, smtp_port, user, password, maildir, mail_root, deliveries;
};

// The running sandbox, from $CORVELLE_SANDBOX_DIR/env or else the CORVELLE_SANDBOX_*
// variables. False, with the reason in `why`, when there is none.
bool FindSandbox(Sandbox& sandbox, std::string& why);

// A user of the sandbox that no other test (or earlier run) uses, named after `hint`, with
// its empty Maildir made. Returns the Maildir's path.
std::string NewSandboxUser(const Sandbox& sandbox, const std::string& hint, std::string& user);

// Puts `message` into a Maildir as a new message, as a delivery agent would.
void DeliverToMaildir(const std::string& maildir, const std::string& message);

// The message files of a Maildir (new/ and cur/).
std::vector<std::string> MaildirMessages(const std::string& maildir);

}  // namespace corvelle::testing
