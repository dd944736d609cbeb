#pragma once
// E-mail addresses: extracting, splitting lists, expanding nicknames of the address book.

#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

struct Settings;
class UserInterface;

// `s` without leading spaces and tabs, cut to its first 255 characters, then without
// trailing spaces and tabs.
std::string TrimBlanks(std::string_view s);

// `s` without leading and trailing spaces and tabs, whatever its length.
std::string_view Trimmed(std::string_view s);

// The bare address of an address text, whatever its length:
//   "Full Name <user@host>" -> the text between the first "<" and the first ">" (untrimmed);
//   "user@host>"            -> the text before the first ">" when there is no "<";
//   "user@host (Full Name)" -> the text without the first "(" up to the first ")", trimmed;
//   anything else           -> the text trimmed.
std::string ExtractAddress(std::string_view s);

// True when `s` holds none of space, "<", ">", "(", ")".
bool IsPlainAddress(std::string_view s);

// A left-to-right walk over an address list that tells which commas separate its entries:
// one outside a quoted string (with its quoted pairs), angle brackets and a comment (which
// may nest). The one rule every reader of address lists goes by.
class AddressListScan {
 public:
  // Takes the next character; true when it is a comma that ends an entry.
  bool Separates(char c);
  // True while the text so far ends inside a quoted string, brackets or a comment.
  bool Open() const { return quoted_ || angle_ > 0 || comment_ > 0; }

 private:
  bool quoted_ = false, escaped_ = false;
  int angle_ = 0, comment_ = 0;
};

// The entries of the address list `s`, cut at the commas that separate them
// (AddressListScan), untrimmed and without those commas: the text
//   "Lee, Ann" <a@b>, c
// gives the two entries |"Lee, Ann" <a@b>| and | c|. An empty text gives one empty entry.
std::vector<std::string_view> AddressListEntries(std::string_view s);

// Replaces `list` with the entries of the address list `s` (AddressListEntries), one per
// line, trimmed, each that a comma followed keeping its ",": "a, b ,c" gives "a,", "b,",
// "c", and a comma inside a quoted name splits nothing. Blank entries go.
void SplitAddressList(std::vector<std::string>& list, std::string_view s);

// Expands the nickname `name` (ignoring case; the first matching line wins) of the
// address-book lines `book` (ParseBookLine, ParseAddressField) into
// display addresses in `out` (cleared first). A group member without "@" is a nickname of the
// default book (settings.DefaultABPath), else a local user on the host of
// settings.MailAddress (without "@" there, the message "Cannot add email address <member>
// without destination name (user@destination)." is shown through `ui`). Each nickname
// expands at most once per call, so a group that names itself, directly or through others,
// ends; a repeated one adds nothing. A name holding a "," or a double quote is put in
// double quotes, so it never splits a recipient. False when `name` is no nickname of `book`.
bool ExpandAlias(UserInterface& ui, const Settings& settings, const std::string& name, std::vector<std::string>& out,
                 const std::vector<std::string>& book);

// ExpandAlias with the default address book (settings.DefaultABPath). False, `out`
// untouched, when that file does not exist or `name` is no nickname there.
bool ExpandName(UserInterface& ui, const Settings& settings, const std::string& name, std::vector<std::string>& out);

// The bare sender address of a message file: the first line that starts with "from:"
// ignoring case (no space needed, body lines included) is unfolded with its continuation
// lines, and the first entry of that address list that gives an address (ExtractAddress)
// is returned; "" when there is none or the file cannot be read.
std::string GetFromAddress(const std::string& file_name);

}  // namespace corvelle
