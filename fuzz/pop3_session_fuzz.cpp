// A whole retrieval against a server that says whatever the fuzzer says: greeting, login,
// STAT, UIDL and RETR replies, message lines. No crash, no hang, and nothing but complete
// ".new" files left in the spool folder.

#include <filesystem>

#include "core/settings/settings.h"
#include "core/store/mail_dirs.h"
#include "fuzz_support.h"
#include "net/pop3/get_mail.h"
#include "net/pop3/pop3_reply.h"
#include "net/sasl/oauth_sasl.h"
#include "core/user_interface.h"

namespace {
// The settings this driver runs with, and nobody to ask.
corvelle::Settings MailSettings;
corvelle::SilentUserInterface silent_ui;
}  // namespace


using namespace corvelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input = fuzz::Bytes(data, size);
  // The reply parsers on their own, on the whole input.
  int number = 0;
  std::string id(input), line(input);
  StatCount(input);
  RetrReplySize(input);
  ParseUidlLine(input, number, id);
  CapabilityLineNames(input, "PIPELINING");
  UnstuffLine(line);
  ChallengeStatus(input);  // a refused token's challenge: base64 JSON, as the server likes

  static const bool ready = [] {
    MailSettings.MailDirectory = fuzz::Scratch() + "pop3/";
    MailSettings.MailServer = "pop.example";
    MailSettings.UserName = "joe";
    MailSettings.PassWord = EncodePassword("secret");
    return StoreOf(MailSettings).CheckMailDirs(MailSettings.DefaultMailFolder, true, true, false);
  }();
  if (!ready) return 0;
  MailSettings.LeaveMailOnServer = size % 2 == 1;
  TransferContext context = MakeTransferContext(silent_ui, MailSettings);
  context.transport = [input] { return std::make_unique<fuzz::InputTransport>(input); };
  {
    TGetMail mail(context);
    mail.Channel().Timeout = 1;
    int received = 0, skipped = 0;
    mail.GetNewMail(received, skipped);
  }
  std::filesystem::remove_all(MailSettings.MailDirectory + "Spool");
  std::filesystem::create_directory(MailSettings.MailDirectory + "Spool");
  return 0;
}
