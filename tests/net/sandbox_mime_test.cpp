// A MIME message written by a composition travels through the sandbox's SMTP and POP3
// servers and is read back by Python's email package: subject, text and attachment bytes
// are the ones that were sent.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "core/compose/outgoing_message.h"
#include "net/smtp/send_mail.h"
#include "net/support/sandbox_fixture.h"

namespace corvelle {
namespace {

using testing::SandboxMail;
using testing::Strings;

std::string Hex(const std::string& bytes) {
  static const char* kDigits = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) hex += std::string{kDigits[c >> 4], kDigits[c & 15]};
  return hex;
}

// Subject, text, then "name payload" per attachment, each in hex, as Python reads the file.
Strings ReadWithPython(const std::string& path) {
  const std::string script =
      "import sys, email\n"
      "from email import policy\n"
      "m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=policy.default)\n"
      "print(str(m['subject']).encode().hex())\n"
      "print(m.get_body(preferencelist=('plain',)).get_content().rstrip('\\n').encode().hex())\n"
      "for p in m.iter_attachments(): print(p.get_filename().encode().hex(), p.get_payload(decode=True).hex())\n";
  testing::WriteFile(path + ".py", script);
  std::unique_ptr<FILE, int (*)(FILE*)> run(::popen(("python3 '" + path + ".py' '" + path + "' 2>&1").c_str(), "r"),
                                            ::pclose);
  Strings lines;
  std::string line;
  for (int c; run && (c = std::fgetc(run.get())) != EOF;) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    lines.push_back(line);
    line.clear();
  }
  return lines;
}

TEST_F(SandboxMail, MimeMessageWithAttachmentsReadsBackInPython) {
  OutgoingFields fields;
  fields.to = {user + "@sandbox.invalid"};
  fields.subject = "Gr\xc3\xbc\xc3\x9f" "e aus K\xc3\xb6ln";
  fields.my_name = "J\xc3\xb6rg";
  fields.mail_address = "j@x";
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary += static_cast<char>(i * 31 + i / 256);
  fields.attachments = {{"r\xc3\xa9sum\xc3\xa9.pdf", "application/pdf", binary}, {"notes.txt", "text/plain", "a\r\nb\r\n"}};
  const std::string text = "Hallo K\xc3\xb6ln\n.\n" + std::string(1200, 'z');
  Strings lines = BuildOutgoingLines(fields, {"Hallo K\xc3\xb6ln", ".", std::string(1200, 'z')});

  ASSERT_EQ(NewSender(20)->SendOneMailMessage("", &lines), SendResult::kDelivered);
  Fetch();
  ASSERT_EQ(received, 1);
  const std::string path = mail_dir + "Spool/" + Names("Spool").at(0);
  EXPECT_EQ(ReadWithPython(path), (Strings{Hex(fields.subject), Hex(text),
                                           Hex(fields.attachments[0].name) + " " + Hex(binary),
                                           Hex("notes.txt") + " " + Hex("a\r\nb\r\n")}));
}

}  // namespace
}  // namespace corvelle
