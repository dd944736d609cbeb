#include "core/store/addresses.h"

#include <gtest/gtest.h>

#include "core/settings/settings.h"
#include "support/mail_fixture.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

using testing::WriteFile;
using Lines = std::vector<std::string>;

TEST(AddressesTest, ExtractTrimAndSplit) {
  std::pair<std::string, std::string> rows[] = {  // text, address
      {"Ann Lee <user@host>", "user@host"}, {"<user@host>", "user@host"},   {"< user@host >", " user@host "},
      {"user@host (Ann Lee)", "user@host"}, {"  user@host ", "user@host"},  {"user@host (Ann (Lee))", "user@host )"},
      {"(Ann) user@host", "user@host"},     {"user@host>", "user@host"},    {"x> <y", "x> <y"},
      {"a) (b", "a) (b"},                   {"", ""},                       {std::string(300, 'n') + " <u@h>", "u@h"}};
  for (const auto& [text, address] : rows) EXPECT_EQ(ExtractAddress(text), address) << text;
  EXPECT_TRUE(IsPlainAddress("bob\tx"));
  for (const char* text : {"a b", "<a", "a>", "(a", "a)"}) EXPECT_FALSE(IsPlainAddress(text)) << text;
  EXPECT_EQ(TrimBlanks("\t  x\t") + TrimBlanks(" \t ") + TrimBlanks(" a b "), "xa b");
  EXPECT_EQ(TrimBlanks("  " + std::string(254, 'x') + " y"), std::string(254, 'x')) << "at most 255 kept";
}

// One splitter for every address list: a comma splits only outside a quoted name, angle
// brackets and a comment.
TEST(AddressesTest, ListsSplitOnlyAtCommasBetweenAddresses) {
  std::pair<std::string, Lines> rows[] = {
      {"a, b ,c", {"a,", "b,", "c"}},
      {"", {}},
      {"\"Doe, John\" <john@example.com>", {"\"Doe, John\" <john@example.com>"}},
      {"\"Lee, Ann\" <a@b>, c@d,", {"\"Lee, Ann\" <a@b>,", "c@d,"}},
      {"\"A \\\", B\" <a@x>, b@y", {"\"A \\\", B\" <a@x>,", "b@y"}},
      {"a@x (Doe, J (the, elder)), b@y", {"a@x (Doe, J (the, elder)),", "b@y"}},
      {"Odd <\"a,b\"@x>, c@y", {"Odd <\"a,b\"@x>,", "c@y"}},
      {"a@x (it's \"quoted), b@y", {"a@x (it's \"quoted),", "b@y"}},
      {" , a@x,, ,", {"a@x,"}},
      {"\"never closed, a@x", {"\"never closed, a@x"}},
  };
  for (Lines list = {"stale"}; const auto& [text, lines] : rows) {
    SplitAddressList(list, text);
    EXPECT_EQ(list, lines) << text;
  }
}

class ExpandTest : public testing::MailFixture {
 protected:
  void Book(const std::string& text) { WriteFile(MailSettings.DefaultABPath, text); }
};

TEST_F(ExpandTest, SingleAddresses) {
  Lines book = {"ann\tLee, Ann\tann@host", "ann\tSecond\tsecond@host", "van\tvan Dyke, Ann\tvan@host",
                "bare\t\tbare@host", "nofull\tnofull@host"};
  std::pair<std::string, std::string> rows[] = {
      {"ANN", "Ann Lee <ann@host>"}, {"van", "\"van Dyke, Ann\" <van@host>"}, {"bare", " <bare@host>"},
      {"nofull", " <nofull@host>"}};  // the first line of a nickname wins
  for (const auto& [nickname, address] : rows) {
    Lines out = {"stale"};
    EXPECT_TRUE(ExpandAlias(ui, MailSettings, nickname, out, book));
    EXPECT_EQ(out, Lines{address}) << nickname;
  }
  Lines out = {"stale"};
  EXPECT_FALSE(ExpandAlias(ui, MailSettings, "nobody", out, book) || !out.empty() ||
               ExpandAlias(ui, MailSettings, "", out, {"\tx\ty", "no tabs"}));
}

