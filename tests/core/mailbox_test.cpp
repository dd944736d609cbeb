#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
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
      std::string path = Store().FiledTarget(box, "x.newmail", header);
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

// Names sorted in memory or in runs of one merged from temporary files, a folder exports
// to the same bytes.
TEST_F(MailboxTest, ExportThenImportIsByteExact) {
  std::string whole;
  for (size_t in_memory : {65536, 1})
  for (MailboxKind kind : {MailboxKind::kPine, MailboxKind::kNetscape}) {
    Files before = WriteCorpus();
    ExportResult exported = ExportFolder(Store(), ui, "Box", kind, 0, {}, in_memory);
    ASSERT_TRUE(exported.ok);
    EXPECT_EQ(exported.exported, 4);
    EXPECT_EQ(ListNames(box), std::vector<std::string>{MailboxFileName(kind)});
    if (kind == MailboxKind::kPine) {
      if (in_memory > 1) whole = ReadFile(exported.output);
      EXPECT_EQ(ReadFile(exported.output), whole) << in_memory;
    }
    ImportResult imported = ImportMailbox(Store(), ui, exported.output, kind);
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
  ExportResult exported = ExportFolder(Store(), ui, "Box", MailboxKind::kPine, 0);
  ASSERT_TRUE(exported.ok);
  std::string now = ReadFile(exported.output);
  EXPECT_EQ(now.substr(0, earlier.size()), earlier);
  EXPECT_GT(now.size(), earlier.size() + 1000);
  ImportMailbox(Store(), ui, exported.output, MailboxKind::kPine);
  EXPECT_EQ(ListNames(box).size(), 5u);
}

// "From MAILER-DAEMON <date>" separators, each after an empty line, as common mailbox
// libraries write them.
std::string DaemonMailbox(int count, std::vector<std::string>& messages) {
  std::string box;
  for (int i = 0; i < count; ++i) {
    messages.push_back("From: m" + std::to_string(i) + "@x\nSubject: number " + std::to_string(i) + "\n\nbody\n");
    box += "From MAILER-DAEMON Mon Dec  7 05:00:0" + std::to_string(i % 10) + " 2026\n" + messages.back() + "\n";
  }
  return box;
}

std::vector<std::string> Sorted(const Files& files) {
  std::vector<std::string> bytes;
  for (const auto& [name, data] : files) bytes.push_back(data);
  std::sort(bytes.begin(), bytes.end());
  return bytes;
}

// Lines from empty to longer than the 1 MiB read and write buffers, so that line ends, quoted
// "From " lines, CR LF pairs, NUL and 8-bit bytes fall on both sides of buffer boundaries; the
// last message ends without a line end (the export gives it CR LF).
TEST_F(MailboxTest, ExportAndImportKeepEveryByteAcrossBufferBoundaries) {
  std::string first = "Subject: a\r\n\r\n", second = "Subject: b\n\n";
  const std::string pieces[] = {"From here\r\n", ">From there\n", "caf\xe9\0\n"s, "\r\n", "x\n"};
  for (size_t i = 0; first.size() < (3u << 20); ++i) {
    first += std::string(i * 7919 % 70000, static_cast<char>('a' + i % 26)) + pieces[i % 5];
    second += pieces[(i + 2) % 5] + std::string(i % 13, 'F');
  }
  second += std::string(3u << 20, 'z') + "From the end";
  WriteFile(box + "a.mail", first);
  WriteFile(box + "b.mail", second);

  ExportResult exported = ExportFolder(Store(), ui, "Box", MailboxKind::kPine, 0);
  ASSERT_TRUE(exported.ok);
  std::string expected;
  for (const std::string* message : {&first, &second}) {
    expected += SeparatorLine(MailboxKind::kPine, 0) + "\r\n";
    for (size_t pos = 0, end; pos < message->size(); pos = end) {
      end = std::min(message->find('\n', pos), message->size() - 1) + 1;
      expected += (NeedsFromQuote(std::string_view(*message).substr(pos)) ? ">" : "") + message->substr(pos, end - pos);
    }
    expected += message->back() == '\n' ? "\r\n" : "\r\n\r\n";
  }
  EXPECT_TRUE(ReadFile(exported.output) == expected);

  ImportResult imported = ImportMailbox(Store(), ui, exported.output, MailboxKind::kPine);
  EXPECT_EQ(imported.filed, 2);
  EXPECT_TRUE(imported.mailbox_removed);
  EXPECT_TRUE(Sorted(Contents()) == (std::vector<std::string>{first, second + "\r\n"}));
}

TEST_F(MailboxTest, AFailedImportIsToldAndTheRetryFilesEachMessageOnce) {
  const std::string mailbox = box + "in.txt";
  std::vector<std::string> messages;
  WriteFile(mailbox, DaemonMailbox(3, messages));
  SetPathFaultsForTest({.failing_sync = box});
  ImportResult imported = ImportMailbox(Store(), ui, mailbox, MailboxKind::kPine);
  EXPECT_EQ(imported.failed, 3);
  EXPECT_FALSE(imported.mailbox_removed);
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"0 of 3 messages imported; the mailbox is kept."});
  EXPECT_TRUE(ListNames(mail_dir + "Spool/").empty());

  SetPathFaultsForTest({});
  imported = ImportMailbox(Store(), ui, mailbox, MailboxKind::kPine);
  EXPECT_EQ(imported.filed, 3);
  EXPECT_TRUE(imported.mailbox_removed);
  std::sort(messages.begin(), messages.end());
  EXPECT_EQ(Sorted(Contents()), messages);
  EXPECT_EQ(ListNames(box).size(), 3u);  // no work file, no record
}

