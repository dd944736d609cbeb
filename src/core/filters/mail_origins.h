#pragma once
// Which account each spool file came from, told by its name (the spool mark, spool_mark.h):
// the title the *Account* condition sees and the folder its mail goes into when no rule
// takes it.

#include <string>
#include <string_view>
#include <vector>

#include "core/accounts/account.h"
#include "core/filters/filter_match.h"

namespace corvelle {

class MailStore;

class MailOrigins {
 public:
  // `accounts`: every account, the first first (AllAccounts); empty: one unnamed account.
  // An account's own folder is a folder text of `store`, as the default folder is.
  MailOrigins(const std::vector<Account>& accounts, const MailStore& store);

  // The origin of spool file `file_name`: an unmarked one is the first account's; a marked
  // one is the account of that title (FindAccount), or, when there is none any more, has
  // the mark as its title and the default folders. Folders "" stand for the default ones.
  MailOrigin Of(std::string_view file_name) const;

  // The folder texts of the accounts that have a folder of their own.
  const std::vector<std::string>& Folders() const { return folders_; }

 private:
  const std::vector<Account>& accounts_;
  std::vector<MailOrigin> origins_;  // one per account, in the same order
  std::vector<std::string> folders_;
};

}  // namespace corvelle
