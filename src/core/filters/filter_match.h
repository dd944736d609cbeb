#pragma once
// Which folders a message goes into: a pure function of the rules and the message's lines,
// apart from reading, filing and reporting.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/filters/filter_rules.h"
#include "core/filters/match_condition.h"

namespace corvelle {

struct FilterMatch {
  std::string folders;     // the folder list the message goes into
  size_t rules_tried = 0;  // how many rules were looked at, the one that took it included
};

// Where a message came from, as the rules see it.
struct MailOrigin {
  std::string account;  // the title of its account (the *Account* condition); "" when unnamed
  // The folder list it goes into when no rule takes it; "": the matcher's default folders.
  std::string folders;
};

// The rules made ready for many messages: their conditions in lower case.
class RuleMatcher {
 public:
  // `default_folders`: the folder list of a message that no rule takes.
  RuleMatcher(const std::vector<FilterRule>& rules, std::string default_folders);

  // The folders of the first rule that takes the message (TakesMail, and every condition
  // holds for `lines` from `origin.account`, see MatchCondition), else `origin.folders`, else
  // the default folders. A rule that takes no mail is looked at and passed over.
  FilterMatch Match(const std::vector<std::string>& lines, const MailOrigin& origin = {}) const;
  // The same for a message that many conditions test as it was stored.
  FilterMatch Match(const MatchedMessage& message, const MailOrigin& origin = {}) const;

  size_t RuleCount() const { return rules_.size(); }

 private:
  struct Prepared {
    std::vector<std::pair<std::string, std::string>> conditions;  // header, search
    std::string folders;
  };
  std::vector<std::optional<Prepared>> rules_;  // nullopt: a rule that takes no mail
  std::string default_folders_;
};

}  // namespace corvelle
