#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/cmdline/mailto.h"
#include "core/cmdline/parms.h"

namespace corvelle {
namespace {

std::string Join(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) text += (i ? separator : "") + items[i];
  return text;
}

// The link's fields as "to|cc|subject|body" (addresses joined by ",", lines by "/"), or
// "!" for a refused link.
std::string Fields(const std::string& link) {
  std::string error;
  std::optional<MailtoLink> parsed = ParseMailto(link, error);
  if (!parsed) return "!";
  EXPECT_TRUE(error.empty()) << link;
  return Join(parsed->to, ",") + "|" + Join(parsed->cc, ",") + "|" + parsed->subject + "|" + Join(parsed->body, "/");
}

TEST(Mailto, FieldsOfGoodAndBadLinks) {
  struct Row { std::string link, fields; };
  const Row rows[] = {
      {"mailto:ann@example.org", "ann@example.org|||"},
      {"MAILTO:ann@example.org", "ann@example.org|||"},
      {"mailto:ann@example.org?cc=bob@example.org&subject=Hello%20there&body=Line%201%0ALine%202",
       "ann@example.org|bob@example.org|Hello there|Line 1/Line 2"},
      // Several addresses, in the path and in "to=", encoded commas too.
      {"mailto:a@x.org,b@x.org?to=c@x.org%2Cd@x.org&cc=e@x.org,f@x.org", "a@x.org,b@x.org,c@x.org,d@x.org|e@x.org,f@x.org||"},
      {"mailto:?to=ann@example.org&subject=Hi", "ann@example.org||Hi|"},
      {"mailto:ann%40example.org", "ann@example.org|||"},
      // A display name with its address in angle brackets.
      {"mailto:Ann%20Example%20%3Cann@example.org%3E", "Ann Example <ann@example.org>|||"},
      // Field names in any case; "+" is a plus sign; UTF-8 passes through.
      {"mailto:a@x.org?SUBJECT=1+1%3D2&Body=caf%C3%A9", "a@x.org||1+1=2|caf\xC3\xA9"},
      // CR LF, lone CR and lone LF all end a line; an empty line stays.
      {"mailto:a@x.org?body=one%0D%0Atwo%0Dthree%0A%0Afive", "a@x.org|||one/two/three//five"},
      // Fields a link must not set, and unknown ones, are ignored.
      {"mailto:a@x.org?from=evil@x.org&bcc=hidden@x.org&reply-to=z@x.org&x-foo=1&in-reply-to=%3Cid%3E", "a@x.org|||"},
      // The first subject and body count; empty fields and items are skipped.
      {"mailto:a@x.org,,?subject=one&subject=two&&body=b", "a@x.org||one|b"},
      {"mailto:", "|||"},
      // Refused: bad escapes, no address, injected header lines, broken subject.
      {"mailto:a@x.org?subject=100%", "!"},
      {"mailto:a@x.org?body=%G1", "!"},
      {"mailto:a@x.org%2", "!"},
      {"mailto:nobody", "!"},
      {"mailto:a@x.org%0D%0ABcc:%20b@x.org", "!"},
      {"mailto:a@x.org?cc=b@x.org%0ABcc:c@x.org", "!"},
      {"mailto:a@x.org?subject=Hi%0D%0ABcc:%20b@x.org", "!"},
      {"mailto:ann example@x.org", "!"},
      {"mailto:Ann%0A%3Cann@x.org%3E", "!"},
      {"mailto:Ann%20%3Cann%20x@x.org%3E", "!"},
      {"mailto:Ann%20%3Cann@x.org", "!"},
      {"http://example.org", "!"},
  };
  for (const Row& row : rows) EXPECT_EQ(Fields(row.link), row.fields) << row.link;
}

TEST(Mailto, RefusalSaysWhy) {
  std::string error;
  EXPECT_FALSE(ParseMailto("mailto:nobody", error));
  EXPECT_EQ(error, "\"nobody\" is not an e-mail address");
  EXPECT_FALSE(ParseMailto("mailto:a@x.org?subject=a%0Ab", error));
  EXPECT_EQ(error, "the subject has a line break");
}

TEST(Mailto, LinkAmongOptions) {
  ParsedParms parsed = ParseParms({"/g", "mailto:a@x.org?subject=Hi", "/f"});
  ASSERT_EQ(parsed.steps.size(), 3u);
  EXPECT_EQ(parsed.steps[1].action, ParmAction::MailTo);
  EXPECT_EQ(parsed.steps[1].args, std::vector<std::string>{"mailto:a@x.org?subject=Hi"});
  EXPECT_TRUE(parsed.opens_window);
  EXPECT_FALSE(parsed.bad);

  // A bad link stops the list like a bad option, with its own reason.
  parsed = ParseParms({"/g", "mailto:a@x.org?subject=%zz", "/f"});
  EXPECT_EQ(parsed.steps.size(), 1u);
  EXPECT_TRUE(parsed.bad);
  EXPECT_NE(parsed.bad_link.find("cannot be used: a \"%\" is not followed"), std::string::npos) << parsed.bad_link;

  // File arguments after a link are still made absolute; the link is left alone.
  EXPECT_EQ(AbsoluteParmPaths({"mailto:a@x.org?body=x/y", "/o", "m.mail"}, "/home/u"),
            (std::vector<std::string>{"mailto:a@x.org?body=x/y", "/o", "/home/u/m.mail"}));
}

TEST(Mailto, FileUrlsOpenTheirFile) {
  ParsedParms parsed = ParseParms({"file:///home/ann/Mail/Inbox/Caf%C3%A9%20menu.mail", "FILE://localhost/tmp/a%25b.mail"});
  ASSERT_EQ(parsed.steps.size(), 2u);
  EXPECT_EQ(parsed.steps[0].action, ParmAction::Open);
  EXPECT_EQ(parsed.steps[0].args, std::vector<std::string>{"/home/ann/Mail/Inbox/Caf\xC3\xA9 menu.mail"});
  EXPECT_EQ(parsed.steps[1].args, std::vector<std::string>{"/tmp/a%b.mail"});
  EXPECT_TRUE(parsed.opens_window);
  // Another host's file, a broken escape or a NUL is no file of this machine: a bad option.
  for (const char* url : {"file://server/share/a.mail", "file:///a%2.mail", "file:///a%00b"})
    EXPECT_TRUE(ParseParms({url}).bad) << url;
  // The plain path a desktop may give instead of a file: URL opens the file; a path that
  // names no file is still a bad option.
  const std::string message = testing::TempDir() + "/Plain path.mail";
  std::FILE* file = std::fopen(message.c_str(), "w");
  ASSERT_TRUE(file);
  std::fclose(file);
  parsed = ParseParms({message, "/g"});
  ASSERT_EQ(parsed.steps.size(), 2u);
  EXPECT_EQ(parsed.steps[0].action, ParmAction::Open);
  EXPECT_EQ(parsed.steps[0].args, std::vector<std::string>{message});
  EXPECT_EQ(AbsoluteParmPaths({message, "/i", "box"}, "/w")[2], "/w/box");
  EXPECT_TRUE(ParseParms({testing::TempDir() + "/no such.mail"}).bad);
  std::remove(message.c_str());
}

TEST(GnuOptions, HelpAndVersion) {
  EXPECT_FALSE(GnuOptionText({"/g", "mailto:a@x.org"}, "1.0"));
  EXPECT_FALSE(GnuOptionText({"/j", "--help", "/n", "--version"}, "1.0"));  // arguments, not options
  EXPECT_EQ(GnuOptionText({"--version"}, "1.24"), std::optional<std::string>("Corvelle 1.24\n"));
  std::optional<std::string> help = GnuOptionText({"/g", "--help"}, "1.24");
  ASSERT_TRUE(help);
  for (const char* part : {"Usage: corvelle", "/n <addr> - new mail, /g - get/send all\n", "/f - run mail filter\n",
                           "mailto:", "--new-instance", "--help", "--version"})
    EXPECT_NE(help->find(part), std::string::npos) << part;
  EXPECT_EQ(help->find('\r'), std::string::npos);
  EXPECT_EQ(help->find("ERROR"), std::string::npos);
}

}  // namespace
}  // namespace corvelle
