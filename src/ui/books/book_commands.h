#pragma once
// The address book's commands: View > Address book, the Auto add submenu, the "autoadd"
// option, and the actions behind the message windows' address buttons.

#include <string>
#include <vector>

class QWidget;

namespace corvelle {

class AddressActions;
class TCorvelProg;
class UserInterface;

// Opens the address book editor over `owner`, offering `texts` (address texts as a message
// gives them) for a new entry or an existing one.
void AutoAddAddresses(QWidget* owner, const std::vector<std::string>& texts);

// Offers the sender of the message file `file` (the "autoadd" option). An empty name does
// nothing; a missing file says so through `ui` ("File does not exist.").
void AutoAddFile(TCorvelProg& window, UserInterface& ui, const std::string& file);

// The actions behind the message windows' address buttons: the recipient dialog and the
// editor (what a desktop run's services carry).
AddressActions& BookAddressActions();

}  // namespace corvelle
