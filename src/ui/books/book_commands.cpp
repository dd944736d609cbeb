#include "ui/books/book_commands.h"

#include <QElapsedTimer>
#include <memory>

#include "core/store/mail_store.h"
#include "core/settings/settings.h"
#include "core/books/auto_add.h"
#include "core/store/addresses.h"
#include "core/store/folder_list.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "ui/books/address_book_form.h"
#include "ui/books/mail_select_dlg.h"
#include "ui/common/qt_user_interface.h"
#include "ui/folders/folder_select.h"
#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"
#include "ui/main/guarded_command.h"
#include "ui/main/services.h"
#include "ui/transfer/wait_dlg.h"
#include "ui/viewer/address_actions.h"
#include "ui/viewer/mail_viewer.h"

namespace corvelle {
namespace {

void Addressbook1Click(TCorvelProg& window, const Services& services) {
  TAddressBookForm editor(services.ui, services.settings, &window);
  editor.exec();
}

// The folders to read: the one the command line gave, else those the user chooses.
std::vector<std::string> AutoAddFolders(TCorvelProg& window, const CommandArgs& args) {
  if (!args.file.empty()) return {args.file};
  TFolderSelect select(window.RunServices().ui, window.RunServices().Store(), &window);
  select.setWindowTitle("Select address book auto-add folders");
  select.exec();
  return SplitFolderList(select.GetFolders());
}

void Allsendersinfolder1Click(TCorvelProg& window, const Services& services, const CommandArgs& args) {
  std::vector<std::string> senders;
  {
    auto wait = std::make_unique<TWaitDlg>(&window);
    wait->setWindowTitle("Adding sender addresses to address book");
    std::vector<std::string> folders = AutoAddFolders(window, args);
    wait->show();
    // A repaint per file would cost more than reading the file: at most one per interval.
    QElapsedTimer since_shown;
    senders = CollectFolderSenders(services.Store(), services.ui, folders, [&wait, &since_shown](int total, int current, const std::string& status) {
      if (since_shown.isValid() && since_shown.elapsed() < kEventInterval) return;
      since_shown.start();
      wait->SetTotal(total);
      wait->SetCurrent(current);
      wait->SetStatus(status);
      wait->repaint();
    });
  }
  AutoAddAddresses(services.ui, services.settings, &window, senders);
}

void ActiveViewerButton(TCorvelProg& window, void (TMailViewer::*button)()) {
  if (TMailViewer* viewer = window.ActiveViewer()) (viewer->*button)();
}

}  // namespace

void AutoAddAddresses(UserInterface& ui, const Settings& settings, QWidget* owner,
                      const std::vector<std::string>& texts) {
  TAddressBookForm editor(ui, settings, owner);
  editor.SetNewAddresses(texts);
  editor.exec();
}

void AutoAddFile(TCorvelProg& window, const Services& services, const std::string& file) {
  if (file.empty()) return;
  if (!FileExists(file)) {
    ShowMessage(services.ui, "File does not exist.");
    return;
  }
  AutoAddAddresses(services.ui, services.settings, &window, {GetFromAddress(ResolvePath(file))});
}

std::optional<std::vector<std::string>> BookAddressActions::ChooseRecipients(QWidget* parent,
                                                                             const std::vector<std::string>& entries) {
  TMailSelectDlg dialog(ui_, settings_, parent);
  dialog.ChosenList = entries;
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.ChosenList;
}

void BookAddressActions::AutoAddAddresses(QWidget* parent, const std::vector<std::string>& entries) {
  corvelle::AutoAddAddresses(ui_, settings_, parent, entries);
}

void RegisterBookCommands(CommandRegistry& registry, Services& services) {
  registry.Register(Command::ViewAddressBook, [&services](TCorvelProg& w) { Addressbook1Click(w, services); });
  registry.Register(Command::AutoAddAllSenders,
                    Guarded(services, [&services](TCorvelProg& w, const CommandArgs& args) {
                      Allsendersinfolder1Click(w, services, args);
                    }));
  registry.Register(Command::AutoAddFromTo, [](TCorvelProg& w) { ActiveViewerButton(w, &TMailViewer::ToAddrBtnClick); });
  registry.Register(Command::AutoAddCc, [](TCorvelProg& w) { ActiveViewerButton(w, &TMailViewer::CCAddrBtnClick); });
}

}  // namespace corvelle
