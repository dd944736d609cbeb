#pragma once
// The messages of one POP3 connection on their way into the spool folder: complete messages
// under their work names (SpoolWriter), the account's unique ids (UidState), and the commit
// that gives them their final names: one flush of the files, the ids written with the work names,
// the moves, the flush of the folder, then the ids without the work names. The final names end
// in the account's SpoolExtension (".new" for the first account), or are those a message's
// target gives it in another folder (WorkFile::target). Files that are
// not committed are removed (their messages stay on the server). See get_mail.h for when a
// session commits.

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "net/pop3/uid_state.h"
#include "net/transfer_context.h"

namespace corvelle {

class SpoolCommit {
 public:
  struct WorkFile {
    std::string path, id;
    long long size = 0;
    int number = 0;
    int fd = -1;  // still open for the commit's flush (the commit closes it), or -1
    // Where the commit files it straight (DirectFiling), "" for the spool folder; the subject
    // that filing reports.
    std::string target, subject;
  };
  // What a group commit came to.
  enum class Group { kDone, kNotFlushed, kIdsNotKept };
  // Told when ids cannot be recorded (`why`).
  using IdsNotKept = std::function<void(const std::string& why)>;

  // Called between the renames of a commit, so that the interface is not held up by a
  // group of hundreds.
  using Between = std::function<void()>;

  // `spool`: the spool folder, no trailing "/" (resolved when first used after each
  // Reconnect); `extension`: what the final names end in; an empty `flush` syncs the files
  // for real.
  SpoolCommit(std::string spool, std::string extension, DiskFlush flush, IdsNotKept ids_not_kept,
              Between between = {});
  ~SpoolCommit();
  SpoolCommit(const SpoolCommit&) = delete;
  SpoolCommit& operator=(const SpoolCommit&) = delete;
  // Replaces what is called between renames (empty: nothing).
  void SetBetween(Between between) { between_ = std::move(between); }
  // A new connection: the spool folder's name is resolved again (its letter case may differ).
  void Reconnect() { resolved_.clear(); }

  // Loads the ids of the state file `path` and finishes the moves a crashed commit left
  // (UidState::Recover). False when that could not be finished.
  bool LoadIds(const std::string& path);
  UidState& Ids() { return ids_; }
  // The spool folder, resolved (ResolvePath).
  const std::string& Spool();

  void Add(WorkFile file) {
    if (file.fd >= 0) ++open_;
    files_.push_back(std::move(file));
  }
  // True when the next work file may stay open until its commit's flush: the real flush
  // (not a test's), and descriptors to spare.
  bool KeepsOpen() const;
  // Removes the work file of message `number`, if it has one still: its DELE was refused.
  bool TakeBack(int number);
  // True when the files with ids make a group worth one flush.
  bool GroupFull() const;

  // Ends every work file: with `commit` as above (false when a step failed); without, or
  // for the files a failed commit left, the files are removed and counted (Discarded).
  bool Settle(bool commit);
  // Commits the files that have ids (all of them with `deleting`, else none) and returns
  // their message numbers in `numbers`. kIdsNotKept: the ids could not be written, so the
  // files stay work files without ids (numbers returned too); kNotFlushed: they were
  // removed. `last`: the ids are written once more without the work names.
  Group CommitGroup(bool last, bool deleting, std::vector<int>& numbers);

  // Files removed since the last call (their messages were not received after all).
  int TakeDiscarded() { return std::exchange(discarded_, 0); }
  // The subjects of the messages filed straight into their folders since the last call, in
  // the order they were filed.
  std::vector<std::string> TakeFiled() { return std::exchange(filed_, {}); }
  const std::string& Extension() const { return extension_; }

 private:
  enum class Commit { kDone, kNotFlushed, kIdsNotKept };
  // Flushes `files`, records their ids with their work names, moves them to final names and
  // flushes the folder; `moved` counts the files (in order) that have their names now. Ids
  // that cannot be recorded are forgotten; with `need_ids` nothing is moved then. With
  // `tidy` the ids are written once more without the work names of the files moved.
  Commit CommitFiles(std::vector<WorkFile>& files, size_t& moved, bool& synced, bool need_ids, bool tidy);
  // Flushes `files` (closing those still open). False when a flush failed.
  bool Flush(std::vector<WorkFile>& files);
  void CloseFile(WorkFile& file);
  // Moves `file` to its target, or when it has none or that move fails, to a free name in
  // the spool folder. False when it could not be moved at all. `touched`: the folders
  // other than the spool folder that received files.
  bool MoveIn(const WorkFile& file, std::uint64_t& next, std::set<std::string>& touched);
  void Discard(WorkFile& file);

  std::string spool_, resolved_;
  const std::string extension_;
  DiskFlush flush_;
  IdsNotKept ids_not_kept_;
  Between between_;
  UidState ids_;
  std::vector<WorkFile> files_;  // complete messages of this connection, in order
  int discarded_ = 0;
  size_t open_ = 0;  // work files still open
  std::vector<std::string> filed_;
};

}  // namespace corvelle
