#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/mailbox/mailbox_export.h"
#include "core/mailbox/mailbox_import.h"
#include "core/store/file_message.h"
#include "core/store/file_naming.h"
#include "core/store/refresh_names.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using namespace std::string_literals;
using testing::ListNames;
using testing::ReadFile;
using testing::WriteFile;
using Files = std::map<std::string, std::string>;

class MailboxTest : public testing::MailFixture {
 protected:
  void SetUp() override {
    MakeTree();
    ASSERT_TRUE(MakeFolders(box));
  }
  void TearDown() override { SetPathFaultsForTest({}); }

  // Files the corpus into `box` under the names filing gives them; returns name -> bytes.
  Files WriteCorpus() {
    const std::string corpus[] = {
        "Subject: crlf\r\nFrom: a@b\r\n\r\nFrom x@y said\r\n>From here\r\n.\r\n..\r\n",
        "Subject: lf\nFrom: c@d\n\n>>From deep\nFrom nobody\n" + std::string(998, 'x') + "\ncaf\xe9 \0 nul\n"s,
        "Subject: mixed\r\n\r\nline\nFrom - looks like a separator\r\n>From\n",
        "From me@x Mon Dec  7 10:00:00 2026\nSubject: starts with From\n\nbody\n",
    };
    Files files;
    for (const std::string& bytes : corpus) {
      std::vector<std::string> header;
      for (size_t pos = 0, end; (end = bytes.find('\n', pos)) != std::string::npos; pos = end + 1) {
        std::string line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        header.push_back(line);
        if (line.empty()) break;
      }
      std::string path = FiledTarget(box, "x.newmail", header);
      WriteFile(path, bytes);
      files[NamePart(path)] = bytes;
    }
    return files;
  }

  Files Contents() {
    Files files;
    for (const std::string& name : ListNames(box)) files[name] = ReadFile(box + name);
    return files;
  }

  std::string box = mail_dir + "Box/";
};

TEST_F(MailboxTest, ExportThenImportIsByteExact) {
  for (MailboxKind kind : {MailboxKind::kPine, MailboxKind::kNetscape}) {
    Files before = WriteCorpus();
    ExportResult exported = ExportFolder("Box", kind, 0);
    ASSERT_TRUE(exported.ok);
    EXPECT_EQ(exported.exported, 4);
    EXPECT_EQ(ListNames(box), std::vector<std::string>{MailboxFileName(kind)});
    ImportResult imported = ImportMailbox(exported.output, kind);
    EXPECT_EQ(imported.filed, 4);
    EXPECT_TRUE(imported.mailbox_removed);
    EXPECT_EQ(Contents(), before) << MailboxKindName(kind);
    for (const auto& [name, bytes] : before) RemoveFile(box + name);
  }
}

TEST_F(MailboxTest, ExportAppendsToAnEarlierMailbox) {
  const std::string earlier = "From unknown@unknown Sun Dec 06 10:00:00 2026\r\nSubject: old\r\n\r\nkept\r\n";
  WriteFile(box + "pine.fol", earlier);
  WriteCorpus();
  ExportResult exported = ExportFolder("Box", MailboxKind::kPine, 0);
  ASSERT_TRUE(exported.ok);
  std::string now = ReadFile(exported.output);
  EXPECT_EQ(now.substr(0, earlier.size()), earlier);
  EXPECT_GT(now.size(), earlier.size() + 1000);
  ImportMailbox(exported.output, MailboxKind::kPine);
  EXPECT_EQ(ListNames(box).size(), 5u);
}

TEST_F(MailboxTest, RefusedMoveKeepsTheMailbox) {
  const std::string mailbox = box + "in.txt";
  WriteFile(mailbox, "From a@b x\nSubject: one\n\nbody\n");
  SetPathFaultsForTest({.cross_device = true, .failing_sync = box});
  ImportResult imported = ImportMailbox(mailbox, MailboxKind::kPine);
  EXPECT_EQ(imported.failed, 1);
  EXPECT_FALSE(imported.mailbox_removed);
  EXPECT_EQ(ListNames(box), std::vector<std::string>{"in.txt"});
  std::vector<std::string> spool = ListNames(mail_dir + "Spool/");
  ASSERT_EQ(spool.size(), 1u);
  EXPECT_EQ(ReadFile(mail_dir + "Spool/" + spool[0]), "Subject: one\n\nbody\n");
}

TEST_F(MailboxTest, ImportSplitsOnlyAtSeparators) {
  const std::string mailbox = box + "in.mail";
  WriteFile(mailbox, "preamble\nFrom nobody here\nFrom a@b x\nSubject: s\n\nFrom - not netscape\n");
  ImportResult imported = ImportMailbox(mailbox, MailboxKind::kPine);
  EXPECT_EQ(imported.filed, 2);
  Files files = Contents();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files.begin()->second, "preamble\nFrom nobody here\n");
  EXPECT_EQ(files.rbegin()->second, "Subject: s\n\nFrom - not netscape\n");
  EXPECT_EQ(FileExtension(files.begin()->first), ".mail");
}

TEST_F(MailboxTest, RefreshNamesLeavesSystemAndForeignFilesAlone) {
  const std::string kept[] = {"pine.fol", "Book.CVAB", ".hidden", "empty.mail"};
  for (const std::string& name : kept) WriteFile(box + name, name == "empty.mail" ? "" : "Subject: no\n");
  WriteFile(box + "1.mail", "Subject: Lunch\r\nFrom: ann\r\n\r\nbody\r\n");
  WriteFile(mail_dir + "System/1.mail", "Subject: Lunch\n");
  EXPECT_EQ(RefreshNames("Box"), 1);
  EXPECT_EQ(RefreshNames("system"), 0);
  std::string renamed = "Lunch" + std::string(45, ' ') + "ann" + std::string(27, ' ') + ".mail";
  std::vector<std::string> expected = {".hidden", "Book.CVAB", "empty.mail", "pine.fol", renamed};
  std::vector<std::string> names = ListNames(box);
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  EXPECT_TRUE(FileExists(mail_dir + "System/1.mail"));
  EXPECT_EQ(RefreshNames("Box"), 1);  // its own name is taken: the numbered variant
  EXPECT_TRUE(FileExists(box + "Lunch" + std::string(45, ' ') + "ann" + std::string(27, ' ') + " 0.mail"));
}

}  // namespace
}  // namespace corvelle
