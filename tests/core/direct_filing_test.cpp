// Which retrieved messages may be filed straight at their commit, and where: the folder the
// filtering pass would choose, from the whole message or its header alone, else the spool.

#include <gtest/gtest.h>

#include "core/filters/direct_filing.h"
#include "platform/paths.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

using Lines = std::vector<std::string>;

TEST(DirectFilingTest, OneFolderFromTheHeaderAloneElseTheSpool) {
  testing::TempDir dir;
  const MailStore store(dir.path());
  const std::vector<FilterRule> rules = {
      {{{"From", "boss"}}, "\"Boss\""},
      {{{"Subject", "both"}}, "\"A\",\"B\""},
      {{{"*Message Text*", "invoice"}}, "\"Invoices\""},
      {{{"From", "late"}}, "\"Late\""},
  };
  DirectFiling direct(rules, store, "Inbox", {});
  struct Row {
    const char* name;
    Lines header;
    std::string folder;  // "" for the spool
  } rows[] = {
      {"a header rule before the text rule", {"From: The Boss <boss@x>", "Subject: Hi", ""}, "Boss"},
      {"copies into several folders", {"From: a@x", "Subject: both", ""}, ""},
      {"a rule after the text rule", {"From: late@x", ""}, ""},
      {"no header rule takes it", {"From: a@x", ""}, ""},
      {"an empty message", {""}, ""},
  };
  for (const Row& row : rows) {
    DirectTarget target = direct.Target(row.header, false, "0.new");
    EXPECT_EQ(target.target, row.folder.empty() ? "" : store.FiledTarget(row.folder, "0.new", row.header)) << row.name;
  }
  EXPECT_TRUE(EntryExists(store.FolderPath("Boss")));
  EXPECT_EQ(direct.Target(rows[0].header, false, "0.new").subject, "Hi");

  // A whole message is matched by every rule, the text ones too.
  const Lines invoice = {"From: late@x", "", "the invoice"}, late = {"From: late@x", "", "hello"};
  EXPECT_EQ(direct.Target(invoice, true, "0.new").target, store.FiledTarget("Invoices", "0.new", invoice));
  EXPECT_EQ(direct.Target(late, true, "0.new").target, store.FiledTarget("Late", "0.new", late));
  EXPECT_EQ(direct.Target({"Subject: both", "", "x"}, true, "0.new").target, "");
}

TEST(DirectFilingTest, WithoutATextRuleMailNoRuleTakesGoesToTheDefaultFolder) {
  testing::TempDir dir;
  const MailStore store(dir.path());
  DirectFiling direct({{{{"To", "nobody"}}, "\"Other\""}}, store, "Inbox", {});
  const Lines header = {"From: a@x", "Subject: =?UTF-8?Q?caf=C3=A9?=", ""};
  DirectTarget target = direct.Target(header, false, "0.new");
  EXPECT_EQ(target.target, store.FiledTarget(store.Root() + "Inbox", "0.new", header));
  EXPECT_EQ(target.subject, "caf\xC3\xA9");
}

}  // namespace
}  // namespace corvelle
