// What the mailbox window reads without Qt: entries from file names, the folder listing,
// the Date fields read once, and deleting several messages after one question.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/browse/date_cache.h"
#include "core/browse/folder_listing.h"
#include "core/browse/message_entry.h"
#include "core/messages/delete_messages.h"
#include "core/mime/date_field.h"
#include "platform/paths.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

std::string Padded(std::string text, size_t width) {
  text.resize(width, ' ');
  return text;
}

TEST(MessageEntry, ReadsSubjectAndPartyFromTheName) {
  const std::string filed = Padded("Lunch", 50) + Padded("Bob Example (bob@example,org)", 30);
  // "é" is two bytes but one character: the subject is cut after 50 characters.
  const std::string accented = Padded("Caf\xC3\xA9 tomorrow", 51) + Padded("Zo\xC3\xAB", 31);
  struct Row {
    const char* what;
    std::string name;
    bool sent, postponed;
    std::string subject, party;
    MessageKind kind;
  } rows[] = {
      {"unread", filed + ".newmail", false, false, "Lunch", "Bob Example (bob@example,org)", MessageKind::kUnread},
      {"read", filed + ".mail", false, false, "Lunch", "Bob Example (bob@example,org)", MessageKind::kRead},
      {"numbered", filed + " 0.mail", false, false, "Lunch", "Bob Example (bob@example,org)", MessageKind::kRead},
      {"numbered hex", filed + "A.newmail", false, false, "Lunch", "Bob Example (bob@example,org)",
       MessageKind::kUnread},
      {"utf-8 counts characters", accented + ".mail", false, false, "Caf\xC3\xA9 tomorrow", "Zo\xC3\xAB",
       MessageKind::kRead},
      {"sent", filed + ".mail", true, false, "Lunch", "Bob Example (bob@example,org)", MessageKind::kSent},
      {"postponed", filed + ".newmail", false, true, "Lunch", "Bob Example (bob@example,org)",
       MessageKind::kPostponed},
      {"spooled", "0.out", false, false, "0", "", MessageKind::kSpooled},
      {"short name whole", "  notes from may .mail", false, false, "notes from may", "", MessageKind::kRead},
      {"no extension", "README", false, false, "README", "", MessageKind::kRead},
      {"only an extension", ".newmail", false, false, ".newmail", "", MessageKind::kRead},
      {"8-bit bytes", std::string("\xFF\xFE\x00x", 4) + ".mail", false, false, std::string("\xFF\xFE\x00x", 4), "",
       MessageKind::kRead},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    MessageEntry entry = ParseMessageName(row.name, row.sent, row.postponed);
    EXPECT_EQ(entry.subject, row.subject);
    EXPECT_EQ(entry.party, row.party);
    EXPECT_EQ(entry.kind, row.kind);
  }
  EXPECT_TRUE(IsSentFolderName("/m/Sent Mail/"));
  EXPECT_TRUE(IsSentFolderName("sent mail 2024"));
  EXPECT_FALSE(IsSentFolderName("/m/Sent Mail/Inbox"));
}

TEST(FolderListing, ListsRegularFilesWithSizeAndTime) {
  testing::TempDir dir;
  testing::WriteFile(dir.path() + "a.mail", "12345");
  testing::WriteFile(dir.path() + ".hidden", "x");
  testing::WriteFile(dir.path() + "b.mail~", "x");
  MakeFolders(dir.path() + "Sub");
  std::vector<ListedFile> files;
  std::string error;
  ASSERT_TRUE(ListFolderStats(dir.path(), files, error));
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].name, "a.mail");
  EXPECT_EQ(files[0].size, 5);
  EXPECT_GT(files[0].mtime, 0);
  EXPECT_FALSE(ListFolderStats(dir.path() + "missing/", files, error));
  EXPECT_FALSE(error.empty());
}

TEST(DateCache, ReadsTheHeaderOnceAndAgainWhenTheFileChanges) {
  testing::TempDir dir;
  const std::string path = dir.path() + "m.mail";
  testing::WriteFile(path, "Subject: x\r\nDate: Mon, 7 Dec 2026\r\n 10:00:00 +0000\r\n\r\nDate: Tue, 1 Jan 2030 00:00:00 +0000\r\n");
  DateCache cache;
  std::optional<int64_t> date = cache.Date(path, 1, 2);
  ASSERT_TRUE(date.has_value());
  EXPECT_EQ(*date, 1796637600);  // the folded field, not the body's line
  EXPECT_EQ(cache.Date(path, 1, 2), date);
  EXPECT_EQ(cache.HeadersRead(), 1);
  EXPECT_EQ(cache.Known(path, 1, 3), std::nullopt);
  cache.Date(path, 1, 3);
  EXPECT_EQ(cache.HeadersRead(), 2);

  testing::WriteFile(path, "Subject: no date\r\n\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\n");
  EXPECT_EQ(ReadDateField(path), std::nullopt);
  EXPECT_EQ(ReadDateField(dir.path() + "missing"), std::nullopt);
  EXPECT_EQ(ParseDateField("not a date"), std::nullopt);
  EXPECT_EQ(ParseDateField(std::string("Mon, 7 Dec 2026 10:00:00 +0000\0junk", 35)), 1796637600);
}

TEST(DeleteMessages, AsksOnceForSeveralAndGoesOnPastAFailure) {
  testing::TempDir dir;
  const std::string a = dir.path() + "a.mail", b = dir.path() + "b.mail", gone = dir.path() + "gone.mail";
  testing::WriteFile(a, "x");
  testing::WriteFile(b, "x");
  testing::RecordingUi ui;
  ui.Script({Answer::No});
  DeleteOutcome refused = ConfirmDeleteFiles(ui, {a, b});
  EXPECT_FALSE(refused.confirmed);
  EXPECT_TRUE(FileExists(a) && FileExists(b));

  ui.Script({Answer::Yes});
  DeleteOutcome outcome = ConfirmDeleteFiles(ui, {a, gone, b});
  EXPECT_TRUE(outcome.confirmed);
  EXPECT_EQ(outcome.deleted, 2);
  ASSERT_EQ(outcome.failed.size(), 1u);
  EXPECT_EQ(outcome.failed[0].rfind(gone + ": ", 0), 0u);
  EXPECT_FALSE(FileExists(a) || FileExists(b));
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"Are you sure you want to delete these 2 messages?",
                                                   "Are you sure you want to delete these 3 messages?"}));
}

}  // namespace
}  // namespace corvelle
