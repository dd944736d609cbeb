#pragma once
// What the address buttons of a message window hand over: choosing the recipients of a
// composition, and offering a received message's addresses to the address book. The
// address book supplies its own actions (the run's services carry them); these do nothing.

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace corvelle {

class AddressActions {
 public:
  virtual ~AddressActions() = default;

  // Lets the user edit the recipient list `entries` of a composition (modal, over
  // `parent`). The chosen list, or nullopt when the user cancelled.
  virtual std::optional<std::vector<std::string>> ChooseRecipients(QWidget* parent,
                                                                   const std::vector<std::string>& entries);

  // Offers the addresses `entries` (never empty) for addition to the address book.
  virtual void AutoAddAddresses(QWidget* parent, const std::vector<std::string>& entries);
};


}  // namespace corvelle
