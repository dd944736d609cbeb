#pragma once
// The features of the main window, each registering the handlers of its own commands.
// A new feature adds its file of handlers and one line here and in features.cpp.

namespace corvelle {

class CommandRegistry;

void RegisterFrameCommands(CommandRegistry& registry);   // main/frame_commands.cpp
void RegisterViewerCommands(CommandRegistry& registry);  // viewer/viewer_commands.cpp
void RegisterMessageCommands(CommandRegistry& registry); // messages/message_commands.cpp
void RegisterSetupCommands(CommandRegistry& registry);   // setup/setup_commands.cpp
void RegisterHelpCommands(CommandRegistry& registry);    // help/help_commands.cpp
void RegisterTransferCommands(CommandRegistry& registry); // transfer/transfer_commands.cpp
void RegisterBookCommands(CommandRegistry& registry);     // books/book_commands.cpp
void RegisterFolderToolCommands(CommandRegistry& registry); // folders/folder_tool_commands.cpp
void RegisterTextCommands(CommandRegistry& registry);     // help/text_commands.cpp

// All of the above.
void RegisterFeatureCommands(CommandRegistry& registry);

}  // namespace corvelle
