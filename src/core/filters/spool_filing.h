#pragma once
// Filing spool files into several folders so that a crash at any moment neither loses a
// message nor leaves a second copy in any folder.
//
// For a spool file S and folders F1..Fn (n >= 2):
//   1. S is copied to the hidden work files ".S.copy-1" .. ".S.copy-<n-1>" (flushed, the
//      copies of a whole batch at once);
//   2. a record (a hidden ".<name>.filing-list" naming S and its folder list, for a batch
//      of such files at once) is written and flushed;
//   3. S itself becomes ".S.copy-<n>";
//   4. each ".S.copy-<i>" is moved into Fi, in order, the last one last, stopping at the
//      first move that fails;
//   5. once the folders are flushed (Settle), the record is removed.
// A move is a rename, so a work file still present has not reached its folder and one gone
// has. The next pass finishes what a record names (FinishInterrupted); work files without a
// record were never promised to any folder and are removed, while S itself still waits.

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/store/mail_store.h"
#include "core/user_interface.h"

namespace corvelle {

class SpoolFiling {
 public:
  // Files from the spool folder of `store` into its folders; `ui` processes events while
  // a name is being found.
  SpoolFiling(MailStore store, UserInterface& ui);

  // The spool folder, its name resolved, ending in "/".
  const std::string& Spool() const { return spool_; }

  // Files `name` of the spool folder into every folder of the list `folders` (one or
  // several); `header` (its header lines) names the filed copies. A file for several
  // folders is filed with its batch (at the latest by Settle). One that does not reach
  // every folder is counted in Failed(), and stays either untouched or recorded, to be
  // finished by the next pass. `stored`, when not empty, is the file's bytes as read: its
  // copies for further folders are written from them and flushed with their batch.
  void File(const std::string& name, const std::string& folders, const std::vector<std::string>& header,
            std::string_view stored = {});
  int Failed() const { return failed_; }
  // The subject (decoded, UTF-8; "" when it has none) of each message File has filed into
  // every folder of its list, in filing order: what was new to the user after the pass.
  const std::vector<std::string>& FiledSubjects() const { return filed_subjects_; }

  // Completes every filing that a record names, making missing folders. Returns how many
  // could not be completed (they stay recorded).
  int FinishInterrupted();

  // Removes the program's own work files: copies without a record and the temporary files
  // of writes that never completed. None of them is the only copy of a message. Returns
  // how many were removed.
  int RemoveStaleWorkFiles();

  // Files the batch waiting, flushes every folder that received files, then removes the
  // records of completed filings.
  void Settle();

 private:
  struct Pending {
    std::string name;
    std::vector<std::string> folders;
    std::vector<std::string> header;
  };
  // The name `name` gets in `folder` (MailStore::FiledTarget), its folder resolved once a pass.
  std::string Target(const std::string& folder, const std::string& name, const std::vector<std::string>& header);
  // Makes work file `i` of spool file `name`: a copy of it, from `stored` when not empty.
  bool MakeCopy(const std::string& name, std::string_view stored, size_t i);
  void FileBatch();
  std::string WriteRecord() const;
  bool Finish(const std::string& name, const std::vector<std::string>& folders, std::vector<std::string> header);

  MailStore store_;
  UserInterface& ui_;
  std::string spool_;
  std::set<std::string> touched_;
  std::map<std::string, std::string> resolved_;  // folder path -> its resolved spelling
  std::vector<std::string> done_records_;
  std::vector<Pending> batch_;
  std::vector<std::string> unflushed_;  // copies of the batch written but not yet flushed
  std::vector<std::string> filed_subjects_;
  int failed_ = 0;
};

// True when `spool` holds a message to filter: a ".new" or ".mai" file, or a filing record.
bool SpoolHoldsNewMail(const std::string& spool);

// The decoded subject of a message's header lines, "" without one: what a pass reports of a
// message it filed.
std::string SubjectOf(const std::vector<std::string>& lines);

}  // namespace corvelle