TEST_F(ExpandTest, GroupsWithLocalUsersAndMembersFromTheDefaultBook) {
  Lines out;
  EXPECT_TRUE(ExpandAlias(ui, MailSettings, "team", out, {"team\tTeam\t(user@host,bob)"}));
  EXPECT_EQ(out, (Lines{"Team <user@host>", "bob@site"}));
  EXPECT_TRUE(ExpandAlias(ui, MailSettings, "q", out, {"q\tSmith, \"J\"\t(j@host)"}));
  EXPECT_EQ(out, Lines{"\"Smith, \\\"J\\\"\" <j@host>"}) << "a comma or a quote in a name is quoted";
  MailSettings.MailAddress = "self";
  EXPECT_TRUE(ExpandAlias(ui, MailSettings, "team", out, {"team\tTeam\t(user@host,bob)"}));
  EXPECT_EQ(out, (Lines{"Team <user@host>", "bob"}));
  EXPECT_EQ(ui.Texts(), Lines{"Cannot add email address bob without destination name (user@destination)."});

  Book("ann\tAnn Lee\tann@host\r\nduo\t\t(x@host,ann)\r\n");
  EXPECT_TRUE(ExpandAlias(ui, MailSettings, "team", out, {"team\tTeam\t(duo, Carl <c@host>,,ann)", "ann\tNot This\tnot@host"}));
  EXPECT_EQ(out, (Lines{"Team <x@host>", "Ann Lee <ann@host>", "Carl <c@host>"}))
      << "members trimmed, empty ones skipped, a nickname met twice added once";
  EXPECT_TRUE(ExpandName(ui, MailSettings, "duo", out));
  EXPECT_EQ(out, (Lines{"x@host", "Ann Lee <ann@host>"}));
  MailSettings.DefaultABPath += ".missing";
  Lines untouched = {"kept"};
  EXPECT_FALSE(ExpandName(ui, MailSettings, "duo", untouched));
  EXPECT_EQ(untouched, Lines{"kept"});
}

TEST_F(ExpandTest, SelfReferencingGroupsEnd) {
  Book("a\tA\t(a,b,x@host)\nb\tB\t(b@host,a,c)\nc\t\tc@host\n");
  Lines out;
  EXPECT_TRUE(ExpandName(ui, MailSettings, "a", out));
  EXPECT_EQ(out, (Lines{"A - B <b@host>", " <c@host>", "x@host"}));
  EXPECT_TRUE(ExpandAlias(ui, MailSettings, "loop", out, {"loop\tLoop\t(loop,loop)"}) && out.empty() && ui.boxes.empty());
  // Each group names the next: the expansion stops deep down instead of overflowing the stack.
  std::string chain;
  for (int i = 0; i < 20000; ++i)
    chain += "g" + std::to_string(i) + "\t\t(g" + std::to_string(i + 1) + ",m" + std::to_string(i) + "@host)\n";
  Book(chain);
  EXPECT_TRUE(ExpandName(ui, MailSettings, "g0", out));
  EXPECT_LT(out.size(), 100u);
  EXPECT_EQ(out.back(), "m0@host");
}

TEST_F(ExpandTest, FromAddressOfAFile) {
  std::pair<std::string, std::string> rows[] = {
      {"Subject: s\r\nFROM:x\r\nFrom: Ann <ann@host>\r\n", "x"},
      {"Subject: s\n\nbody\nfrom: Ann <ann@host>\n", "ann@host"},  // the search goes on into the body
      {"Subject: s\r\n", ""},
      {"From: \"Doe, John\"\r\n\t<john@example.com>\r\n", "john@example.com"},
      {"From: a@x (Doe, J), b@y\r\n", "a@x"},
      {"From: , Ann\n <ann@host>, b@y\nSubject: s\n", "ann@host"}};
  for (const auto& [text, address] : rows) {
    WriteFile(mail_dir + "m.mail", text);
    EXPECT_EQ(GetFromAddress(mail_dir + "m.mail"), address) << text;
  }
  EXPECT_EQ(GetFromAddress(mail_dir + "missing"), "");
}

}  // namespace
}  // namespace corvelle
