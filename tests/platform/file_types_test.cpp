#include "platform/file_types.h"

#include <sys/stat.h>
#include <unistd.h>

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
  ScopedEnv home_env{"HOME", dir.path() + "home"};
  ScopedEnv path_env{"PATH", dir.path() + "bin"};  // no cache tools unless a test adds them
  std::string program = "/opt/corvelle/bin/corvelle";
};

TEST_F(FileTypesTest, FirstRegistrationWritesBothTypes) {
  EXPECT_EQ(AssociateFiles(false, program), 12);
  EXPECT_EQ(ReadFile(Mime("corvelle-mail")),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            "  <mime-type type=\"application/x-corvelle-mail\">\n"
            "    <sub-class-of type=\"text/plain\"/>\n"
            "    <glob pattern=\"*.mail\"/>\n"
            "    <comment>Mail file</comment>\n"
            "    <icon name=\"internet-mail\"/>\n"
            "  </mime-type>\n"
            "</mime-info>\n");
  EXPECT_EQ(ReadFile(Desktop("corvelle-new")),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Corvelle\n"
            "Icon=internet-mail\n"
            "NoDisplay=true\n"
            "MimeType=application/x-corvelle-new;\n"
            "Actions=replyto;autoadd;\n"
            "Exec=\"/opt/corvelle/bin/corvelle\" open %f\n"
            "\n"
            "[Desktop Action replyto]\n"
            "Name=Reply\n"
            "Exec=\"/opt/corvelle/bin/corvelle\" replyto %f\n"
            "\n"
            "[Desktop Action autoadd]\n"
            "Name=Autoadd\n"
            "Exec=\"/opt/corvelle/bin/corvelle\" autoadd %f\n");
  std::string other = ReadFile(Mime("corvelle-new"));
  EXPECT_TRUE(other.find("<glob pattern=\"*.newmail\"/>") != std::string::npos &&
              other.find("<comment>New mail file</comment>") != std::string::npos) << other;
}

TEST_F(FileTypesTest, RegisteredTypesAreSkippedUnlessForced) {
  ASSERT_EQ(AssociateFiles(false, program), 12);
  WriteFile(Mime("corvelle-mail"), "kept\n");
  EXPECT_EQ(AssociateFiles(false, "/elsewhere/corvelle"), 0);
  EXPECT_EQ(ReadFile(Mime("corvelle-mail")), "kept\n");

  // One missing file of a type counts as the type missing; only that type is written.
  ASSERT_EQ(::unlink(Desktop("corvelle-new").c_str()), 0);
  EXPECT_EQ(AssociateFiles(false, "/elsewhere/corvelle"), 6);
  EXPECT_EQ(ReadFile(Mime("corvelle-mail")), "kept\n");
  EXPECT_NE(ReadFile(Desktop("corvelle-new")).find("Exec=\"/elsewhere/corvelle\" open %f"), std::string::npos);

  // Forced: everything again, and a file that is not ours is rebuilt, not patched; lines
  // are replaced, never added.
  std::string first = ReadFile(Mime("corvelle-new"));
  EXPECT_EQ(AssociateFiles(true, program), 12);
  EXPECT_NE(ReadFile(Mime("corvelle-mail")).find("<comment>Mail file</comment>"), std::string::npos);
  EXPECT_EQ(ReadFile(Mime("corvelle-mail")).find("kept"), std::string::npos);
  EXPECT_EQ(ReadFile(Mime("corvelle-new")), first);
  std::string desktop = ReadFile(Desktop("corvelle-new"));
  EXPECT_EQ(desktop.find("/elsewhere/"), std::string::npos);
  size_t count = 0;
  for (size_t at = desktop.find("Exec="); at != std::string::npos; at = desktop.find("Exec=", at + 1)) ++count;
  EXPECT_EQ(count, 3u);
}

TEST_F(FileTypesTest, ExecQuotingFollowsTheDesktopEntryRules) {
  struct Row {
    const char* name;
    std::string program;
    std::string exec;     // the Exec value
    std::string in_file;  // as written to the file, with string escapes applied
  } rows[] = {
      {"plain", "/usr/bin/corvelle", "\"/usr/bin/corvelle\" open %f", "\"/usr/bin/corvelle\" open %f"},
      {"space", "/opt/My Apps/corvelle", "\"/opt/My Apps/corvelle\" open %f", "\"/opt/My Apps/corvelle\" open %f"},
      {"dollar", "/x/$HOME/c", "\"/x/\\$HOME/c\" open %f", "\"/x/\\\\$HOME/c\" open %f"},
      {"quote", "/x/a\"b", "\"/x/a\\\"b\" open %f", "\"/x/a\\\\\"b\" open %f"},
      {"backquote", "/x/`id`", "\"/x/\\`id\\`\" open %f", "\"/x/\\\\`id\\\\`\" open %f"},
      {"backslash", "/x/a\\b", "\"/x/a\\\\b\" open %f", "\"/x/a\\\\\\\\b\" open %f"},
      {"percent", "/x/100%f", "\"/x/100%%f\" open %f", "\"/x/100%%f\" open %f"},
      {"semicolon", "/x/a;rm -rf ~", "\"/x/a;rm -rf ~\" open %f", "\"/x/a;rm -rf ~\" open %f"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ExecLine(row.program, "open"), row.exec);
    ASSERT_TRUE(RegSetString("Corvelle.mail/shell/Open/command", "", ExecLine(row.program, "open")));
    EXPECT_NE(ReadFile(Desktop("corvelle-mail")).find("\nExec=" + row.in_file + "\n"), std::string::npos);
  }
}

