#include "platform/profile.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace corvelle {
namespace {

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

TEST_F(ProfileTest, MissingFileReadsDefaults) {
  PrivateProfile ini(path);
  EXPECT_EQ(ini.ReadString("main", "MailDirectory", "none"), "none");
  EXPECT_EQ(ini.ReadInteger("main", "XPos", -1), -1);
  EXPECT_TRUE(ini.SectionKeys("main").empty());
}

TEST_F(ProfileTest, WindowsEditedFileReads) {
  WriteFile(path,
            "; written by hand\r\n"
            "[Main]\r\n"
            "  mailDIRECTORY = \"/home/ann/Mail/\"  \r\n"
            "Quoted=\"a \"b\" c\"\r\n"
            "OneQuote=\"x\r\n"
            "Color=0x80000008\r\n"
            "Hex=0XfF\r\n"
            "Negative=-2147483640\r\n"
            "Bad=12abc\r\n"
            "TooBig=4294967296\r\n"
            "Long=" + std::string(2000, 'x') + "\r\n"
            "\r\n"
            "[font]\r\n"
            "Font.Name=Courier New\r\n");
  PrivateProfile ini(path);
  EXPECT_EQ(ini.ReadString("MAIN", "MailDirectory", ""), "/home/ann/Mail/");
  EXPECT_EQ(ini.ReadString("main", "Quoted", ""), "a \"b\" c") << "one enclosing pair only";
  EXPECT_EQ(ini.ReadString("main", "OneQuote", ""), "\"x");
  EXPECT_EQ(ini.ReadInteger("main", "Color", 0), -2147483640);
  EXPECT_EQ(ini.ReadInteger("main", "Hex", 0), 255);
  EXPECT_EQ(ini.ReadInteger("main", "Negative", 0), -2147483640);
  EXPECT_EQ(ini.ReadInteger("main", "Bad", 7), 7);
  EXPECT_EQ(ini.ReadInteger("main", "TooBig", 7), 7);
  EXPECT_EQ(ini.ReadString("Font", "font.name", ""), "Courier New");
  EXPECT_EQ(ini.ReadString("main", "Long", ""), std::string(1023, 'x')) << "room for 1023 characters";
  EXPECT_EQ(ini.SectionKeys("main"),
            (std::vector<std::string>{"mailDIRECTORY", "Quoted", "OneQuote", "Color", "Hex", "Negative",
                                      "Bad", "TooBig", "Long"}));
}

TEST_F(ProfileTest, WriteKeepsEveryOtherLineByteForByte) {
  EXPECT_EQ(Rewrite("; comment\r\n[main]\r\nA=1\r\n  odd line without equals\r\nB = 2\r\n\r\n[filters]\r\n"
                    "1.FolderText=\"x\"\r\n",
                    [](PrivateProfile& ini) {
                      ini.WriteString("MAIN", "b", "3");
                      ini.WriteString("main", "C", "new");
                      ini.WriteString("other", "D", "4");
                    }),
            "; comment\r\n[main]\r\nA=1\r\n  odd line without equals\r\nb=3\r\nC=new\r\n\r\n"
            "[filters]\r\n1.FolderText=\"x\"\r\n[other]\r\nD=4\r\n");
  // An LF file stays LF, and a last line without its end gets one.
  EXPECT_EQ(Rewrite("[main]\nA=1", [](PrivateProfile& ini) { ini.WriteString("main", "B", "2"); }),
            "[main]\nA=1\nB=2\n");
}

TEST_F(ProfileTest, EraseSectionRemovesEveryCopyOfIt) {
  EXPECT_EQ(Rewrite("[main]\nA=1\n[font]\nF=2\n[Main]\nA=3\n",
                    [](PrivateProfile& ini) {
                      ini.EraseSection("main");
                      ini.WriteString("main", "A", "4");
                    }),
            "[font]\nF=2\n[main]\nA=4\n");
  EXPECT_EQ(PrivateProfile(path).ReadString("main", "A", ""), "4");
}

TEST_F(ProfileTest, LineBreaksInAValueCannotSplitTheFile) {
  PrivateProfile ini(path);
  ini.WriteString("main", "A", "one\r\n[evil]\r\nB=2");
  ASSERT_TRUE(ini.Save());
  PrivateProfile again(path);
  EXPECT_EQ(again.ReadString("main", "A", ""), "one");
  EXPECT_TRUE(again.SectionKeys("evil").empty());
}

TEST_F(ProfileTest, SaveIsAtomicAndMakesTheFolder) {
  std::string nested = dir / "config/corvelle/CORVEL.INI";
  PrivateProfile ini(nested);
  ini.WriteString("main", "A", "1");
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(ReadFile(nested), "[main]\r\nA=1\r\n");
  EXPECT_EQ(testing::ListNames(dir / "config/corvelle"), std::vector<std::string>{"CORVEL.INI"})
      << "no temporary file left behind";
}

TEST_F(ProfileTest, FileNameMatchesIgnoringCase) {
  WriteFile(dir / "corvel.ini", "[main]\nA=1\n");
  PrivateProfile ini(path);
  EXPECT_EQ(ini.ReadString("main", "A", ""), "1");
  ini.WriteString("main", "A", "2");
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(ReadFile(dir / "corvel.ini"), "[main]\nA=2\n");
}

TEST(SettingsFilePathTest, FollowsXdgConfigHome) {
  TempDir dir;
  testing::ScopedEnv env("XDG_CONFIG_HOME", dir.path() + "cfg");
  EXPECT_EQ(SettingsFilePath(), dir / "cfg/corvelle/CORVEL.INI");
}

}  // namespace
}  // namespace corvelle
