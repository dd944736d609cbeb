// Sending a spooled message to a server that answers whatever the fuzzer says, and the
// pieces that build what goes on the wire from outside text. No crash, no hang.

#include <filesystem>
#include <fstream>

#include "core/settings/settings.h"
#include "core/store/mail_dirs.h"
#include "fuzz_support.h"
#include "net/smtp/smtp_reply.h"
#include "net/smtp/smtp_text.h"
#include "net/transfer/send_run.h"
#include "core/user_interface.h"

namespace {
// The settings this driver runs with, and nobody to ask.
corvelle::Settings MailSettings;
corvelle::SilentUserInterface silent_ui;
}  // namespace


using namespace corvelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input = fuzz::Bytes(data, size);
  ReplyAccepted(input, "250");
  HeloArgument(input);
  IsSendableAddress(input);
  ForEachDataLine(input, [](std::string_view) {});

  static const bool ready = [] {
    MailSettings.MailDirectory = fuzz::Scratch() + "smtp/";
    MailSettings.SendServer = "smtp.example";
    MailSettings.MailAddress = "joe@example";
    return StoreOf(MailSettings).CheckMailDirs(MailSettings.DefaultMailFolder, true, true, false);
  }();
  if (!ready) return 0;
  const std::string spool = MailSettings.MailDirectory + "Spool/";
  std::ofstream(spool + "0.out", std::ios::binary) << "To: ann@example, Bob <bob@example>\r\nSubject: s\r\n\r\n.\r\nbody\r\n";
  TransferContext context = MakeTransferContext(silent_ui, MailSettings);
  context.transport = [input] { return std::make_unique<fuzz::InputTransport>(input); };
  {
    SendRun mail(context);
    mail.SendMail1.Channel().Timeout = 1;
    mail.SendOutGoingMail();
  }
  for (const char* folder : {"Spool", "Sent Mail", "Postponed"}) {
    std::filesystem::remove_all(MailSettings.MailDirectory + folder);
    std::filesystem::create_directory(MailSettings.MailDirectory + folder);
  }
  return 0;
}
