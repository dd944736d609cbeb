#pragma once
// The unique ids (UIDL) of one POP3 account's messages that are already in the spool folder,
// kept in a small file in the mail directory's System folder, so that mail left on the
// server is fetched once, and a message stored by a session that died before QUIT was
// answered is deleted at the next session instead of being fetched again.
//
// File: one line per id. A line "id<TAB>work name<TAB>size" marks a message whose work file was
// complete and flushed when the line was written, but which may not have reached its final
// name yet (the commit writes these lines first, then moves the files, then writes the file
// again without the work names). Recover finishes such moves after a crash, for a work file
// that still has the size written down (any other file under that name is not the one).

#include <map>
#include <set>
#include <string>
#include <vector>

namespace corvelle {

class UidState {
 public:
  // The state file of user `user` on `server` under `mail_directory` (ends in "/"): its
  // name holds both, with every byte other than letters, digits, ".", "-" and "_" written
  // as %XX.
  static std::string FileFor(const std::string& mail_directory, const std::string& user, const std::string& server);
  // The work names that the state files under `mail_directory` other than `own` name: work
  // files of other accounts whose commit a crash cut short, which only their own account's
  // next login may finish (it knows their spool mark).
  static std::set<std::string> WorkNamesOfOthers(const std::string& mail_directory, const std::string& own);

  // Reads the file; a missing file is an empty state. Lines that are not ids are ignored.
  void Load(const std::string& path);
  // Replaces the file atomically. False when it could not be written.
  bool Save() const;

  // Moves every work file named in the file that still exists in `spool` (resolved, no
  // trailing "/") to a free name ending in `extension` (the account's SpoolExtension) (an id whose file cannot be moved is forgotten, so
  // its message is fetched again), then saves the state without work names. Returns how
  // many files were moved. False in `ok` when a move, the flush or the save failed: the
  // work files must then stay where they are until a later login settles them.
  int Recover(const std::string& spool, const std::string& extension, bool& ok);

  bool Contains(const std::string& id) const { return ids_.contains(id); }
  // Keeps only the ids in `listed` (what the server lists now).
  void KeepOnly(const std::set<std::string>& listed);
  // Adds an id whose message lies in the work file `work_name` (a bare name in the spool
  // folder) of `size` bytes, or, with an empty name, one already under its final name.
  void Add(const std::string& id, const std::string& work_name = "", long long size = 0);
  // Forgets the work name of `id` (its file has its final name now).
  void Settle(const std::string& id) { work_.erase(id); }
  // Forgets `id` altogether (its message was not kept after all).
  void Forget(const std::string& id) {
    ids_.erase(id);
    work_.erase(id);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::set<std::string> ids_;
  struct Work {
    std::string name;
    long long size = 0;
  };
  std::map<std::string, Work> work_;  // id -> its work file
};

}  // namespace corvelle
