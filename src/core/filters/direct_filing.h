#pragma once
// Filing retrieved mail straight into its folder, sparing the filtering pass its second
// reading and move of each message: the retrieval asks, with a message's header lines,
// where the pass would file it, and when that is one folder decided by the header alone it
// moves the message there at its commit, under the name the pass would give it. Mail for
// several folders, and mail known by its header alone (too large to be kept whole) that a
// rule would have to read the text of, is left in the spool folder for the pass, as before.

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/accounts/account.h"
#include "core/filters/filter_match.h"
#include "core/filters/filter_rules.h"
#include "core/filters/mail_origins.h"
#include "core/store/mail_store.h"

namespace corvelle {

// Where one message goes: `target` as MailStore::FiledTarget names it, its folder resolved
// (MoveResolvedFileUnique numbers it when taken), "" for the spool folder; `subject` is what
// the pass reports of a message it filed (FiledSubjects).
struct DirectTarget {
  std::string target, subject;
};

class DirectFiling {
 public:
  // The rules, store, default folder and accounts of a filtering pass (TMailFilter::FilterMail).
  DirectFiling(const std::vector<FilterRule>& rules, MailStore store, const std::string& default_folder,
               std::vector<Account> accounts);

  // Where the pass would file a message of `lines` (without CR LF: all of them when `whole`,
  // else its header up to and including the empty line that ends it) whose spool name would
  // be `spool_name` (its spool mark tells the account). The folder is made when missing; a
  // folder that cannot be made leaves the message to the pass, which says so.
  DirectTarget Target(const std::vector<std::string>& lines, bool whole, const std::string& spool_name);

 private:
  // The rules up to the first that reads the text, and in its place one that takes every
  // message: a message that only it takes goes to the spool.
  std::vector<FilterRule> HeaderRules(const std::vector<FilterRule>& rules);

  const MailStore store_;
  const std::vector<Account> accounts_;  // before origins_, which refers to it
  const MailOrigins origins_;
  const RuleMatcher matcher_;  // every rule, for whole messages
  bool text_rule_ = false;  // the last rule of header_matcher_ stands for one that reads the text
  const RuleMatcher header_matcher_;
  std::map<std::string, std::string> made_;  // folders known to exist, each resolved
};

}  // namespace corvelle
