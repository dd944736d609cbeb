#include "ui/viewer/address_actions.h"

namespace corvelle {
std::optional<std::vector<std::string>> AddressActions::ChooseRecipients(QWidget*, const std::vector<std::string>&) {
  return std::nullopt;
}

void AddressActions::AutoAddAddresses(QWidget*, const std::vector<std::string>&) {}

}  // namespace corvelle
