#include "core/addresses.h"

#include <gtest/gtest.h>

#include "core/settings.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using testing::WriteFile;
using Lines = std::vector<std::string>;

TEST(AddressesTest, TrimBlanks) {
  EXPECT_EQ(TrimBlanks("\t  x\t"), "x");
  EXPECT_EQ(TrimBlanks(" \t "), "");
  EXPECT_EQ(TrimBlanks(" a b "), "a b");
  EXPECT_EQ(TrimBlanks("  " + std::string(254, 'x') + " y"), std::string(254, 'x')) << "at most 255 kept";
}

TEST(AddressesTest, ExtractAddress) {
  struct Row {
    const char* name;
    std::string text, address;
  } rows[] = {
      {"angle brackets", "Ann Lee <user@host>", "user@host"},
      {"only brackets", "<user@host>", "user@host"},
      {"untrimmed inside", "< user@host >", " user@host "},
      {"comment", "user@host (Ann Lee)", "user@host"},
      {"plain", "  user@host ", "user@host"},
      {"nested comment", "user@host (Ann (Lee))", "user@host )"},
      {"comment first", "(Ann) user@host", "user@host"},
      {"no opening bracket", "user@host>", "user@host"},
      {"brackets reversed", "x> <y", "x> <y"},
      {"parentheses reversed", "a) (b", "a) (b"},
      {"empty", "", ""},
      {"long display name", std::string(300, 'n') + " <user@host>", "user@host"},
  };
  for (const Row& row : rows) EXPECT_EQ(ExtractAddress(row.text), row.address) << row.name;
  EXPECT_TRUE(IsPlainAddress("user@host"));
  EXPECT_TRUE(IsPlainAddress("bob\tx"));
  for (const char* text : {"a b", "<a", "a>", "(a", "a)"}) EXPECT_FALSE(IsPlainAddress(text)) << text;
}

TEST(AddressesTest, SplitAddressList) {
  Lines list = {"stale"};
  SplitAddressList(list, "a, b ,c");
  EXPECT_EQ(list, (Lines{"a,", "b,", "c"}));
  SplitAddressList(list, "");
  EXPECT_EQ(list, Lines{});
  SplitAddressList(list, "\"Lee, Ann\" <a@b>,");
  EXPECT_EQ(list, (Lines{"\"Lee,", "Ann\" <a@b>,"}));
}

class ExpandTest : public testing::MailFixture {
 protected:
  void Book(const std::string& text) { WriteFile(MailSettings.DefaultABPath, text); }
};

TEST_F(ExpandTest, SingleAddresses) {
  Lines book = {"ann\tLee, Ann\tann@host", "ann\tSecond\tsecond@host", "van\tvan Dyke, Ann\tvan@host",
                "bare\t\tbare@host", "nofull\tnofull@host"};
  Lines out = {"stale"};
  EXPECT_TRUE(ExpandAlias("ANN", out, book));
  EXPECT_EQ(out, Lines{"Ann Lee <ann@host>"}) << "the first line wins";
  EXPECT_TRUE(ExpandAlias("van", out, book));
  EXPECT_EQ(out, Lines{"van Dyke, Ann <van@host>"});
  EXPECT_TRUE(ExpandAlias("bare", out, book));
  EXPECT_EQ(out, Lines{" <bare@host>"});
  EXPECT_TRUE(ExpandAlias("nofull", out, book));
  EXPECT_EQ(out, Lines{" <nofull@host>"});
  EXPECT_FALSE(ExpandAlias("nobody", out, book));
  EXPECT_EQ(out, Lines{});
  EXPECT_FALSE(ExpandAlias("", out, {"\tx\ty", "no tabs"}));
}

TEST_F(ExpandTest, GroupsWithLocalUsers) {
  Lines book = {"team\tTeam\t(user@host,bob)"};
  Lines out;
  EXPECT_TRUE(ExpandAlias("team", out, book));
  EXPECT_EQ(out, (Lines{"Team <user@host>", "bob@site"}));
  EXPECT_TRUE(ui.boxes.empty());

  MailSettings.MailAddress = "self";
  EXPECT_TRUE(ExpandAlias("team", out, book));
  EXPECT_EQ(out, (Lines{"Team <user@host>", "bob"}));
  EXPECT_EQ(ui.Texts(), Lines{"Cannot add email address bob without destination name (user@destination)."});
}

TEST_F(ExpandTest, GroupMembersFromTheDefaultBook) {
  Book("ann\tAnn Lee\tann@host\r\nduo\t\t(x@host,ann)\r\n");
  Lines book = {"team\tTeam\t(duo, Carl <c@host>,,ann)", "ann\tNot This\tnot@host"};
  Lines out;
  EXPECT_TRUE(ExpandAlias("team", out, book));
  EXPECT_EQ(out, (Lines{"Team <x@host>", "Ann Lee <ann@host>", "Carl <c@host>"}))
      << "members trimmed, empty ones skipped, a nickname met twice added once";

  Lines untouched = {"kept"};
  EXPECT_FALSE(ExpandName("nobody", untouched));
  EXPECT_TRUE(ExpandName("duo", out));
  EXPECT_EQ(out, (Lines{"x@host", "Ann Lee <ann@host>"}));
  MailSettings.DefaultABPath += ".missing";
  untouched = {"kept"};
  EXPECT_FALSE(ExpandName("duo", untouched));
  EXPECT_EQ(untouched, Lines{"kept"});
}

TEST_F(ExpandTest, SelfReferencingGroupsEnd) {
  Book("a\tA\t(a,b,x@host)\nb\tB\t(b@host,a,c)\nc\t\tc@host\n");
  Lines out;
  EXPECT_TRUE(ExpandName("a", out));
  EXPECT_EQ(out, (Lines{"A - B <b@host>", " <c@host>", "x@host"}));
  EXPECT_TRUE(ExpandAlias("loop", out, {"loop\tLoop\t(loop,loop)"}));
  EXPECT_EQ(out, Lines{});
  EXPECT_TRUE(ui.boxes.empty());

  // Each group names the next: the expansion stops deep down instead of overflowing the stack.
  std::string chain;
  for (int i = 0; i < 20000; ++i)
    chain += "g" + std::to_string(i) + "\t\t(g" + std::to_string(i + 1) + ",m" + std::to_string(i) + "@host)\n";
  Book(chain);
  EXPECT_TRUE(ExpandName("g0", out));
  EXPECT_LT(out.size(), 100u);
  EXPECT_EQ(out.back(), "m0@host");
}

TEST_F(ExpandTest, FromAddressOfAFile) {
  std::string file = mail_dir + "m.mail";
  WriteFile(file, "Subject: s\r\nFROM:x\r\nFrom: Ann <ann@host>\r\n");
  EXPECT_EQ(GetFromAddress(file), "x");
  WriteFile(file, "Subject: s\n\nbody\nfrom: Ann <ann@host>\n");
  EXPECT_EQ(GetFromAddress(file), "ann@host") << "the search goes on into the body";
  WriteFile(file, "Subject: s\r\n");
  EXPECT_EQ(GetFromAddress(file), "");
  EXPECT_EQ(GetFromAddress(mail_dir + "missing"), "");
}

}  // namespace
}  // namespace corvelle
