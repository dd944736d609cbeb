#include "platform/profile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace corvelle {
namespace {

using testing::ListNames;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class ProfileTest : public ::testing::Test {
 protected:
  // Writes `before`, makes `change` and saves; returns the file as saved.
  template <class Change>
  std::string Rewrite(const std::string& before, Change change) {
    WriteFile(path, before);
    PrivateProfile ini(path);
    change(ini);
    EXPECT_TRUE(ini.Save());
    return ReadFile(path);
  }

  TempDir dir;
  std::string path = dir / "CORVEL.INI";
};

TEST_F(ProfileTest, WindowsEditedFileReads) {
  EXPECT_EQ(PrivateProfile(path).ReadString("main", "MailDirectory", "none"), "none") << "no file at all";
  struct Row { std::string line, key, value; } rows[] = {  // an integer value when `value` starts with "#"
      {"  mailDIRECTORY = \"/home/ann/Mail/\"  ", "MailDirectory", "/home/ann/Mail/"},
      {"maildirectory=second", "MAILDIRECTORY", "/home/ann/Mail/"},  // the first of a name counts
      {"Quoted=\"a \"b\" c\"", "quoted", "a \"b\" c"},            // one enclosing pair only
      {"OneQuote=\"x", "OneQuote", "\"x"},
      {"Long=" + std::string(2000, 'x'), "Long", std::string(1023, 'x')},  // room for 1023 characters
      {"Color=0x80000008", "Color", "#-2147483640"}, {"Hex=0XfF", "Hex", "#255"},
      {"Negative=-2147483640", "Negative", "#-2147483640"}, {"Bad=12abc", "Bad", "#7"},
      {"TooBig=4294967296", "TooBig", "#7"},
  };
  std::string text = "; written by hand\r\n[Main]\r\n";
  for (const Row& row : rows) text += row.line + "\r\n";
  WriteFile(path, text + "\r\n[font]\r\nFont.Name=Courier New\r\n[MAIN]\r\nOther=in a second copy\r\n");
  PrivateProfile ini(path);
  for (const Row& row : rows) {
    std::string value = row.value[0] == '#' ? "#" + std::to_string(ini.ReadInteger("main", row.key, 7))
                                            : ini.ReadString("MAIN", row.key, "");
    EXPECT_EQ(value, row.value) << row.line.substr(0, 30);
  }
  EXPECT_EQ(ini.ReadString("Font", "font.name", ""), "Courier New");
  EXPECT_EQ(ini.ReadString("main", "Other", "none"), "none") << "the first section of a name counts";
  EXPECT_EQ(ini.SectionKeys("main").front() + ini.SectionKeys("main").back(), "mailDIRECTORYTooBig");
  EXPECT_EQ(ini.SectionNames(), (std::vector<std::string>{"Main", "font"})) << "as written, each name once";
}

TEST_F(ProfileTest, WriteKeepsEveryOtherLineByteForByte) {
  EXPECT_EQ(Rewrite("; comment\r\n[main]\r\nA=1\r\n  odd line without equals\r\nB = 2\r\n\r\n[filters]\r\n"
                    "1.FolderText=\"x\"\r\n",
                    [](PrivateProfile& ini) {
                      ini.WriteString("MAIN", "b", "3");
                      ini.WriteString("main", "C", "new");
                      ini.WriteString("other", "D", "4");
                      ini.WriteString("main", "A", "one\r\n[evil]\r\nB=2");  // a value cannot split the file
                    }),
            "; comment\r\n[main]\r\nA=one\r\n  odd line without equals\r\nb=3\r\nC=new\r\n\r\n"
            "[filters]\r\n1.FolderText=\"x\"\r\n[other]\r\nD=4\r\n");
  // An LF file stays LF, and a last line without its end gets one.
  EXPECT_EQ(Rewrite("[main]\nA=1", [](PrivateProfile& ini) { ini.WriteString("main", "B", "2"); }),
            "[main]\nA=1\nB=2\n");
  // Found by fuzzing: a last line cut after its CR named another section than it did once
  // the write gave it its line end, and the value written was not read back.
  Rewrite("\n[fuzz\t\r", [](PrivateProfile& ini) { ini.WriteString("Fuzz", "Key", "v"); });
  EXPECT_EQ(PrivateProfile(path).ReadString("fuzz", "key", ""), "v");
}

// Sections and keys are looked up in an index built once; every change keeps it right.
TEST_F(ProfileTest, IndexFollowsWritesAndErasedSections) {
  WriteFile(path, "[main]\nA=1\n[font]\nF=2\n\n\n[Main]\nA=3\n[s7]\nk=7\n[s8]\nk=8\n");
  PrivateProfile ini(path);
  ini.WriteString("font", "G", "3");  // lands above the blank lines
  ini.WriteString("font", "H", "4");
  ini.WriteString("FONT", "f", "5");
  EXPECT_EQ(ini.ReadString("font", "F", "") + ini.ReadString("font", "g", "") + ini.ReadString("font", "h", ""), "534");
  ini.EraseSection("main");
  ini.EraseSection("s7");
  EXPECT_EQ(ini.ReadString("main", "A", "gone") + ini.ReadString("s7", "k", "gone"), "gonegone");
  ini.WriteString("main", "A", "4");
  EXPECT_EQ(ini.ReadString("MAIN", "a", "") + ini.ReadString("s8", "k", ""), "48");
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(ReadFile(path), "[font]\nf=5\nG=3\nH=4\n\n\n[s8]\nk=8\n[main]\nA=4\n");
}

// A Windows editor may save the file with a byte-order mark, or as UTF-16.
TEST_F(ProfileTest, ByteOrderMarksAndUtf16AreReadAndKept) {
  auto utf16 = [](const std::string& ascii, bool big_endian) {
    std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) out += big_endian ? std::string{'\0', c} : std::string{c, '\0'};
    return out;
  };
  struct Row { const char* name; std::string before, after; } rows[] = {
      {"utf-8 mark", "\xEF\xBB\xBF[main]\r\nA=caf\xC3\xA9\r\n", "\xEF\xBB\xBF[main]\r\nA=caf\xC3\xA9\r\nB=2\r\n"},
      {"utf-16 le", utf16("[main]\r\nA=x\r\n", false), utf16("[main]\r\nA=x\r\nB=2\r\n", false)},
      {"utf-16 be", utf16("[main]\nA=x\n", true), utf16("[main]\nA=x\nB=2\n", true)},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Rewrite(row.before, [](PrivateProfile& ini) { ini.WriteString("main", "B", "2"); }), row.after)
        << row.name;
    EXPECT_NE(PrivateProfile(path).ReadString("main", "A", ""), "") << row.name << ": the first section is read";
  }
  // Outside the basic plane, and a value UTF-16 cannot carry: saved as UTF-8, every byte kept.
  WriteFile(path, std::string("\xFF\xFE[\0m\0]\0\n\0A\0=\0\x3D\xD8\x00\xDE", 18));
  EXPECT_EQ(PrivateProfile(path).ReadString("m", "A", ""), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Rewrite(ReadFile(path), [](PrivateProfile& ini) { ini.WriteString("m", "P", "\xE9\x01\xFF"); }),
            "\xEF\xBB\xBF[m]\nA=\xF0\x9F\x98\x80\nP=\xE9\x01\xFF\n");
}

