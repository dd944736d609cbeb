// Fetches a whole POP3 mailbox into a fresh mail directory with TGetMail, or (send) sends
// every ".out" file of MAIL_DIR/Spool with TSendMail over one connection to the SMTP server
// at HOST PORT, and prints how long it took. bench/pop3-retrieve runs it against the
// sandbox, next to other clients. "file" deletes on the server and files as Get / Send All
// does: straight into the folders the rules of the settings file choose while retrieving,
// then the filtering pass over what stayed in the spool folder.
//
//   pop3_retrieve HOST PORT USER PASSWORD MAIL_DIR [keep|delete|send|file] [tls]
//
// With "tls", PORT speaks TLS from the start (the CA file in CORVELLE_TLS_CA_FILE).

#include <chrono>
#include <cstdio>
#include <string>

#include "core/filters/direct_filing.h"
#include "core/filters/mail_filter.h"
#include "core/store/mail_store.h"
#include "core/store/mail_dirs.h"
#include "core/settings/settings.h"
#include "net/pop3/get_mail.h"
#include "net/transfer/send_run.h"
#include "core/user_interface.h"

namespace {
// The settings this driver runs with, and nobody to ask.
corvelle::Settings MailSettings;
corvelle::SilentUserInterface silent_ui;
}  // namespace


int main(int argc, char** argv) {
  using namespace corvelle;
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s HOST PORT USER PASSWORD MAIL_DIR [keep|delete|send|file] [tls]\n", argv[0]);
    return 2;
  }
  std::string mail_dir = argv[5];
  if (mail_dir.back() != '/') mail_dir += '/';
  MailSettings.MailDirectory = mail_dir;
  MailSettings.DefaultMailFolder = "Inbox";
  MailSettings.MailServer = MailSettings.SendServer = argv[1];
  MailSettings.MailPort = MailSettings.SendPort = argv[2];
  MailSettings.MailAddress = std::string(argv[3]) + "@bench.invalid";
  MailSettings.UserName = argv[3];
  MailSettings.PassWord = EncodePassword(argv[4]);
  MailSettings.Secure.MailSecurity = SecurityText(argc > 7 && std::string(argv[7]) == "tls" ? Security::kTls
                                                                                          : Security::kNone);
  // The driver's server is the sandbox on loopback: its password may go in clear unasked.
  MailSettings.Secure.ClearPasswordServers.insert(MailSettings.MailServer + ":" + MailSettings.MailPort);
  const std::string mode = argc > 6 ? argv[6] : "keep";
  MailSettings.LeaveMailOnServer = mode != "delete" && mode != "file";
  if (!StoreOf(MailSettings).CheckMailDirs(MailSettings.DefaultMailFolder, true, true, false)) {
    std::fprintf(stderr, "cannot make the mail directory %s\n", mail_dir.c_str());
    return 1;
  }

  auto start = std::chrono::steady_clock::now();
  if (argc > 6 && std::string(argv[6]) == "send") {
    SendRun sender(MakeTransferContext(silent_ui, MailSettings));
    int sent = sender.SendOutGoingMail();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("sent %d seconds %.3f\n", sent, seconds);
    return sender.SendMail1.ErrorFlag ? 1 : 0;
  }
  TGetMail mail(MakeTransferContext(silent_ui, MailSettings));
  int received = 0, skipped = 0, left = 0;
  if (mode == "file") {
    const MailStore store = StoreOf(MailSettings);
    TMailFilter filter;
    DirectFiling direct(filter.Rules(), store, MailSettings.DefaultMailFolder, {});
    mail.FileDirectly = [&direct](const std::vector<std::string>& lines, bool whole, const std::string& spool_name) {
      return direct.Target(lines, whole, spool_name);
    };
    mail.GetNewMail(received, skipped);
    filter.FiledAhead(mail.TakeFiledDirectly());
    left = filter.FilterMail(store, MailSettings.DefaultMailFolder, silent_ui);
  } else {
    mail.GetNewMail(received, skipped);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf("received %d skipped %d error %d seconds %.3f messages/s %.0f\n", received, skipped,
              mail.ErrorFlag ? 1 : 0, seconds, received / (seconds > 0 ? seconds : 1e-9));
  return (mail.ErrorFlag || skipped > 0 || left > 0) ? 1 : 0;
}
