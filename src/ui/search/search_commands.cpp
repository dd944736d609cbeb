// Search > "Find messages...": the search window, one at a time. Given a text (the mailbox
// window's own search field hands one over), it searches at once: in the folder given, or
// in all of them.

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>

#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"
#include "ui/search/search_window.h"

namespace corvelle {
namespace {

TSearchWindow* OpenSearchWindow(TCorvelProg& frame) {
  for (QMdiSubWindow* window : frame.ClientArea->subWindowList())
    if (auto* search = qobject_cast<TSearchWindow*>(window->widget())) {
      if (window->isMinimized()) window->showNormal();
      frame.ClientArea->setActiveSubWindow(window);
      return search;
    }
  auto* search = new TSearchWindow(frame);
  QMdiSubWindow* window = frame.ClientArea->addSubWindow(search);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->showMaximized();
  return search;
}

void FindMessages(TCorvelProg& frame, const CommandArgs& args) {
  TSearchWindow* search = OpenSearchWindow(frame);
  if (!args.subject.empty()) search->StartWith(args.subject, args.file);
  search->SearchField->setFocus();
}

}  // namespace

void RegisterSearchCommands(CommandRegistry& registry, Services&) {
  registry.Register(Command::FindMessages, FindMessages);
}

}  // namespace corvelle
