// The Text menu: common-text entries inserted into the active composition, a new entry
// added, the menu reloaded; and View "Common text".

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QPlainTextEdit>

#include "core/user_interface.h"
#include "core/store/mail_store.h"
#include "core/settings/settings.h"
#include "core/compose/common_text.h"
#include "ui/common/qt_text.h"
#include "ui/help/common_text_dlg.h"
#include "ui/help/text_menu.h"
#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"
#include "ui/main/services.h"
#include "ui/messages/folder_views.h"
#include "ui/viewer/mail_viewer.h"

namespace corvelle {
namespace {

// Pastes the entry at the caret of the active window (replacing a selection); the entry
// stays on the clipboard. An entry that cannot be read does nothing.
void CommonTextClick(TCorvelProg& window, const std::string& path) {
  TMailViewer* viewer = window.ActiveViewer();
  std::string text;
  if (!viewer || !ReadCommonText(path, text)) return;
  QApplication::clipboard()->setText(TextToQt(text));
  viewer->MailText->paste();
}

void Addcommontext1Click(TCorvelProg& window) {
  TCommonTextDlg dialog(window.RunServices().ui, window.RunServices().Store(), &window);
  if (dialog.exec() == QDialog::Accepted) window.DoCommonTextFill();
}

}  // namespace

void FillCommonTextMenu(TCorvelProg& window, QMenu& menu, int fixed_items) {
  QList<QAction*> items = menu.actions();
  for (int i = fixed_items; i < items.size(); ++i) {
    menu.removeAction(items[i]);
    delete items[i];
  }
  for (const CommonTextEntry& entry : ListCommonText(window.RunServices().Store(), window.RunServices().ui)) {
    // The file is kept with the item: a caption is never read back into a name.
    QAction* item = menu.addAction(TextToQt(CommonTextCaption(entry)));
    item->setData(PathToQt(entry.path));
    QObject::connect(item, &QAction::triggered, &window,
                     [&window, path = entry.path] { CommonTextClick(window, path); });
  }
}

void RegisterTextCommands(CommandRegistry& registry, Services& services) {
  registry.Register(Command::AddCommonText, Addcommontext1Click);
  registry.Register(Command::ReloadMenu, [](TCorvelProg& window) { window.DoCommonTextFill(); });
  registry.Register(Command::ViewCommonText,
                    [&services](TCorvelProg&) { ShowFolder(services.open_url, CommonTextFolder(services.Store())); });
}

}  // namespace corvelle