TEST_F(FileTypesTest, KeysExistAsTheirFilesAndLines) {
  EXPECT_FALSE(RegKeyExists("Corvelle.mail", ""));
  EXPECT_FALSE(RegKeyExists(".mail", ""));
  ASSERT_TRUE(RegSetString(".mail", "", "Corvelle.mail"));
  EXPECT_TRUE(RegKeyExists(".mail", ""));
  EXPECT_FALSE(RegKeyExists(".newmail", ""));
  EXPECT_FALSE(RegKeyExists("Corvelle.mail", "")) << "the desktop entry is still missing";
  EXPECT_FALSE(RegKeyExists("Corvelle.mail/shell/Autoadd/command", ""));
  ASSERT_TRUE(RegSetString("corvelle.MAIL/Shell/autoadd/Command", "", "x"));
  EXPECT_TRUE(RegKeyExists("Corvelle.mail/shell/Autoadd/command", ""));
  EXPECT_FALSE(RegKeyExists("Corvelle.mail/shell/R&eply/command", ""));
  EXPECT_TRUE(RegKeyExists("Corvelle.mail", ""));
  EXPECT_FALSE(RegKeyExists("Corvelle.mail", "EditFlags")) << "only default values are kept";
}

TEST_F(FileTypesTest, UnknownOrUnsafeKeysWriteNothing) {
  EXPECT_FALSE(RegSetString("../../evil", "", "x"));
  EXPECT_FALSE(RegSetString("Corvelle.mail/shell/Print/command", "", "x"));
  EXPECT_FALSE(RegSetString("Corvelle.mail/Other", "", "x"));
  EXPECT_FALSE(RegSetString(".ma/il", "", "Corvelle.mail"));
  EXPECT_FALSE(RegSetString(".mail", "", "../x"));
  EXPECT_FALSE(RegSetString("Corvelle.mail", "Named", "x"));
  EXPECT_FALSE(PathExists(data));
}

TEST_F(FileTypesTest, MarkupInValuesIsEscaped) {
  ASSERT_TRUE(RegSetString("Corvelle.mail", "", "Mail <&> \"file\""));
  EXPECT_NE(ReadFile(Mime("corvelle-mail")).find("<comment>Mail &lt;&amp;&gt; &quot;file&quot;</comment>"),
            std::string::npos);
  ASSERT_TRUE(RegSetString("Corvelle.mail/shell/Open/command", "", "a\nb"));
  EXPECT_NE(ReadFile(Desktop("corvelle-mail")).find("Exec=a\\nb\n"), std::string::npos);
}

TEST_F(FileTypesTest, DataHomeFallsBackToHomeForARelativeSetting) {
  {
    ScopedEnv relative{"XDG_DATA_HOME", "relative/share"};
    EXPECT_EQ(DataHome(), dir.path() + "home/.local/share");
    ScopedEnv empty{"XDG_DATA_HOME", ""};
    EXPECT_EQ(DataHome(), dir.path() + "home/.local/share");
  }
  ScopedEnv trailing{"XDG_DATA_HOME", data + "/"};
  EXPECT_EQ(DataHome(), data);
}

TEST_F(FileTypesTest, CacheToolsGetTheFoldersAsSingleArguments) {
  // A data home that a shell would split and expand.
  std::string odd = dir.path() + "da ta;$(touch " + dir.path() + "pwned)";
  ScopedEnv data_env2{"XDG_DATA_HOME", odd};
  std::string log = dir.path() + "tool.log";
  WriteFile(dir.path() + "bin/update-mime-database",
            "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done >> '" + log + "'\n");
  ASSERT_EQ(::chmod((dir.path() + "bin/update-mime-database").c_str(), 0755), 0);
  EXPECT_EQ(AssociateFiles(false, program), 12);
  EXPECT_EQ(ReadFile(log), "[" + odd + "/mime]\n");
  EXPECT_FALSE(PathExists(dir.path() + "pwned"));
  // Nothing written, nothing refreshed.
  EXPECT_EQ(AssociateFiles(false, program), 0);
  EXPECT_EQ(ReadFile(log), "[" + odd + "/mime]\n");
}

TEST_F(FileTypesTest, ProgramPathIsThisExecutable) {
  std::string path = ProgramPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path[0], '/');
  EXPECT_NE(NamePart(path).find("corvelle_platform_tests"), std::string::npos);
}

}  // namespace
}  // namespace corvelle
