#include "core/browse/new_mail_count.h"

#include <gtest/gtest.h>

#include "core/store/mail_store.h"
#include "platform/paths.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

TEST(NewMailCount, CountsUnreadFilesInMailFoldersOnly) {
  testing::TempDir dir;
  std::string root = dir.path();
  for (const char* folder : {"Inbox/Lists", "Spool", "Postponed", "System"}) MakeFolders(root + folder);
  for (const char* file : {"Inbox/a.newmail", "Inbox/b.NEWMAIL", "Inbox/c.mail", "Inbox/Lists/d.newmail",
                           "Spool/e.newmail", "Postponed/f.newmail", "System/g.newmail", "Inbox/.newmail"})
    testing::WriteFile(root + file, "x");
  MakeFolders(root + "Inbox/x.newmail");  // a folder is no message

  EXPECT_EQ(CountNewMessages(root + "Inbox/"), 2);
  EXPECT_EQ(CountAllNewMessages(MailStore(root)), 3);
  EXPECT_EQ(CountAllNewMessages(MailStore()), 0);
}

}  // namespace
}  // namespace corvelle
