#pragma once
// The features of the main window, each registering the handlers of its own commands.
// Each is given the run's services, which its handlers use. A new feature adds its file
// of handlers and one line here and in features.cpp.

namespace corvelle {

class CommandRegistry;
struct Services;

void RegisterFrameCommands(CommandRegistry& registry, Services& services);   // main/frame_commands.cpp
void RegisterViewerCommands(CommandRegistry& registry, Services& services);  // viewer/viewer_commands.cpp
void RegisterMessageCommands(CommandRegistry& registry, Services& services); // messages/message_commands.cpp
void RegisterSetupCommands(CommandRegistry& registry, Services& services);   // setup/setup_commands.cpp
void RegisterHelpCommands(CommandRegistry& registry, Services& services);    // help/help_commands.cpp
void RegisterTransferCommands(CommandRegistry& registry, Services& services); // transfer/transfer_commands.cpp
void RegisterBookCommands(CommandRegistry& registry, Services& services);     // books/book_commands.cpp
void RegisterFolderToolCommands(CommandRegistry& registry, Services& services); // folders/folder_tool_commands.cpp
void RegisterTextCommands(CommandRegistry& registry, Services& services);     // help/text_commands.cpp
void RegisterMailboxCommands(CommandRegistry& registry, Services& services);  // mailbox/mailbox_commands.cpp
void RegisterSearchCommands(CommandRegistry& registry, Services& services);   // search/search_commands.cpp

// All of the above.
void RegisterFeatureCommands(CommandRegistry& registry, Services& services);

}  // namespace corvelle
