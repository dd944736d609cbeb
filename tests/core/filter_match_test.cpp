// Where the rules send a message: only rules and lines, no files and no interface.

#include <gtest/gtest.h>

#include "core/filters/filter_match.h"

namespace corvelle {
namespace {

using Lines = std::vector<std::string>;

const Lines kMessage = {"From: Ann Smith", "Subject: Budget", "\tfor March", "", "Please pay the INVOICE"};

TEST(RuleMatcherTest, FirstRuleWhoseConditionsAllHoldTakesTheMessage) {
  const std::vector<FilterRule> rules = {
      {{{"From", "ann"}, {"Subject", "lunch"}}, "\"Food\""},  // one condition fails
      {{}, "\"NoCondition\""},                                 // takes no mail, is looked at
      {{{"From", "ann"}, {"Subject", "", }}, "\"Empty\""},    // an empty search matches nothing
      {{{"FROM", "SMITH"}, {"subject", "budget for"}}, "\"Work\",\"Archive\""},
      {{{"*Default*", ""}}, "\"Later\""},
  };
  const RuleMatcher matcher(rules, "\"/mail/Inbox\"");
  EXPECT_EQ(matcher.RuleCount(), 5u);
  FilterMatch match = matcher.Match(kMessage);
  EXPECT_EQ(match.folders, "\"Work\",\"Archive\"");
  EXPECT_EQ(match.rules_tried, 4u);
}

TEST(RuleMatcherTest, NoRuleTakesItIntoTheDefaultFoldersAfterTryingEvery) {
  const std::vector<FilterRule> rules = {
      {{{"To", "ann"}}, "\"A\""},
      {{{"*Message Text*", "invoice"}}, "\"\""},          // no folder named: takes no mail
      {{{"*Message Text*", "invoice"}}, "\"B\",\"\""},    // an empty folder: takes no mail
      {{{"*message text*", "budget"}}, "\"C\""},          // the header is not the body
  };
  FilterMatch match = RuleMatcher(rules, "\"/mail/Inbox\"").Match(kMessage);
  EXPECT_EQ(match.folders, "\"/mail/Inbox\"");
  EXPECT_EQ(match.rules_tried, 4u);
  EXPECT_EQ(RuleMatcher({}, "\"D\"").Match(kMessage).rules_tried, 0u);
}

// *Account* tests the title of the account the message came from, never a header field.
TEST(RuleMatcherTest, AccountConditionTestsTheOriginNotTheHeader) {
  const std::vector<FilterRule> rules = {{{{"*Account*", "work"}, {"From", "ann"}}, "\"Work\""}};
  const RuleMatcher matcher(rules, "\"/mail/Inbox\"");
  const Lines with_field = {"From: Ann", "Account: work", "", "work"};
  EXPECT_EQ(matcher.Match(kMessage, {"My WORK mail", ""}).folders, "\"Work\"");
  EXPECT_EQ(matcher.Match(with_field).folders, "\"/mail/Inbox\"");
  EXPECT_EQ(matcher.Match(with_field, {"home", "\"/mail/Home\""}).folders, "\"/mail/Home\"");
}

TEST(RuleMatcherTest, WhatARuleTakesAndHowItIsShown) {
  EXPECT_TRUE(TakesMail({{{"From", "a"}}, "\"A\",\"B\""}));
  EXPECT_FALSE(TakesMail({{}, "\"A\""}));
  EXPECT_FALSE(TakesMail({{{"From", "a"}}, ""}));
  EXPECT_EQ(FilterRuleText({{{"From", "smith"}, {"Subject", "budget"}}, "\"Work\""}),
            "From smith AND Subject budget INTO FOLDER \"Work\"");
  EXPECT_EQ(FilterRuleText({{}, "\"A\""}), " INTO FOLDER \"A\"");
  const std::string long_text(300, 'x');
  FilterRule cut = WithConditionWidth({{{long_text, long_text}}, long_text});
  EXPECT_EQ(cut.conditions[0].header.size(), kConditionWidth);
  EXPECT_EQ(cut.conditions[0].search.size(), kConditionWidth);
  EXPECT_EQ(cut.folders, long_text);
}

// A message matched as stored (its header lines, then its body bytes) is matched as its
// lines are: a CR before an LF ends the line, any other CR stays in it, and no search spans
// two lines.
TEST(RuleMatcherTest, StoredBodyMatchesAsItsLines) {
  const Lines header = {"From: Ann", ""};
  const std::string body = "One\r\nTwo\rthree\nfour\r\r\n\r\nLast";
  const Lines lines = {"From: Ann", "", "One", "Two\rthree", "four\r", "", "Last"};
  for (const char* search : {"two\rthree", "four\r", "ONE", "last", "one\r", "one\ntwo", "one\r\ntwo", "r\r\r", "\r\n"}) {
    const RuleMatcher matcher({{{{"*Message Text*", search}}, "\"Hit\""}}, "\"Miss\"");
    EXPECT_EQ(matcher.Match(MatchedMessage(header, body)).folders, matcher.Match(lines).folders) << search;
  }
  const RuleMatcher matcher({{{{"*Message Text*", "four\r"}}, "\"Hit\""}}, "\"Miss\"");
  EXPECT_EQ(matcher.Match(MatchedMessage(header, body)).folders, "\"Hit\"");
  EXPECT_EQ(matcher.Match(MatchedMessage(Lines{"From: Ann"}, "")).folders, "\"Miss\"");  // no body
}

}  // namespace
}  // namespace corvelle
