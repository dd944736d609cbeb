#include "ui/main/features.h"

namespace corvelle {

void RegisterFeatureCommands(CommandRegistry& registry, Services& services) {
  RegisterFrameCommands(registry, services);
  RegisterViewerCommands(registry, services);
  RegisterMessageCommands(registry, services);
  RegisterSetupCommands(registry, services);
  RegisterHelpCommands(registry, services);
  RegisterTransferCommands(registry, services);
  RegisterBookCommands(registry, services);
  RegisterFolderToolCommands(registry, services);
  RegisterTextCommands(registry, services);
  RegisterMailboxCommands(registry, services);
  RegisterSearchCommands(registry, services);
}

}  // namespace corvelle
