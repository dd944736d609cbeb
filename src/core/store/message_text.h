#pragma once
// Message files as lines. Lines are written ending in CR LF and read ending in CR LF or a
// bare LF; every other byte (NUL and 8-bit included) is kept as it is.

#include <string>
#include <vector>

namespace corvelle {

class MailStore;
class UserInterface;

// Reads the lines of a message file into `lines` (replaced). False when it cannot be read.
bool ReadMessageLines(const std::string& path, std::vector<std::string>& lines);

// The header lines of a message file, through the empty line after them (all its lines
// when it has none); empty when it cannot be read.
std::vector<std::string> ReadHeaderLines(const std::string& path);

// Writes `lines` to the new file `path`, flushed with its folder; it never replaces a file
// (a crash leaves no cut-off file under that name either). False when `path` exists or
// any step fails.
bool WriteMessageLines(const std::string& path, const std::vector<std::string>& lines);

// The caption of a new compose window: "Compose New Message " + (open_windows + 1).
std::string NewMessageName(int open_windows);

// The address books of `store` (names without extension, sorted, each once; hidden files
// are none) and the one to select: the book `default_book` when present, else the first
// (-1 for none).
struct AddressBookChoice {
  std::vector<std::string> names;
  int selected = -1;
};
AddressBookChoice FillAddressBookList(UserInterface& ui, const MailStore& store, const std::string& default_book);

}  // namespace corvelle
