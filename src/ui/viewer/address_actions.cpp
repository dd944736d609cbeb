#include "ui/viewer/address_actions.h"

namespace corvelle {
namespace {

AddressActions default_actions;
AddressActions* installed = &default_actions;

}  // namespace

std::optional<std::vector<std::string>> AddressActions::ChooseRecipients(QWidget*, const std::vector<std::string>&) {
  return std::nullopt;
}

void AddressActions::AutoAddAddresses(QWidget*, const std::vector<std::string>&) {}

AddressActions& ViewerAddressActions() { return *installed; }

void SetViewerAddressActions(AddressActions* actions) { installed = actions ? actions : &default_actions; }

}  // namespace corvelle
