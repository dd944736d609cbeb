// A composition to the nickname of a group, through the sandbox's SMTP server: the nickname
// expands as the recipient dialog expands it, and every member gets one RCPT, whatever
// commas the full names hold.

#include <gtest/gtest.h>

#include <fstream>

#include "core/books/address_book.h"
#include "core/compose/outgoing_message.h"
#include "core/settings/settings.h"
#include "core/store/addresses.h"
#include "net/support/sandbox_fixture.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

using testing::SandboxMail;
using testing::Strings;

TEST_F(SandboxMail, AGroupNicknameSendsOneRcptPerMember) {
  const std::string me = user + "@sandbox.invalid";
  ASSERT_TRUE(SaveAddressBook(MailSettings.DefaultABPath,
                              {{"crew", "Smith, Crew", "(" + me + ",other@sandbox.invalid,vd)"},
                               {"vd", "van Dyke, Ann", "ann@sandbox.invalid"}}));
  OutgoingFields fields;
  ASSERT_TRUE(ExpandName(ui, MailSettings, "crew", fields.to));
  for (size_t i = 0; i + 1 < fields.to.size(); ++i) fields.to[i] += ",";  // as an address line holds them
  EXPECT_EQ(fields.to, (Strings{"\"Smith, Crew\" <" + me + ">,", "other@sandbox.invalid,",
                                "\"van Dyke, Ann\" <ann@sandbox.invalid>"}));
  fields.subject = "crew";
  fields.my_name = "Self";
  fields.mail_address = "self@site";

  std::vector<std::string> lines = BuildOutgoingLines(fields, {"hello"});
  EXPECT_EQ(NewSender(20)->SendOneMailMessage("", &lines), SendResult::kDelivered);

  EXPECT_EQ(ui.Texts(), Strings{});
  std::ifstream log(sandbox.deliveries);
  std::string line;
  while (std::getline(log, line) && line.find(me) == std::string::npos) continue;
  EXPECT_NE(line.find("\"rcpt_tos\": [\"" + me + "\", \"other@sandbox.invalid\", \"ann@sandbox.invalid\"]"),
            std::string::npos)
      << line;
}

}  // namespace
}  // namespace corvelle
