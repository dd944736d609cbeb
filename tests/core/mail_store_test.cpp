#include "core/store/mail_store.h"

#include <gtest/gtest.h>

#include "core/store/file_message.h"
#include "core/user_interface.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

using testing::ListNames;
using testing::TempDir;
using testing::WriteFile;
using Names = std::vector<std::string>;

// Two stores side by side: each files into its own tree and names files by its own choice,
// whatever the other one holds.
TEST(MailStore, TwoStoresFileIntoTheirOwnTrees) {
  TempDir config, first_root, second_root;
  testing::ScopedEnv config_env("XDG_CONFIG_HOME", config.path());
  SilentUserInterface ui;
  const MailStore decoding(first_root.path() + "Mail", true), raw(second_root.path() + "Mail", false);
  const Names header = {"Subject: =?UTF-8?Q?Caf=C3=A9?=", "From: a@b", ""};
  for (const MailStore* store : {&decoding, &raw}) {
    ASSERT_TRUE(store->CheckMailDirs("Inbox", true, true, false));
    WriteFile(store->Spool() + "1.new", "x");
    EXPECT_TRUE(store->FileMessage(ui, "\"Inbox\"", "Spool", "1.new", header, false));
  }
  for (const MailStore* store : {&decoding, &raw}) {
    Names filed = ListNames(store->FolderPath("Inbox"));
    ASSERT_EQ(filed.size(), 1u) << store->Root();
    EXPECT_EQ(filed[0].rfind(store == &decoding ? "Caf\xc3\xa9" : "=-UTF-8-Q-Caf=C3=A9-=", 0), 0u) << filed[0];
    EXPECT_EQ(ListNames(store->Spool()), Names{}) << store->Root();
  }
  EXPECT_TRUE(decoding.InPostponed(decoding.Postponed() + "a.mail") &&
              !raw.InPostponed(decoding.Postponed() + "a.mail"));
}

}  // namespace
}  // namespace corvelle
