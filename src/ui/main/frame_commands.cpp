// Commands of the frame itself: File Exit and the Window menu.

#include <QMdiArea>
#include <QMdiSubWindow>

#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"

namespace corvelle {
namespace {

// Every message window minimized, from the last to the first.
void WindowMinimizeItemClick(TCorvelProg& window) {
  QMdiArea* area = window.ClientArea;
  // Minimizing activates another window, which must not be maximized again.
  area->setOption(QMdiArea::DontMaximizeSubWindowOnActivation, true);
  QList<QMdiSubWindow*> windows = area->subWindowList(QMdiArea::CreationOrder);
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) (*it)->showMinimized();
  area->setOption(QMdiArea::DontMaximizeSubWindowOnActivation, false);
}

}  // namespace

void RegisterFrameCommands(CommandRegistry& registry, Services&) {
  registry.Register(Command::Exit, [](TCorvelProg& window) { window.close(); });
  registry.Register(Command::Cascade, [](TCorvelProg& window) { window.ClientArea->cascadeSubWindows(); });
  registry.Register(Command::Tile, [](TCorvelProg& window) { window.ClientArea->tileSubWindows(); });
  registry.Register(Command::MinimizeAll, WindowMinimizeItemClick);
}

}  // namespace corvelle
