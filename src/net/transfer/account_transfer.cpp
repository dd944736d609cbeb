#include "net/transfer/account_transfer.h"

namespace corvelle {

std::unique_ptr<AccountTransfer> MakeAccountTransfer(const TransferContext& base, size_t index) {
  auto made = std::make_unique<AccountTransfer>();
  made->context = base;
  if (index == 0) return made;
  const std::vector<Account> accounts = AllAccounts(base.settings);
  const Account& account = accounts.at(index);
  TransferContext& context = made->context;
  context.settings = AccountSettings(base.settings, account);
  context.account = AccountTitle(account);
  context.credentials = nullptr;
  if (base.account_credentials) {
    made->credentials = base.account_credentials(context.settings);
    context.credentials = made->credentials.get();
  }
  return made;
}

}  // namespace corvelle