// An import killed at any moment: the retry files what is missing, nothing twice.
TEST_F(MailboxTest, AnImportCutShortAnywhereIsResumedWithoutDuplicates) {
  struct Killed {};
  std::vector<std::string> messages;
  const std::string data = DaemonMailbox(5, messages);
  std::sort(messages.begin(), messages.end());
  for (int kill_at = 1;; ++kill_at) {
    std::filesystem::remove_all(box);
    ASSERT_TRUE(MakeFolders(box));
    WriteFile(box + "in.txt", data);
    int events = 0;
    ui.on_events = [&] {
      if (++events == kill_at) throw Killed{};
    };
    bool killed = false;
    try {
      ImportMailbox(Store(), ui, box + "in.txt", MailboxKind::kPine);
    } catch (const Killed&) {
      killed = true;
    }
    ui.on_events = nullptr;
    if (killed) {
      EXPECT_TRUE(ImportMailbox(Store(), ui, box + "in.txt", MailboxKind::kPine).mailbox_removed) << kill_at;
    }
    EXPECT_EQ(Sorted(Contents()), messages) << kill_at;
    EXPECT_EQ(ListNames(box).size(), messages.size()) << kill_at;
    if (!killed) break;
  }
}

TEST_F(MailboxTest, ImportSplitsAtFromLinesAndDropsTheEmptyLineBeforeEach) {
  std::vector<std::string> messages;
  WriteFile(box + "daemon", DaemonMailbox(50, messages));
  ImportResult imported = ImportMailbox(Store(), ui, box + "daemon", MailboxKind::kPine);
  EXPECT_EQ(imported.filed, 50);
  EXPECT_TRUE(imported.mailbox_removed);
  std::sort(messages.begin(), messages.end());
  EXPECT_EQ(Sorted(Contents()), messages);
  for (const auto& [name, bytes] : Contents()) RemoveFile(box + name);

  const std::string mailbox = box + "in.mail";
  WriteFile(mailbox, "preamble\nFrom nobody here\nFrom a@b x\n\nFrom a@b Mon Dec  7 10:00:00 2026\nSubject: s\n\n"
                     "body\nFrom - not netscape\n\n\n");
  imported = ImportMailbox(Store(), ui, mailbox, MailboxKind::kPine);
  EXPECT_EQ(imported.filed, 2);
  EXPECT_TRUE(imported.mailbox_removed);
  Files files = Contents();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files.begin()->second, "preamble\nFrom nobody here\nFrom a@b x\n");
  EXPECT_EQ(files.rbegin()->second, "Subject: s\n\nbody\nFrom - not netscape\n\n");
  EXPECT_EQ(FileExtension(files.begin()->first), ".mail");
  EXPECT_TRUE(ui.Texts().empty());
}

