#pragma once
// What a transfer component is handed when it is made: the user to tell, the settings of
// this run (copied, so a setup saved meanwhile does not change a run under way), the mail
// store, how connections are made and how stored messages reach the disk. main() builds the
// real one; tests build their own with fake servers and recorded flushes.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/settings/settings.h"
#include "core/store/mail_store.h"
#include "core/user_interface.h"

namespace corvelle {

class Credentials;
class Transport;

// Makes the byte stream of each connection; an empty one makes TCP connections.
using TransportFactory = std::function<std::unique_ptr<Transport>()>;
// Makes the given files durable (fsync); an empty one syncs them for real.
using DiskFlush = std::function<bool(const std::vector<std::string>& files)>;
// Makes what the logins of one account are made with, from that account's settings
// (AccountSettings); they must outlive the credentials made.
using AccountCredentialsMaker = std::function<std::unique_ptr<Credentials>(const Settings& account)>;

struct TransferContext {
  UserInterface* ui = nullptr;  // never null once built; a silent one when nobody is there
  Settings settings;
  MailStore store;
  TransportFactory transport;
  DiskFlush disk_flush;
  // Where a certificate the user trusts, or a password allowed in clear, is remembered
  // besides the settings file, so that the next run does not ask again: the program's
  // settings. Null: the run's own copy.
  Settings* choices = nullptr;
  // What logins are made with: passwords from the keyring or the settings file, OAuth2
  // tokens. Null: the settings file's scrambled passwords (SettingsCredentials).
  Credentials* credentials = nullptr;
  // The account this context retrieves for: its name (AccountTitle) marks its spool files
  // (SpoolExtension); "" for the first account, whose files carry no mark.
  std::string account;
  // The credentials of the further accounts (AccountTransfer). Empty: each account's
  // scrambled passwords in the settings file.
  AccountCredentialsMaker account_credentials;
};

// The context of a run on `settings` and the store they name: TCP connections, files
// synced for real, the user's choices kept in the run's copy only.
inline TransferContext MakeTransferContext(UserInterface& ui, const Settings& settings) {
  return TransferContext{&ui, settings, StoreOf(settings), {}, {}, nullptr, nullptr, {}, {}};
}

// `context` with its boxes and progress going to `ui`.
inline TransferContext ShownOn(TransferContext context, UserInterface& ui) {
  context.ui = &ui;
  return context;
}

}  // namespace corvelle
