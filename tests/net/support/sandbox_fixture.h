#pragma once
// The mail sandbox (scripts/mail-sandbox), which CTest starts for the suites named Sandbox*:
// Dovecot for POP3, and an SMTP server that delivers into the Maildir Dovecot serves. Header
// only: the default state folder comes from the test executable's build
// (CORVELLE_SANDBOX_DEFAULT_DIR).

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "core/settings/settings.h"
#include "net/pop3/get_mail.h"
#include "net/support/transfer_fixture.h"
#include "support/test_settings.h"

namespace corvelle::testing {

namespace fs = std::filesystem;

struct Sandbox {
  std::string host = "127.0.0.1", pop3_port, smtp_port, password, mail_root, deliveries;
  std::string pop3s_port, smtps_port, expired_port, ca_file;  // the TLS ports, the private CA
};

// The running sandbox, from the env file of its state folder ($CORVELLE_SANDBOX_DIR, else
// the build tree's). False, with the reason in `why`, when there is none.
inline bool FindSandbox(Sandbox& sandbox, std::string& why) {
  const char* dir = std::getenv("CORVELLE_SANDBOX_DIR");
  std::string folder = dir && *dir ? dir : CORVELLE_SANDBOX_DEFAULT_DIR;
  std::map<std::string, std::string> values;
  std::ifstream in(folder + "/env");
  for (std::string line; std::getline(in, line);)
    if (size_t eq = line.find('='); eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  sandbox = {"127.0.0.1", values["CORVELLE_SANDBOX_POP3_PORT"], values["CORVELLE_SANDBOX_SMTP_PORT"],
             values["CORVELLE_SANDBOX_PASSWORD"], values["CORVELLE_SANDBOX_MAIL_ROOT"],
             values["CORVELLE_SANDBOX_DELIVERIES"],      values["CORVELLE_SANDBOX_POP3S_PORT"],
             values["CORVELLE_SANDBOX_SMTPS_PORT"],      values["CORVELLE_SANDBOX_SMTPS_EXPIRED_PORT"],
             values["CORVELLE_SANDBOX_CA_FILE"]};
  why = "the mail sandbox is not running (state folder " + folder + "): run the tests with ctest, or start it " +
        "with scripts/mail-sandbox start and point CORVELLE_SANDBOX_DIR at its state folder";
  return !sandbox.pop3_port.empty() && !sandbox.smtp_port.empty() && !sandbox.mail_root.empty();
}

// The messages of a Maildir, sorted.
inline Strings MaildirMessages(const std::string& maildir) {
  Strings all;
  for (const char* sub : {"new", "cur"})
    for (const auto& file : fs::directory_iterator(fs::path(maildir) / sub)) all.push_back(ReadFile(file.path()));
  std::sort(all.begin(), all.end());
  return all;
}

// Puts `message` into a Maildir as a new message, as a delivery agent would.
inline void DeliverToMaildir(const std::string& maildir, const std::string& message) {
  static std::atomic<int> counter{0};
  std::string name = std::to_string(::getpid()) + "N" + std::to_string(counter++) + ".corvelle-test";
  std::ofstream(fs::path(maildir) / "tmp" / name, std::ios::binary) << message;
  ::chmod((fs::path(maildir) / "tmp" / name).c_str(), 0666);  // run as root, the servers work as another user
  fs::rename(fs::path(maildir) / "tmp" / name, fs::path(maildir) / "new" / name);
}

class SandboxMail : public TransferFixture {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(FindSandbox(sandbox, why)) << why;
    NewUser();
    MailSettings.SendServer = MailSettings.MailServer = sandbox.host;
    MailSettings.SendPort = sandbox.smtp_port;
    MailSettings.MailPort = sandbox.pop3_port;
    MailSettings.PassWord = EncodePassword(sandbox.password);
    // The sandbox's plain POP3 port, allowed a password in clear before.
    MailSettings.Secure.ClearPasswordServers.insert(sandbox.host + ":" + sandbox.pop3_port);
  }
  // A user of the sandbox that no other test (or earlier run) uses, with its empty Maildir.
  void NewUser() {
    static std::atomic<int> counter{0};
    user = "t" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    std::string home = sandbox.mail_root + "/" + user;
    maildir = home + "/Maildir";
    fs::remove_all(home);
    for (const std::string& folder : {home, maildir, maildir + "/tmp", maildir + "/new", maildir + "/cur"}) {
      fs::create_directories(folder);
      ::chmod(folder.c_str(), 0777);  // run as root, the servers work as another user
    }
    MailSettings.UserName = user;
  }
  void Fetch() {
    TGetMail mail(Context());
    mail.InitStatus(&status);
    fetching = &mail;
    mail.GetNewMail(received, skipped);
    error_flag = mail.ErrorFlag;
    fetching = nullptr;
  }
  std::string To() const { return "To: " + user + "@sandbox.invalid\r\n"; }

  Sandbox sandbox;
  std::string user, maildir;
  TGetMail* fetching = nullptr;
  int received = -1, skipped = -1;
  bool error_flag = true;
};

}  // namespace corvelle::testing
