#include "ui/main/features.h"

namespace corvelle {

void RegisterFeatureCommands(CommandRegistry& registry) {
  RegisterFrameCommands(registry);
  RegisterViewerCommands(registry);
  RegisterMessageCommands(registry);
  RegisterSetupCommands(registry);
  RegisterHelpCommands(registry);
  RegisterTransferCommands(registry);
  RegisterBookCommands(registry);
  RegisterFolderToolCommands(registry);
  RegisterTextCommands(registry);
}

}  // namespace corvelle
