#pragma once
// The address book's commands: View > Address book, the Auto add submenu, the "autoadd"
// option, and the actions behind the message windows' address buttons.

#include <optional>
#include <string>
#include <vector>

#include "ui/viewer/address_actions.h"

class QWidget;

namespace corvelle {

struct Services;
struct Settings;
class TCorvelProg;
class UserInterface;

// Opens the address book editor over `owner`, offering `texts` (address texts as a message
// gives them) for a new entry or an existing one.
void AutoAddAddresses(UserInterface& ui, const Settings& settings, QWidget* owner,
                      const std::vector<std::string>& texts);

// Offers the sender of the message file `file` (the "autoadd" option). An empty name does
// nothing; a missing file says "File does not exist.".
void AutoAddFile(TCorvelProg& window, const Services& services, const std::string& file);

// The actions behind the message windows' address buttons: the recipient dialog and the
// editor, on the run's interface and settings (what a desktop run's services carry).
class BookAddressActions : public AddressActions {
 public:
  BookAddressActions(UserInterface& ui, const Settings& settings) : ui_(ui), settings_(settings) {}
  std::optional<std::vector<std::string>> ChooseRecipients(QWidget* parent,
                                                           const std::vector<std::string>& entries) override;
  void AutoAddAddresses(QWidget* parent, const std::vector<std::string>& entries) override;

 private:
  UserInterface& ui_;
  const Settings& settings_;
};

}  // namespace corvelle
