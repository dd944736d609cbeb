#include "platform/file_types.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

using testing::ReadFile;
using testing::ScopedEnv;
using testing::TempDir;
using testing::WriteFile;

class FileTypesTest : public ::testing::Test {
 protected:
  std::string Mime(const std::string& id) { return data + "/mime/packages/" + id + ".xml"; }
  std::string Desktop(const std::string& id) { return data + "/applications/" + id + ".desktop"; }

  TempDir dir;
  std::string data = dir.path() + "share";
  ScopedEnv data_env{"XDG_DATA_HOME", data};
  ScopedEnv home_env{"HOME", dir.path() + "home"}, path_env{"PATH", dir.path() + "bin"};  // no cache tools
  std::string program = "/opt/corvelle/bin/corvelle";
};

TEST_F(FileTypesTest, RegisteredTypesAreSkippedUnlessForced) {
  ASSERT_EQ(AssociateFiles(false, program), 12);
  // The lines that make a type work: its glob, and what each Exec starts.
  EXPECT_NE(ReadFile(Mime("corvelle-new")).find("<glob pattern=\"*.newmail\"/>"), std::string::npos);
  for (const char* action : {"open", "replyto", "autoadd"})
    EXPECT_NE(ReadFile(Desktop("corvelle-mail")).find("\nExec=\"" + program + "\" " + action + " %f\n"),
              std::string::npos) << action;
  WriteFile(Mime("corvelle-mail"), "kept\n");
  EXPECT_EQ(AssociateFiles(false, "/elsewhere/corvelle"), 0);
  // One missing file of a type counts as the type missing; only that type is written.
  ASSERT_EQ(::unlink(Desktop("corvelle-new").c_str()), 0);
  EXPECT_EQ(AssociateFiles(false, "/elsewhere/corvelle"), 6);
  EXPECT_EQ(ReadFile(Mime("corvelle-mail")), "kept\n");
  EXPECT_NE(ReadFile(Desktop("corvelle-new")).find("Exec=\"/elsewhere/corvelle\" open %f"), std::string::npos);
  // Forced: everything again; a file that is not ours is rebuilt; lines replaced, never added.
  EXPECT_EQ(AssociateFiles(true, program), 12);
  EXPECT_NE(ReadFile(Mime("corvelle-mail")).find("<comment>Mail file</comment>"), std::string::npos);
  std::string desktop = ReadFile(Desktop("corvelle-new"));
  EXPECT_EQ(desktop.find("/elsewhere/"), std::string::npos);
  size_t count = 0;
  for (size_t at = desktop.find("Exec="); at != std::string::npos; at = desktop.find("Exec=", at + 1)) ++count;
  EXPECT_EQ(count, 3u);
}

TEST_F(FileTypesTest, ExecQuotingFollowsTheDesktopEntryRules) {
  // Program, then what follows "/x/" in its quoted form.
  std::pair<std::string, std::string> rows[] = {{"/x/My Apps/c", "My Apps/c"}, {"/x/$HOME/c", "\\$HOME/c"},
                                                {"/x/a\"b", "a\\\"b"},        {"/x/`id`", "\\`id\\`"},
                                                {"/x/a\\b", "a\\\\b"},        {"/x/100%f", "100%%f"},
                                                {"/x/a;rm -rf ~", "a;rm -rf ~"}};
  for (const auto& [program, quoted] : rows) EXPECT_EQ(ExecLine(program, "open"), "\"/x/" + quoted + "\" open %f");
  // The file holds the value with the string escapes of desktop entries on top.
  ASSERT_TRUE(RegSetString("Corvelle.mail/shell/Open/command", "", ExecLine("/x/a\\b$", "open")));
  EXPECT_NE(ReadFile(Desktop("corvelle-mail")).find("\nExec=\"/x/a\\\\\\\\b\\\\$\" open %f\n"), std::string::npos);
}

TEST_F(FileTypesTest, KeysExistAsTheirFilesAndLines) {
  ASSERT_TRUE(RegSetString(".mail", "", "Corvelle.mail"));
  EXPECT_TRUE(RegKeyExists(".mail", ""));
  EXPECT_FALSE(RegKeyExists(".newmail", ""));
  EXPECT_FALSE(RegKeyExists("Corvelle.mail", "")) << "the desktop entry is still missing";
  ASSERT_TRUE(RegSetString("corvelle.MAIL/Shell/autoadd/Command", "", "x"));
  EXPECT_TRUE(RegKeyExists("Corvelle.mail/shell/Autoadd/command", ""));
  EXPECT_FALSE(RegKeyExists("Corvelle.mail/shell/R&eply/command", ""));
  EXPECT_TRUE(RegKeyExists("Corvelle.mail", ""));
  EXPECT_FALSE(RegKeyExists("Corvelle.mail", "EditFlags")) << "only default values are kept";
}

TEST_F(FileTypesTest, UnknownOrUnsafeKeysWriteNothingAndMarkupIsEscaped) {
  for (const char* key : {"../../evil", "Corvelle.mail/shell/Print/command", "Corvelle.mail/Other", ".ma/il"})
    EXPECT_FALSE(RegSetString(key, "", "Corvelle.mail")) << key;
  EXPECT_FALSE(RegSetString(".mail", "", "../x"));
  EXPECT_FALSE(RegSetString("Corvelle.mail", "Named", "x"));
  EXPECT_FALSE(PathExists(data));
  ASSERT_TRUE(RegSetString("Corvelle.mail", "", "Mail <&> \"file\""));
  EXPECT_NE(ReadFile(Mime("corvelle-mail")).find(">Mail &lt;&amp;&gt; &quot;file&quot;<"), std::string::npos);
  ASSERT_TRUE(RegSetString("Corvelle.mail/shell/Open/command", "", "a\nb"));
  EXPECT_NE(ReadFile(Desktop("corvelle-mail")).find("Exec=a\\nb\n"), std::string::npos);
}

TEST_F(FileTypesTest, DataHomeFallsBackToHomeAndProgramPathIsThisExecutable) {
  for (const char* setting : {"relative/share", ""}) {
    ScopedEnv env{"XDG_DATA_HOME", setting};
    EXPECT_EQ(DataHome(), dir.path() + "home/.local/share") << setting;
  }
  ScopedEnv trailing{"XDG_DATA_HOME", data + "/"};
  EXPECT_EQ(DataHome(), data);
  EXPECT_EQ(ProgramPath(), std::filesystem::read_symlink("/proc/self/exe").string());
}

TEST_F(FileTypesTest, CacheToolsGetTheFoldersAsSingleArguments) {
  // A data home that a shell would split and expand.
  std::string odd = dir.path() + "da ta;$(touch " + dir.path() + "pwned)", log = dir.path() + "tool.log";
  ScopedEnv data_env2{"XDG_DATA_HOME", odd};
  WriteFile(dir.path() + "bin/update-mime-database",
            "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done >> '" + log + "'\n");
  ASSERT_EQ(::chmod((dir.path() + "bin/update-mime-database").c_str(), 0755), 0);
  EXPECT_EQ(AssociateFiles(false, program), 12);
  EXPECT_EQ(AssociateFiles(false, program), 0) << "nothing written, nothing refreshed";
  EXPECT_FALSE(PathExists(dir.path() + "pwned"));
  EXPECT_EQ(ReadFile(log), "[" + odd + "/mime]\n");
}

}  // namespace
}  // namespace corvelle
