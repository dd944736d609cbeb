#pragma once
// MailStore: one mail directory tree as a value. It names the fixed folders (spool, sent,
// postponed, system and the places under it) and resolves folder texts, so nothing spells
// a path by hand; filing, listing and moving are its members. Two stores in one process
// never share state: each carries its own root and naming choice.

#include <string>
#include <string_view>

namespace corvelle {

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

 private:
  std::string root_;
  bool decode_names_ = true;
};

}  // namespace corvelle