TEST_F(ProfileTest, SavedAtomicallyThroughSymbolicLinksAndCaseVariants) {
  PrivateProfile fresh(dir / "config/corvelle/CORVEL.INI");
  fresh.WriteString("main", "A", "1");
  ASSERT_TRUE(fresh.Save()) << "the folder is made";
  EXPECT_EQ(ReadFile(dir / "config/corvelle/CORVEL.INI"), "[main]\r\nA=1\r\n");

  WriteFile(dir / "real/corvel.ini", "[main]\nA=1\n");
  ASSERT_EQ(::symlink("real/corvel.ini", (dir / "middle").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "middle").c_str(), (dir / "corvel.ini").c_str()), 0);
  PrivateProfile ini(path);
  EXPECT_EQ(ini.ReadString("main", "A", ""), "1");
  ini.WriteString("main", "A", "2");
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(ReadFile(dir / "real/corvel.ini"), "[main]\nA=2\n");
  EXPECT_EQ(std::filesystem::read_symlink(dir / "corvel.ini"), dir / "middle") << "still a link";
  EXPECT_EQ(ListNames(dir / "real"), std::vector<std::string>{"corvel.ini"}) << "no temp file left";
  testing::ScopedEnv env("XDG_CONFIG_HOME", dir.path() + "cfg");
  EXPECT_EQ(SettingsFilePath(), dir / "cfg/corvelle/CORVEL.INI");
}

// The file holds passwords: a save leaves it to its owner alone, whatever mode it had.
TEST_F(ProfileTest, SavedForTheOwnerOnly) {
  WriteFile(path, "[main]\nA=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  PrivateProfile ini(path);
  ini.WriteString("main", "A", "2");
  ASSERT_TRUE(ini.Save());
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

}  // namespace
}  // namespace corvelle
