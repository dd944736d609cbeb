#pragma once
// The context of a transfer over one account: the run's context with the account's settings
// (AccountSettings) and the credentials of its logins, which it owns.

#include <memory>
#include <vector>

#include "core/accounts/account.h"
#include "core/signin/credentials.h"
#include "net/transfer_context.h"

namespace corvelle {

struct AccountTransfer {
  TransferContext context;
  std::unique_ptr<Credentials> credentials;  // null: `context.credentials` is the base's, or none
};

// For account `index` of AllAccounts(base.settings): index 0 gives `base` itself (the first
// account's settings and credentials, no mark); a further one gives its AccountSettings,
// its title as `account`, and credentials from base.account_credentials. Not movable once
// made (the credentials refer to the context's settings): hence the pointer.
std::unique_ptr<AccountTransfer> MakeAccountTransfer(const TransferContext& base, size_t index);

}  // namespace corvelle
