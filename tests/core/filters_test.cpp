#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/accounts/spool_mark.h"
#include "core/filters/mail_filter.h"
#include "core/filters/spool_filing.h"
#include "core/filters/match_condition.h"
#include "core/status_text.h"
#include "core/store/folder_list.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using testing::ListNames;
using testing::ReadFile;
using testing::WriteFile;
using Lines = std::vector<std::string>;

// A rule from values: header, search, ..., folder list.
FilterRule RuleOf(const Lines& values) {
  FilterRule rule{{}, values.back()};
  for (size_t i = 0; i + 2 < values.size(); i += 2) rule.conditions.push_back({values[i], values[i + 1]});
  return rule;
}

// The values of rule `index`: header, search, ..., folder list.
Lines Stripped(const TMailFilter& filter, int index) {
  Lines values;
  for (const FilterCondition& condition : filter.Rules().at(index - 1).conditions) {
    values.push_back(condition.header);
    values.push_back(condition.search);
  }
  values.push_back(filter.Rules().at(index - 1).folders);
  return values;
}

class FiltersTest : public testing::MailFixture {
 protected:
  void SetUp() override { MakeTree(); }
  int FilterMail(TMailFilter& filter) { return filter.FilterMail(MailStore(mail_dir), "Inbox", ui); }
  int FilterMail() {
    TMailFilter filter;
    return FilterMail(filter);
  }
  void AddRules(const std::vector<Lines>& rules) {
    TMailFilter filter;
    for (const Lines& values : rules) ASSERT_TRUE(filter.PutRule(RuleOf(values), 0));
  }
  std::string Spool(const std::string& name, const std::string& data) {
    WriteFile(mail_dir + "Spool/" + name, data);
    return data;
  }
  // The one file of a folder, or "" when it holds none or several.
  std::string OnlyFile(const std::string& folder) {
    Lines names = ListNames(mail_dir + folder);
    return names.size() == 1 ? ReadFile(mail_dir + folder + "/" + names[0]) : "";
  }
};

TEST_F(FiltersTest, RulesSurviveSaveAndReloadWithQuotesAndLongFolderLists) {
  Lines folders;
  for (int i = 0; i < 30; ++i) folders.push_back("Lists/Folder number " + std::to_string(i));
  const std::vector<Lines> rules = {
      {"From", "\"quoted\"", "Subject", " padded ", JoinFolderList(folders)},
      {"*Message Text*", "a \"b\" c", "\"Inbox\""},
  };
  AddRules(rules);
  TMailFilter reloaded;
  ASSERT_EQ(reloaded.FilterCount(), 2);
  for (int n = 1; n <= 2; ++n) EXPECT_EQ(Stripped(reloaded, n), rules[n - 1]) << "rule " << n;
  EXPECT_GT(rules[0].back().size(), 255u);
}

TEST_F(FiltersTest, HandEditedSectionIsRenumberedWithoutLoss) {
  WriteFile(IniPath(),
            "[filters]\r\n3.FolderText=\"C\"\r\n1.1.HeaderLine=From\r\nJunk=1\r\n1.1.SearchText=ann\r\n"
            "1.FolderText=A\r\n3.1.HeaderLine=To\r\n3.1.SearchText=bob\r\n7.2.HeaderLine=Subject\r\n"
            "x.FolderText=zz\r\n1.Other=q\r\n[main]\r\nKeep=1\r\n");
  const std::vector<Lines> expected = {{"From", "ann", "\"A\""}, {"To", "bob", "\"C\""}, {"Subject", "", "\"\""}};
  for (int pass = 0; pass < 2; ++pass) {
    TMailFilter filter;
    ASSERT_EQ(filter.FilterCount(), 3) << "pass " << pass;
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(Stripped(filter, n), expected[n - 1]) << "pass " << pass << " rule " << n;
    ASSERT_TRUE(filter.SaveFilters());
  }
  EXPECT_NE(ReadFile(IniPath()).find("Keep=1"), std::string::npos);
}

