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

class Transport;

// Makes the byte stream of each connection; an empty one makes TCP connections.
using TransportFactory = std::function<std::unique_ptr<Transport>()>;
// Makes the given files durable (fsync); an empty one syncs them for real.
using DiskFlush = std::function<bool(const std::vector<std::string>& files)>;

struct TransferContext {
  UserInterface* ui = nullptr;  // never null once built; a silent one when nobody is there
  Settings settings;
  MailStore store;
  TransportFactory transport;
  DiskFlush disk_flush;
};

}  // namespace corvelle

namespace corvelle {

// Transition, until main() builds the context and hands it to the transfer dialog: `ui`
// (the installed interface when null), the settings and mail directory of MailSettings now,
// the transport set by SetProgramTransport (TCP when none) and the real disk flush.
TransferContext ProgramTransferContext(UserInterface* ui = nullptr);
// The transport ProgramTransferContext hands out; tests of the dialog point it at fake
// servers. An empty one restores TCP.
void SetProgramTransport(TransportFactory transport);

}  // namespace corvelle
