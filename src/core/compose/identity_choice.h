#pragma once
// Which identity a composition goes out as: the accounts it may choose between, and the one
// a reply starts with (the identity the answered message was addressed to).

#include <string>
#include <string_view>
#include <vector>

#include "core/accounts/account.h"

namespace corvelle {

// The accounts that have a mail address, in account order: the identities a composition's
// From may be. A message is never sent from an account without an address.
std::vector<Account> SendingIdentities(const std::vector<Account>& accounts);

// The place in `identities` of the first whose MailAddress is one of the addresses of the
// address text `addresses` (entries as AddressListEntries cuts them, each its bare address),
// ignoring case; `identities.size()` when none is.
size_t IdentityAmong(const std::vector<Account>& identities, std::string_view addresses);

// The place in `identities` of the identity a reply goes out as, given the answered message's
// "To: " and "Cc: " address texts: the first identity found in `to`, else the first found in
// `cc`, else 0 (the first identity).
size_t ReplyIdentity(const std::vector<Account>& identities, std::string_view to, std::string_view cc);

}  // namespace corvelle
