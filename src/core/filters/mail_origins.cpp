#include "core/filters/mail_origins.h"

#include "core/accounts/spool_mark.h"
#include "core/store/folder_list.h"
#include "core/store/mail_store.h"

namespace corvelle {

MailOrigins::MailOrigins(const std::vector<Account>& accounts, const MailStore& store) : accounts_(accounts) {
  for (const Account& account : accounts) {
    MailOrigin origin{AccountTitle(account), ""};
    if (!account.Folder.empty()) {
      // Written as the default folder is, so both name a folder the same way.
      origin.folders = JoinFolderList({store.Root() + account.Folder});
      folders_.push_back(account.Folder);
    }
    origins_.push_back(std::move(origin));
  }
}

MailOrigin MailOrigins::Of(std::string_view file_name) const {
  if (accounts_.empty()) return {};
  const std::string mark = SpoolFileAccount(file_name);
  if (mark.empty()) return origins_.front();
  const Account* account = FindAccount(accounts_, mark);
  if (!account) return {mark, ""};
  return origins_[static_cast<size_t>(account - accounts_.data())];
}

}  // namespace corvelle
