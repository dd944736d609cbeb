// Fetches a whole POP3 mailbox into a fresh mail directory with TGetMail and prints how long
// it took. bench/pop3-retrieve runs it against the sandbox's Dovecot, next to other clients.
//
//   pop3_retrieve HOST PORT USER PASSWORD MAIL_DIR [keep|delete] [tls]
//
// With "tls", PORT speaks TLS from the start (the CA file in CORVELLE_TLS_CA_FILE).

#include <chrono>
#include <cstdio>
#include <string>

#include "core/store/mail_dirs.h"
#include "core/settings/settings.h"
#include "net/pop3/get_mail.h"

int main(int argc, char** argv) {
  using namespace corvelle;
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s HOST PORT USER PASSWORD MAIL_DIR [keep|delete] [tls]\n", argv[0]);
    return 2;
  }
  std::string mail_dir = argv[5];
  if (mail_dir.back() != '/') mail_dir += '/';
  MailSettings.MailDirectory = mail_dir;
  MailSettings.DefaultMailFolder = "Inbox";
  MailSettings.MailServer = argv[1];
  MailSettings.MailPort = argv[2];
  MailSettings.UserName = argv[3];
  MailSettings.PassWord = EncodePassword(argv[4]);
  MailSettings.Secure.MailSecurity = SecurityText(argc > 7 && std::string(argv[7]) == "tls" ? Security::kTls
                                                                                          : Security::kNone);
  MailSettings.LeaveMailOnServer = (argc > 6 && std::string(argv[6]) == "delete") ? "0" : "1";
  if (!CheckMailDirs(true, true, false)) {
    std::fprintf(stderr, "cannot make the mail directory %s\n", mail_dir.c_str());
    return 1;
  }

  auto start = std::chrono::steady_clock::now();
  TGetMail mail;
  int received = 0, skipped = 0;
  mail.GetNewMail(received, skipped);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf("received %d skipped %d error %d seconds %.3f messages/s %.0f\n", received, skipped,
              mail.ErrorFlag ? 1 : 0, seconds, received / (seconds > 0 ? seconds : 1e-9));
  return (mail.ErrorFlag || skipped > 0) ? 1 : 0;
}