// Found by fuzzing: a bare CR inside a hand-edited value cut the value (and its closing
// quote) off at the next save.
TEST_F(FiltersTest, ABareCarriageReturnInAValueBecomesASpaceOnSave) {
  WriteFile(IniPath(), "[filters]\n1.1.HeaderLine=To:\n1.1.SearchText=\rnn x\n1.FolderText=\"A\rB\"\n");
  ASSERT_TRUE(TMailFilter().SaveFilters());
  EXPECT_EQ(Stripped(TMailFilter(), 1), (Lines{"To:", " nn x", "\"A B\""}));
}

// The section as written: conditions quoted and numbered from 1, the folder list as it is,
// a rule without a condition kept with its folder list alone.
TEST_F(FiltersTest, RulesAreWrittenAsTheSectionReadsThem) {
  WriteFile(IniPath(), "[main]\r\nKeep=1\r\n[filters]\r\n4.FolderText=\"B\"\r\n2.5.HeaderLine=From\r\n"
                       "2.5.SearchText=ann\r\n2.FolderText=\"A\",\"C\"\r\n");
  const std::vector<FilterRule> rules = ReadFilterRules(IniPath());
  ASSERT_EQ(rules, (std::vector<FilterRule>{{{{"From", "ann"}}, "\"A\",\"C\""}, {{}, "\"B\""}}));
  ASSERT_TRUE(WriteFilterRules(IniPath(), rules));
  EXPECT_EQ(ReadFile(IniPath()),
            "[main]\r\nKeep=1\r\n[filters]\r\n1.1.HeaderLine=\"From\"\r\n1.1.SearchText=\"ann\"\r\n"
            "1.FolderText=\"A\",\"C\"\r\n2.FolderText=\"B\"\r\n");
  EXPECT_EQ(ReadFilterRules(IniPath()), rules);
}

TEST_F(FiltersTest, SwapDeleteAndFormat) {
  AddRules(
      {{"From", "smith", "Subject", "budget", "\"Work\",\"Archive\""}, {"To", "b", "\"B\""}, {"Cc", "c", "\"C\""}});
  TMailFilter filter;
  EXPECT_FALSE(filter.SwapFilter(1, 4));
  EXPECT_FALSE(filter.DeleteFilter(0));
  EXPECT_FALSE(filter.Modified());
  EXPECT_TRUE(filter.SwapFilter(1, 3));
  EXPECT_TRUE(filter.DeleteFilter(2));
  Lines list = filter.RuleTexts();
  EXPECT_EQ(list, (Lines{"Cc c INTO FOLDER \"C\"", "From smith AND Subject budget INTO FOLDER \"Work\",\"Archive\""}));
  filter.SetDiscard(true);
}

TEST(MatchConditionTest, HeaderFieldsAndBodyIgnoringCase) {
  const Lines message = {"From: John Smith", "To: ann@x,", " bob@y", "Received: a", "X: z", "Received: from relay",
                         "Subject: Your invoice", "\tfor December", "", "Please pay the INVOICE", "To: carol"};
  struct Row {
    const char *header, *search;
    bool match;
  } rows[] = {
      {"from", "SMITH", true},   {"To", "bob", true},        {"To", "carol", false},    {"received", "RELAY", true},
      {"From", "", false},       {"*DEFAULT*", "", true},    {"*Message Text*", "invoice", true},
      {"*message text*", "your", false}, {"Subject", "subject:", true}, {"X", "smith", false}, {"Fro", "john", false},
      {"subject", "invoice for dec", true},  {"To", "ann@x, bob", true},
  };
  for (const Row& row : rows)
    EXPECT_EQ(MatchCondition(row.header, row.search, message), row.match) << row.header << " / " << row.search;
  EXPECT_FALSE(MatchCondition("*Message Text*", "smith", {"From: smith"}));
}

