#pragma once
// The filter rules and the filtering pass that files the mail waiting in "Spool".
//
// A rule is one or more conditions (a header name and a search text, all of which must
// hold) and a folder list in its quoted form ("Work","Archive"). The rules live in section
// `filters` of the settings file:
//   n.c.HeaderLine / n.c.SearchText   condition c of rule n
//   n.FolderText                      the folder list of rule n
// In memory a rule is a list of lines "key=value", the header and search text of each
// condition in turn and the folder list last; only the value after the first "=" counts.

#include <cstddef>
#include <string>
#include <vector>

namespace corvelle {

class StatusText;

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

  // Reads section `filters`. Keys are grouped by their rule number, whatever their order or
  // gaps, and the groups become rules 1, 2, 3, ... in number order; keys that name no rule
  // part are ignored. A rule that lacks a part gets it empty, so nothing read is lost on
  // the next save. True when there is at least one rule.
  bool LoadFilters();
  // Erases section `filters` and writes every rule. Header names and search texts are
  // written inside double quotes, so that quotes and blanks of their own survive the reader.
  // False when the settings file could not be written.
  bool SaveFilters();

  int FilterCount() const { return static_cast<int>(rules_.size()); }
  bool Modified() const { return modified_; }
  void SetDiscard(bool discard) { discard_ = discard; }
  // Where a pass writes its status lines (not owned; may be null).
  void InitStatus(StatusText* memo) { status_ = memo; }

  // The values of rule `index` (1-based): H1, S1, H2, S2, ..., folder list; header names and
  // search texts cut to 255 characters, the folder list whole. `out` is cleared first when
  // there is any rule; an index without a rule leaves it empty.
  void GetStrippedFilter(int index, std::vector<std::string>& out) const;
  // Appends the complete lines of rule `index` ("n." + key + "=" + value).
  void GetFilter(int index, std::vector<std::string>& out) const;
  // "H1 S1 AND H2 S2 INTO FOLDER list", values cut to 255 characters.
  static std::string FormatFilter(const std::vector<std::string>& lines);
  // Clears `out` and adds the display text of every rule, in rule order.
  void GetFilterList(std::vector<std::string>& out) const;

  // Stores `lines` ("HeaderLine=..", "SearchText=..", ..., "FolderText=..") as rule `index`,
  // or as a new last rule when `index` is 0; each line gets the rule number and "." put in
  // front, in place. False (nothing changed) when rule `index` does not exist or the lines
  // are not one or more pairs and a folder list.
  bool PutFilter(std::vector<std::string>& lines, int index);
  // Removes rule `index`; the rules after it move up. False when it does not exist.
  bool DeleteFilter(int index);
  // Exchanges rules `a` and `b`. False when either does not exist.
  bool SwapFilter(int a, int b);

  // Makes every folder that a rule files into (and the folders above it). Shows "Could not
  // create all filter directories." and returns false when one could not be made.
  bool CreateFilterFolders() const;

  // One filtering pass over the ".new" and ".mai" files of "Spool": each goes into every
  // folder of the first rule whose conditions all hold, or into the default mail folder.
  // A message leaves "Spool" only when every folder received it; one that could not be
  // read, is empty, or was not filed everywhere stays for the next pass (recorded, when
  // some folders hold it already, so the next pass completes it without a second copy;
  // see spool_filing.h). The pass first completes what an earlier pass left recorded and
  // removes stale work files. Returns how many messages stayed in "Spool".
  int FilterMail();

  // Spool files larger than this are not loaded: they are matched on their header lines and
  // their bytes are copied and moved as they are.
  size_t load_limit = size_t{64} << 20;

 private:
  using Rule = std::vector<std::string>;  // lines without the rule number

  bool ValidIndex(int index) const { return index >= 1 && index <= FilterCount(); }

  std::vector<Rule> rules_;
  bool modified_ = false;
  bool discard_ = false;
  StatusText* status_ = nullptr;
};

}  // namespace corvelle
