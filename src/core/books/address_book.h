#pragma once
// Address books: one text file per book in "System/AddressBook" of the mail directory, one
// entry per line, every line ending in CR LF:
//   nickname TAB full name TAB address field
// The address field holds one address alone, a group as "(" addresses joined by "," ")",
// or nothing. Names stay the bytes they were read as; a field is kept as read until the
// entry is changed, so a book that is loaded and saved comes back byte for byte.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

class MailStore;

struct TAddressEntry {
  std::string Nickname;
  std::string FullName;      // by convention "Last, First"; may be empty
  std::string AddressField;  // as stored; ParseAddressField gives its addresses
  bool operator==(const TAddressEntry&) const = default;
};

inline constexpr const char* kBadBookNameMessage =
    "Filenames cannot contain the following characters: \\, /, :, *, ?, \", <, >, |, .";

// The path of the book `name` of `store`: its address-book folder + name + ".cvab",
// resolved ignoring letter case, so "friends" names the file "Friends.cvab" when that one
// exists.
std::string AddressBookPath(const MailStore& store, const std::string& name);

// A book name as typed: blanks around it removed. nullopt when the rest is empty or holds a
// character outside space to tilde or one of \ / : * ? " < > | .
std::optional<std::string> ValidBookName(std::string_view typed);

// The addresses of a field. A field that (trimmed) starts with "(" is a group: the text
// inside the parentheses, split at every ",", each member trimmed, empty members skipped.
// Any other field is one address, unchanged; an empty field has none.
std::vector<std::string> ParseAddressField(std::string_view field);

// The field of `addresses`: "" for none, the address itself for one, "(a,b,...)" for more.
std::string FormatAddressField(const std::vector<std::string>& addresses);

// One line of a book file. nullopt for a line that is empty or starts with a space (no
// entry). A line without a TAB is an address field alone; with one TAB, nickname and field.
std::optional<TAddressEntry> ParseBookLine(std::string_view line);

// The book file's line of `entry` (without its line end).
std::string FormatBookLine(const TAddressEntry& entry);

// Reads the book at `path` into `entries` (replaced), in file order. A missing book is
// created empty first. False when it can be neither read nor created, and for a relative
// path (no mail directory set).
bool LoadAddressBook(const std::string& path, std::vector<TAddressEntry>& entries);

// Writes `entries` as the whole book at `path`, atomically: a crash leaves the old book or
// the new one, never a part. False when it could not be written.
bool SaveAddressBook(const std::string& path, const std::vector<TAddressEntry>& entries);

// Makes the empty book `name` of `store` unless a book of that name exists in any letter case (that
// one is kept as it is). False when it could not be made.
bool CreateAddressBook(const MailStore& store, const std::string& name);

}  // namespace corvelle