TEST_F(FiltersTest, FilterMailFilesByTheFirstMatchingRule) {
  AddRules({{"From", "ann", "\"Work\",\"Lists/Archive\""},
            {"*Default*", "", "Subject", "hello", "\"Other\""},
            {"Subject", "refused", "\"Work\",\"Gone\""}});
  bool vanish = true;
  ui.on_events = [&] {
    if (vanish) ::rmdir((mail_dir + "Gone").c_str());  // made for the pass, then vanishes
  };
  std::string ann = Spool("1.new", "From: Ann\r\nSubject: hello\r\n\r\nbody\r\n");
  std::string plain = Spool("2.new", "From: Bob\r\n\r\nhi\r\n");
  Spool("3.new", "");
  std::string refused = Spool("4.new", "From: Cy\r\nSubject: refused\r\n\r\nx\r\n");
  Spool("5.out", "not for filtering");
  StatusText status;
  TMailFilter filter;
  filter.InitStatus(&status);
  int left = FilterMail(filter);

  EXPECT_EQ(left, 2);
  EXPECT_EQ(FilteringCompleteText(left), "Filtering complete. 2 messages left in Spool.");
  EXPECT_EQ(OnlyFile("Lists/Archive"), ann);
  EXPECT_EQ(OnlyFile("Inbox"), plain);
  EXPECT_TRUE(ListNames(mail_dir + "Other").empty());
  // Ann's copy, and the copy of the message that "Gone" refused; the rest of that one
  // waits, recorded, for the next pass.
  EXPECT_EQ(ListNames(mail_dir + "Work").size(), 2u);
  EXPECT_EQ(ListNames(mail_dir + "Spool"), (Lines{".1.new.filing-list", ".4.new.copy-2", "3.new", "5.out"}));
  EXPECT_EQ(status.Lines(),
            (Lines{"Filtering incoming mail into appropriate folders...", "Filtering mail: 4 new messages."}));
  EXPECT_EQ(ui.total.back(), 100);
  EXPECT_EQ(FilteringCompleteText(0), "");
  // What reached every folder of its rule, one folder's at once, a batch's when it settles.
  EXPECT_EQ(filter.FiledSubjects(), (Lines{"", "hello"}));

  vanish = false;
  EXPECT_TRUE(SpoolHoldsNewMail(mail_dir + "Spool/"));
  EXPECT_EQ(FilterMail(), 1);  // the empty file stays
  EXPECT_EQ(OnlyFile("Gone"), refused);
  EXPECT_EQ(ListNames(mail_dir + "Work").size(), 2u);
  EXPECT_EQ(ListNames(mail_dir + "Spool"), (Lines{"3.new", "5.out"}));
}

// A pass killed at any moment: the next one finishes it, and every folder of the rule ends
// with exactly one copy, while the spool folder keeps none of the program's work files.
TEST_F(FiltersTest, APassCutShortAnywhereIsFinishedWithoutASecondCopy) {
  AddRules({{"Subject", "two", "\"Work\",\"Archive\",\"Lists/Three\""}});
  struct Killed {};
  for (int kill_at = 1;; ++kill_at) {
    for (const char* folder : {"Work", "Archive", "Lists/Three", "Inbox", "Spool"})
      std::filesystem::remove_all(mail_dir + folder);
    MakeTree();
    std::string two = Spool("1.new", "From: Ann\r\nSubject: two\r\n\r\nbody\r\n");
    std::string other = Spool("2.mai", "From: Bob\r\nSubject: other\r\n\r\nbody\r\n");
    // Left by earlier runs: an unfinished copy, a copy never recorded.
    Spool(".0.new.Ab12Cd", "From: half");
    Spool(".7.new.copy-1", two);
    int events = 0;
    ui.on_events = [&] {
      if (++events == kill_at) throw Killed{};
    };
    bool killed = false;
    try {
      FilterMail();
    } catch (const Killed&) {
      killed = true;
    }
    ui.on_events = nullptr;
    EXPECT_EQ(FilterMail(), 0) << kill_at;
    for (const char* folder : {"Work", "Archive", "Lists/Three"}) EXPECT_EQ(OnlyFile(folder), two) << kill_at;
    EXPECT_EQ(OnlyFile("Inbox"), other) << kill_at;
    EXPECT_EQ(ListNames(mail_dir + "Spool"), Lines{}) << kill_at;
    EXPECT_FALSE(SpoolHoldsNewMail(mail_dir + "Spool/"));
    if (!killed) break;
  }
}

