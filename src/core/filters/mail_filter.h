#pragma once
// The filter rules of the settings file (see filter_rules.h), as the setup page edits them,
// and the filtering pass that files the mail waiting in "Spool".

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "core/accounts/account.h"
#include "core/filters/filter_rules.h"
#include "core/store/mail_store.h"

namespace corvelle {

class StatusText;
class UserInterface;

// The line a finished pass leaves for the user: "Filtering complete. N messages left in
// Spool.", or "" when none was left.
std::string FilteringCompleteText(int left_in_spool);

class TMailFilter {
 public:
  // Loads the rules from the settings file (LoadFilters).
  TMailFilter();
  // Saves the rules when they changed, unless Discard was set.
  ~TMailFilter();
  TMailFilter(const TMailFilter&) = delete;
  TMailFilter& operator=(const TMailFilter&) = delete;

  // Reads section `filters` of the settings file (ReadFilterRules). True when there is at
  // least one rule.
  bool LoadFilters();
  // Writes every rule into section `filters` (WriteFilterRules). False when the settings
  // file could not be written.
  bool SaveFilters();

  int FilterCount() const { return static_cast<int>(rules_.size()); }
  bool Modified() const { return modified_; }
  void SetDiscard(bool discard) { discard_ = discard; }
  // Where a pass writes its status lines (not owned; may be null).
  void InitStatus(StatusText* memo) { status_ = memo; }

  // The rules in filtering order; rule n (1-based) is Rules()[n - 1].
  const std::vector<FilterRule>& Rules() const { return rules_; }
  // The display text of every rule (FilterRuleText), in rule order.
  std::vector<std::string> RuleTexts() const;

  // Stores `rule` as rule `index` (1-based), or as a new last rule when `index` is 0; its
  // header names and search texts are cut to kConditionWidth characters. False (nothing
  // changed) when rule `index` does not exist or `rule` has no condition.
  bool PutRule(const FilterRule& rule, int index);
  // Removes rule `index`; the rules after it move up. False when it does not exist.
  bool DeleteFilter(int index);
  // Exchanges rules `a` and `b`. False when either does not exist.
  bool SwapFilter(int a, int b);

  // Makes every folder that a rule files into, and the folder texts `also`, (and the folders
  // above them) in `store`. Shows "Could not create all filter directories." on `ui` and
  // returns false when one could not be made.
  bool CreateFilterFolders(const MailStore& store, UserInterface& ui, const std::vector<std::string>& also = {}) const;

  // One filtering pass over the ".new" and ".mai" files of the spool folder of `store`:
  // each goes into every folder of the first rule whose conditions all hold (RuleMatcher),
  // or into the folder of the account it came from (`accounts`, the first first; its spool
  // mark tells which: MailOrigins), or, when that has none, into `default_folder`; empty
  // `accounts` is one unnamed account. A message leaves "Spool" only when every folder
  // received it; one that could not be read, is empty, or was not filed everywhere stays for
  // the next pass (recorded, when some folders hold it already, so the next pass completes it
  // without a second copy; see spool_filing.h). The pass first completes what an earlier
  // pass left recorded and removes stale work files. Progress goes to `ui`. The store and
  // folder are copies: a pass keeps to what it started with. Returns how many messages
  // stayed in "Spool".
  int FilterMail(MailStore store, std::string default_folder, UserInterface& ui,
                 const std::vector<Account>& accounts = {});
  // Messages filed already, straight at their retrieval, as the next pass would have filed
  // them (direct_filing.h): that pass counts them among its new messages and reports their
  // subjects first.
  void FiledAhead(std::vector<std::string> subjects) { filed_ahead_ = std::move(subjects); }
  // The subjects of the messages the last pass filed (SpoolFiling::FiledSubjects): how many
  // and which messages are new since it.
  const std::vector<std::string>& FiledSubjects() const { return filed_subjects_; }

  // Spool files larger than this are not loaded: they are matched on their header lines and
  // their bytes are copied and moved as they are.
  size_t load_limit = size_t{64} << 20;

 private:
  bool ValidIndex(int index) const { return index >= 1 && index <= FilterCount(); }

  std::vector<FilterRule> rules_;
  bool modified_ = false;
  bool discard_ = false;
  StatusText* status_ = nullptr;
  std::vector<std::string> filed_subjects_;
  std::vector<std::string> filed_ahead_;
};

}  // namespace corvelle
