#pragma once
// MailStore: one mail directory tree as a value. It names the fixed folders (spool, sent,
// postponed, system and the places under it) and resolves folder texts, so nothing spells
// a path by hand; filing, listing and moving are its members. Two stores in one process
// never share state: each carries its own root and naming choice.

#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

class UserInterface;
struct FilingResult;
struct FolderNode;

class MailStore {
 public:
  MailStore() = default;
  // `root` is the mail directory; a missing trailing "/" is added. `decode_names`: file
  // names are made from decoded header text (false keeps the raw bytes).
  explicit MailStore(std::string root, bool decode_names = true);

  const std::string& Root() const { return root_; }  // ends in "/" (empty when unset)
  bool DecodeNames() const { return decode_names_; }

  // The fixed folders, each ending in "/".
  std::string Spool() const { return root_ + "Spool/"; }
  std::string Sent() const { return root_ + "Sent Mail/"; }
  std::string Postponed() const { return root_ + "Postponed/"; }
  std::string System() const { return root_ + "System/"; }
  std::string AddressBooks() const { return System() + "AddressBook/"; }
  std::string CommonText() const { return System() + "Common Text/"; }
  std::string NetLog() const { return System() + "netlog.txt"; }

  // The full path of a folder text (relative to the root, or absolute when it starts with
  // "/"), ending in "/".
  std::string FolderPath(std::string_view folder_text) const;

  // True when the file `path` lies directly in the Postponed folder (compared ignoring case).
  bool InPostponed(std::string_view path) const;

  // A free name in the spool folder: UniqueFileName(Spool(), ".out").
  std::string SpoolFileName() const;

  // Filing (file_message.cpp). Files the message whose lines are `lines` and whose file is
  // Root() + `sub_dir` + "/" + `file_name` into every folder of the folder list `folders` (all
  // of them, however long the list), each time under the name built from its header:
  //   subject (50 characters, "Re:" prefixes dropped, "(none)" when absent or empty)
  //   + sender, or for a folder whose text starts with "sent mail" the recipient (30 characters)
  //   + extension (".mail" into sent-mail folders and from ".mai"/".mail" sources, else ".newmail"),
  // the fields cleaned by SanitizeFileName and numbered by MoveFileUnique when taken. Lets
  // `ui` process events between folders.
  // With `write_first`, each folder gets its own copy of the lines: written under a fresh
  // work name beside the source, flushed, then moved without replacing. The source may exist
  // (a spool file filed into every folder of a rule) or not; it is removed only after every
  // folder holds its copy, and otherwise stays where it was. A copy whose move is refused is
  // removed again and filing goes on with the next folder; only when no folder received the
  // message and no source file held it does that copy stay, under the source name, so the
  // message is never lost. Without `write_first` the source itself is moved, so only the first
  // folder receives it. Empty `lines` (or one empty line) file nothing and succeed.
  bool FileMessage(UserInterface& ui, const std::string& folders, const std::string& sub_dir,
                   const std::string& file_name, const std::vector<std::string>& lines, bool write_first,
                   FilingResult& result) const;

  // The same, for callers that need only this answer: false when a copy that was to be written
  // did not reach its folder (its write failed or its move was refused). Without `write_first`
  // nothing is written and the answer is true.
  bool FileMessage(UserInterface& ui, const std::string& folders, const std::string& sub_dir,
                   const std::string& file_name, const std::vector<std::string>& lines, bool write_first) const;

  // The name FileMessage gives a message with the header `lines` filed into `folder_text`
  // from a source named `file_name`, before MoveFileUnique numbers it. For callers that
  // write the message's bytes themselves.
  std::string FiledTarget(const std::string& folder_text, const std::string& file_name,
                          const std::vector<std::string>& lines) const;

  // Listing (folder_files.cpp). Makes `root` the folder tree of the store: root.name =
  // Root(), its children the top-level folders (AddFolderNodes). Returns their number.
  int FillFolderTree(FolderNode& root) const;
  // The same without "System", which holds the program's own files: the folders that hold
  // mail, as the mailbox window, the search and the new-mail counts see them.
  int FillMailFolderTree(FolderNode& root) const;

  // The tree (mail_dirs.cpp). Unless `force`: true when every tested folder exists (the
  // default mail folder `default_folder` among them; nothing made, filters not read). Then,
  // only with `create`: makes the tree in its order (the four sample folders only with
  // `samples`), then every folder of every rule's folder list. Stops at the first folder
  // that cannot be made and returns false; folders made before it stay.
  bool CheckMailDirs(const std::string& default_folder, bool force, bool create, bool samples) const;

 private:
  std::string root_;
  bool decode_names_ = true;
};

}  // namespace corvelle
