#include "net/transfer_context.h"

namespace corvelle {
namespace {

TransportFactory& ProgramTransport() {
  static TransportFactory transport;
  return transport;
}

}  // namespace

TransferContext ProgramTransferContext(UserInterface* ui) {
  return {ui ? ui : &Ui(), MailSettings, MailStore(MailSettings.MailDirectory), ProgramTransport(), {}};
}

void SetProgramTransport(TransportFactory transport) { ProgramTransport() = std::move(transport); }

}  // namespace corvelle