// Each spool file is its account's (its spool mark): the rules see the account's title as
// *Account*, never a header of that name, and mail no rule takes goes to the account's own
// folder, or the default one. Every copy keeps the spool file's bytes.
TEST_F(FiltersTest, MailFromEveryAccountIsFiledByItsAccount) {
  Account home, work, play;
  home.Name = "Home";
  work.Name = "Work Mail";
  play.Name = "play";
  play.Folder = "Lists/Play";
  AddRules({{"*Account*", "WORK", "\"Work\""}});
  std::string marked = Spool("1" + SpoolExtension("Work Mail"), "From: a\r\nSubject: s\r\n\r\nbody\r\n");
  std::string header = Spool("2.new", "From: b\r\nAccount: work\r\n\r\nbody\r\n");
  std::string played = Spool("3" + SpoolExtension("play"), "From: c\r\n\r\nbody\n");
  std::string gone = Spool("4" + SpoolExtension("gone"), "From: d\n\nbody\n");
  TMailFilter filter;
  EXPECT_EQ(filter.FilterMail(MailStore(mail_dir), "Inbox", ui, {home, work, play}), 0);
  EXPECT_EQ(OnlyFile("Work"), marked);
  EXPECT_EQ(OnlyFile("Lists/Play"), played);
  Lines inbox = ListNames(mail_dir + "Inbox");  // named by sender: b's, then d's
  ASSERT_EQ(inbox.size(), 2u);
  EXPECT_EQ(ReadFile(mail_dir + "Inbox/" + inbox[0]), header);
  EXPECT_EQ(ReadFile(mail_dir + "Inbox/" + inbox[1]), gone);
}

// The copies for further folders are written from the loaded bytes: they keep the spool
// file's bytes and permissions.
TEST_F(FiltersTest, CopiesKeepTheBytesAndPermissionsOfTheSpoolFile) {
  AddRules({{"Subject", "two", "\"A\",\"B\",\"C\""}});
  std::string bytes = Spool("1.new", std::string("Subject: two\r\n\r\nnul \0 and \xFF\rend", 32));
  ::chmod((mail_dir + "Spool/1.new").c_str(), 0640);
  EXPECT_EQ(FilterMail(), 0);
  for (const char* folder : {"A", "B", "C"}) {
    EXPECT_EQ(OnlyFile(folder), bytes) << folder;
    auto perms = std::filesystem::status(mail_dir + folder + "/" + ListNames(mail_dir + folder).at(0)).permissions();
    EXPECT_EQ(static_cast<unsigned>(perms), 0640u) << folder;
  }
  EXPECT_TRUE(ListNames(mail_dir + "Spool").empty());
}

TEST_F(FiltersTest, FileTooLargeToLoadIsMovedByteForByte) {
  AddRules({{"Subject", "big", "\"A\",\"B\""}});
  std::string bytes =
      Spool("1.new", std::string("Subject: big\n\nline\rwith\0nul \xE9\xFF\n", 31) + std::string(5000, 'x'));
  TMailFilter filter;
  filter.load_limit = 100;
  EXPECT_EQ(FilterMail(filter), 0);
  EXPECT_EQ(OnlyFile("A"), bytes);
  EXPECT_EQ(OnlyFile("B"), bytes);
  EXPECT_TRUE(ListNames(mail_dir + "Spool").empty());
}

TEST_F(FiltersTest, FolderThatCannotBeMadeStopsThePass) {
  WriteFile(mail_dir + "Blocked", "x");
  AddRules({{"From", "a", "\"Blocked/Sub\""}});
  Spool("1.new", "From: a\r\n\r\n");
  EXPECT_EQ(FilterMail(), 1);
  EXPECT_EQ(ui.Texts(), (Lines{"Could not create all filter directories."}));
  EXPECT_EQ(ListNames(mail_dir + "Spool"), (Lines{"1.new"}));
}

}  // namespace
}  // namespace corvelle
