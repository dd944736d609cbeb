#pragma once
// The commands of the main window and the registry of their handlers. The frame only
// dispatches: each feature registers the handlers of its own commands (features.h), so a
// new feature adds a file of handlers, never a case to the frame.

#include <functional>
#include <map>
#include <string>

namespace corvelle {

class TCorvelProg;

enum class Command {
  None,
  FileNew, FileOpen, FileClose, FileSaveAs,
  ImportPine, ImportNetscape, ExportPine, ExportNetscape,
  Move, Delete, Print, Postpone, Spool, Send, AttachFile, NextNewMessage,
  AutoAddAllSenders, AutoAddCc, AutoAddFromTo,
  Reply, SendFile, GetSendAll, GetFromAccount, RunFilter, RefreshNames, Exit,
  Undo, Cut, Copy, Paste,
  Find, FindNext, Replace, FindMessages,
  ViewMailbox, ViewMail, ViewPostponed, ViewSent, ViewSpooled, ViewAddressBook, ViewCommonText, ViewSignatures,
  ViewFilters, ViewDirectories, ViewUserSettings, ViewAccounts, ViewPreferences,
  AddCommonText, ReloadMenu,
  Cascade, Tile, MinimizeAll,
  SendComment, ReportProblem, About,
};

// What a command is given besides its window: the arguments of the command-line option
// that runs it. All empty when it runs from a menu or a button.
struct CommandArgs {
  std::string file = {};     // the file or folder the option names
  std::string user = {};     // the address a file is sent to
  std::string subject = {};  // the "subject" option's text, for a file sent
  std::string account = {};  // the account mail is got from (its title)
};

using CommandHandler = std::function<void(TCorvelProg&, const CommandArgs&)>;

class CommandRegistry {
 public:
  // Gives `command` its handler. A command has one handler: registering a second one is
  // a programming error (asserted).
  void Register(Command command, CommandHandler handler);
  // A command that takes no arguments.
  void Register(Command command, std::function<void(TCorvelProg&)> handler);

  // Runs the handler of `command` on `window` with `args`. False when the command has none
  // yet; it then does nothing.
  bool Run(Command command, TCorvelProg& window, const CommandArgs& args) const;

 private:
  std::map<Command, CommandHandler> handlers_;
};

}  // namespace corvelle
