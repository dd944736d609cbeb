#include "ui/main/commands.h"

#include <cassert>

namespace corvelle {

void CommandRegistry::Register(Command command, CommandHandler handler) {
  [[maybe_unused]] bool added = handlers_.emplace(command, std::move(handler)).second;
  assert(added && "a command has one handler");
}

void CommandRegistry::Register(Command command, std::function<void(TCorvelProg&)> handler) {
  Register(command, [handler = std::move(handler)](TCorvelProg& window, const CommandArgs&) { handler(window); });
}

bool CommandRegistry::Run(Command command, TCorvelProg& window, const CommandArgs& args) const {
  auto it = handlers_.find(command);
  if (it == handlers_.end()) return false;
  // A copy: a handler may close the window, and with it this registry.
  CommandHandler handler = it->second;
  handler(window, args);
  return true;
}

}  // namespace corvelle
