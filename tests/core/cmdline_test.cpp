#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/cmdline/forwarded_line.h"
#include "core/cmdline/parms.h"

namespace corvelle {
namespace {

using List = std::vector<std::string>;

// One step as "action:arg|arg", the steps joined by spaces, "!" after a bad option.
std::string Steps(const List& list) {
  ParsedParms parsed = ParseParms(list);
  std::string text;
  for (const ParmStep& step : parsed.steps) {
    text += (text.empty() ? "" : " ") + std::to_string(static_cast<int>(step.action)) + ":";
    for (size_t i = 0; i < step.args.size(); ++i) text += (i ? "|" : "") + step.args[i];
  }
  return text + (parsed.bad ? "!" : "");
}

TEST(ParseParms, KeywordsArgumentsAndBadOptions) {
  struct Row { List list; std::string steps; };
  const Row rows[] = {
      {{}, ""},
      {{"/G"}, "1:"},
      {{"GetSendAll", "filter"}, "1: 2:"},
      {{"open", "\"/m/a b\""}, "4:/m/a b"},
      {{"/O", "/m/\"x"}, "4:/m/\"x"},                       // only a matching pair goes
      {{"/r", "\"/m/x\""}, "3:/m/x"},
      {{"/a", "\"/m/x\""}, "9:/m/x"},
      {{"/n", "\"Bob\" <b@x>"}, "0:\"Bob\" <b@x>"},          // an address stays as given
      {{"/j", "Hello", "/s", "\"f.txt\"", "Someone"}, "8:Hello 7:f.txt|Someone"},
      {{"/s", "f.txt", "someone", "/j", "Hello"}, "7:f.txt|someone 8:Hello"},
      {{"/e", "Inbox", "/i", "x.pine"}, "5:Inbox 6:x.pine"},
      {{"/n"}, "!"},                                          // too few arguments left
      {{"/s", "f.txt"}, "!"},
      {{"/g", "/x", "/o", "f"}, "1:!"},                       // the rest is not looked at
      {{"-o", "f"}, "!"},
  };
  for (const Row& row : rows) EXPECT_EQ(Steps(row.list), row.steps) << testing::PrintToString(row.list);
}

// "/ga" names the account; "/g" stays get/send all.
TEST(ParseParms, GetFromOneAccount) {
  EXPECT_EQ(Steps({"/GA", "work", "/g"}), "11:work 1:");
  EXPECT_EQ(Steps({"getaccount", "my work"}), "11:my work");
  EXPECT_EQ(Steps({"/ga"}), "!");
  EXPECT_NE(GnuHelpText().find("/ga <account> - get mail from one account\n"), std::string::npos);
}

TEST(ParseParms, UsageTextIsTheFullLength) { EXPECT_EQ(std::string(kParmUsage).size(), 255u); }

TEST(ParseParms, ExitAfterOnlyForACommandLineThatOpenedNothing) {
  struct Row { List list; bool from_command_line; bool setting; bool exits; };
  const Row rows[] = {
      {{"/g"}, true, true, true},
      {{"/f", "/j", "x"}, true, true, true},
      {{"/g"}, true, false, false},
      {{"/g"}, false, true, false},
      {{"/g", "/o", "f"}, true, true, false},
      {{"/a", "f"}, true, true, false},
      {{}, true, true, false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ExitAfterParms(ParseParms(row.list), row.from_command_line, row.setting), row.exits)
        << testing::PrintToString(row.list);
}

TEST(AbsoluteParmPaths, OnlyFileArgumentsAreResolved) {
  List list{"/O", "m/a", "/n", "b@x", "/j", "subj", "/s", "\"f.txt\"", "user", "/r", "/abs", "/bad", "rel"};
  EXPECT_EQ(AbsoluteParmPaths(list, "/home/u"),
            (List{"/O", "/home/u/m/a", "/n", "b@x", "/j", "subj", "/s", "/home/u/f.txt", "user", "/r", "/abs",
                  "/bad", "rel"}));
  EXPECT_EQ(AbsoluteParmPaths({"/a", "x", "/e", ""}, "/"), (List{"/a", "/x", "/e", ""}));
}

TEST(ForwardedLine, RoundTripAndLimits) {
  List list{"open", "/m/\xe9 b", "", "/g"};
  std::optional<std::string> line = EncodeForwardedLine(list);
  ASSERT_TRUE(line);
  EXPECT_EQ(*line, std::string("open\x01/m/\xe9 b\x01\x01/g\x01"));
  EXPECT_EQ(DecodeForwardedLine(*line), list);
  EXPECT_EQ(DecodeForwardedLine(std::string("open\x01/m/x", 9)), (List{"open", "/m/x"})) << "no last terminator";
  EXPECT_EQ(DecodeForwardedLine(""), List{});
  EXPECT_EQ(DecodeForwardedLine(std::string("a\0b\x01", 4)), (List{std::string("a\0b", 3)}));
  EXPECT_FALSE(EncodeForwardedLine({"a\x01" "b"}));

  std::string path(kMaxForwardedLine - 6, 'p');  // "open" SOH path SOH: exactly the cap
  ASSERT_TRUE(EncodeForwardedLine({"open", path}));
  EXPECT_EQ(DecodeForwardedLine(*EncodeForwardedLine({"open", path})), (List{"open", path}));
  EXPECT_FALSE(EncodeForwardedLine({"open", path + "p"}));
  EXPECT_FALSE(DecodeForwardedLine(std::string(kMaxForwardedLine + 1, 'x')));
}

}  // namespace
}  // namespace corvelle
