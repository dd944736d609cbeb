#pragma once
// The automatic additions to the address book: addresses taken from received mail and
// offered to the address book editor, which then asks only for what they do not say.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

class MailStore;
class UserInterface;

// What the editor is offered.
struct OfferedAddresses {
  std::vector<std::string> pending;  // bare addresses, sorted ignoring case, each once ignoring case
  std::string full_name;             // "Last, First", or "" when the editor must ask
};

// A name as an address book stores it: "Ann Marie Lee" becomes "Lee, Ann Marie"; a name
// without a space, or one that holds a ",", stays as it is.
std::string LastFirstName(std::string_view name);

// The offer made of address texts ("Name <a@b>", "a@b (Name)", "a@b"), as an address line
// holds them: the comma and blanks after an entry are dropped, and only real addresses (an
// "@", no blank, no comma) are offered. A name is taken only when a single text is offered;
// a name in double quotes loses them.
OfferedAddresses OfferAddresses(const std::vector<std::string>& texts);

// The progress of a folder run: the share of folders done, the share of the current
// folder's files done (both 0 to 100), and the status text.
using SenderProgress = std::function<void(int total, int current, const std::string& status)>;

// The sender address (GetFromAddress) of every file in each folder of `folders` (folder
// texts, relative to the root of `store` unless they start with "/"), in folder order and
// file-name order; files without a sender add nothing, hidden files are skipped. The same
// sender may come back several times. Lets `ui` process events between files.
std::vector<std::string> CollectFolderSenders(const MailStore& store, UserInterface& ui,
                                              const std::vector<std::string>& folders, const SenderProgress& progress);

}  // namespace corvelle