TEST_F(MailboxTest, LinesLongerThanTheReadBufferStayWhole) {
  const std::string first = "Subject: long\r\n\r\n" + std::string(3 << 20, 'x') + "\r\nend\r\n";
  const std::string second = "Subject: after\r\n\r\nno line end";
  const std::string separator = "From a@b Mon Dec  7 10:00:00 2026\r\n";
  WriteFile(box + "in.txt", separator + first + "\r\n" + separator + second);
  EXPECT_EQ(ImportMailbox(Store(), ui, box + "in.txt", MailboxKind::kPine).filed, 2);
  EXPECT_EQ(Sorted(Contents()), (std::vector<std::string>{second, first}));
}

TEST_F(MailboxTest, AMailboxThatDoesNotSplitRightIsKept) {
  std::vector<std::string> messages;
  WriteFile(box + "daemon", DaemonMailbox(4, messages));  // no "From - " line in it
  WriteFile(box + "plain.txt", "Subject: not a mailbox\n\ntext\n");
  ImportResult imported = ImportMailbox(Store(), ui, box + "daemon", MailboxKind::kNetscape);
  EXPECT_EQ(imported.filed, 1);
  EXPECT_TRUE(imported.split_doubtful);
  EXPECT_FALSE(imported.mailbox_removed);
  EXPECT_FALSE(ImportMailbox(Store(), ui, box + "plain.txt", MailboxKind::kPine).mailbox_removed);
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"1 of 1 messages imported; the mailbox is kept.",
                                                  "1 of 1 messages imported; the mailbox is kept."}));
  // A second try files nothing again.
  EXPECT_EQ(ImportMailbox(Store(), ui, box + "daemon", MailboxKind::kNetscape).filed, 1);
  EXPECT_EQ(ListNames(box).size(), 2u + 2u + 2u);  // two mailboxes, two messages, two records
}

// The disk fills up halfway: what was filed stays filed and is told, the mailbox stays, and
// no work file is left behind.
TEST_F(MailboxTest, ADiskFullImportSaysHowManyWereImported) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system for a full disk needs root";
  const std::string small = mail_dir + "Small/";
  ASSERT_TRUE(MakeFolders(small));
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=512k") != 0)
    GTEST_SKIP() << "no small file system could be mounted: " << std::strerror(errno);
  std::string data;
  for (int i = 0; i < 40; ++i)
    data += "From a@b Mon Dec  7 10:00:00 2026\nSubject: n" + std::to_string(i) + "\n\n" + std::string(8000, 'x') +
            "\n\n";
  WriteFile(small + "in.txt", data);
  ImportResult imported = ImportMailbox(Store(), ui, small + "in.txt", MailboxKind::kPine);
  std::vector<std::string> names = ListNames(small);
  ::umount(small.c_str());
  EXPECT_EQ(imported.total, 40);
  EXPECT_GT(imported.filed, 0);
  EXPECT_LT(imported.filed, 40);
  EXPECT_FALSE(imported.mailbox_removed);
  const std::string told = std::to_string(imported.filed) + " of 40 messages imported; the mailbox is kept.";
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{told});
  // The mailbox, the filed messages and the record of how far the import got.
  EXPECT_EQ(names.size(), 1u + imported.filed + 1u);
  EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n[0] == '.'; }), 1);
}

TEST_F(MailboxTest, RefreshNamesLeavesSystemAndForeignFilesAlone) {
  const std::string kept[] = {"pine.fol", "Book.CVAB", ".hidden", "empty.mail"};
  for (const std::string& name : kept) WriteFile(box + name, name == "empty.mail" ? "" : "Subject: no\n");
  WriteFile(box + "1.mail", "Subject: Lunch\r\nFrom: ann\r\n\r\nbody\r\n");
  WriteFile(mail_dir + "System/1.mail", "Subject: Lunch\n");
  EXPECT_EQ(RefreshNames(Store(), ui, "Box"), 1);
  EXPECT_EQ(RefreshNames(Store(), ui, "system"), 0);
  std::string renamed = "Lunch" + std::string(45, ' ') + "ann" + std::string(27, ' ') + ".mail";
  std::vector<std::string> expected = {".hidden", "Book.CVAB", "empty.mail", "pine.fol", renamed};
  std::vector<std::string> names = ListNames(box);
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  EXPECT_TRUE(FileExists(mail_dir + "System/1.mail"));
  EXPECT_EQ(RefreshNames(Store(), ui, "Box"), 1);  // its own name is taken: the numbered variant
  EXPECT_TRUE(FileExists(box + "Lunch" + std::string(45, ' ') + "ann" + std::string(27, ' ') + " 0.mail"));
}

}  // namespace
}  // namespace corvelle
