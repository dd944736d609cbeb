#include "core/compose/identity_choice.h"

#include "core/store/addresses.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

bool HasAddress(const Account& identity, const std::vector<std::string>& addresses) {
  const std::string own = TrimBlanks(ExtractAddress(identity.MailAddress));
  if (own.empty()) return false;
  for (const std::string& address : addresses)
    if (SameNameIgnoringCase(own, address)) return true;
  return false;
}

}  // namespace

std::vector<Account> SendingIdentities(const std::vector<Account>& accounts) {
  std::vector<Account> identities;
  for (const Account& account : accounts)
    if (!TrimBlanks(account.MailAddress).empty()) identities.push_back(account);
  return identities;
}

size_t IdentityAmong(const std::vector<Account>& identities, std::string_view addresses) {
  std::vector<std::string> bare;
  for (std::string_view entry : AddressListEntries(addresses)) bare.push_back(TrimBlanks(ExtractAddress(entry)));
  for (size_t i = 0; i < identities.size(); ++i)
    if (HasAddress(identities[i], bare)) return i;
  return identities.size();
}

size_t ReplyIdentity(const std::vector<Account>& identities, std::string_view to, std::string_view cc) {
  for (std::string_view addresses : {to, cc})
    if (size_t found = IdentityAmong(identities, addresses); found < identities.size()) return found;
  return 0;
}

}  // namespace corvelle
