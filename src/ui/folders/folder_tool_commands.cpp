// The folder tools of the File menu: import of a mailbox file, export of folders into
// mailbox files, and refreshing message file names. Each runs under the busy guard with a
// wait dialog that shows the run's progress.

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>

#include <cmath>
#include <ctime>
#include <string>
#include <vector>

#include "core/store/mail_store.h"
#include "core/mailbox/mailbox_export.h"
#include "core/mailbox/mailbox_import.h"
#include "core/run_outcome.h"
#include "core/settings/settings.h"
#include "core/store/folder_list.h"
#include "core/store/refresh_names.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "ui/common/file_dialog_state.h"
#include "ui/common/qt_text.h"
#include "ui/common/qt_user_interface.h"
#include "ui/folders/folder_select.h"
#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"
#include "ui/main/guarded_command.h"
#include "ui/transfer/wait_dlg.h"

namespace corvelle {
namespace {

// The wait dialog as the interface of the run: progress goes to its bars, questions to the
// run's own interface. The folder routines are handed it.
class WaitRun : public UserInterface {
 public:
  WaitRun(QWidget* parent, UserInterface& ui, const char* caption) : dialog(parent), ui_(ui) {
    dialog.setWindowTitle(caption);
  }

  void Show() {
    dialog.show();
    QApplication::processEvents();
    since_events_.start();
  }
  StatusLine Status() {
    return [this](const std::string& text) {
      dialog.SetStatus(text);
      QApplication::processEvents();
    };
  }

  Answer Message(const std::string& text, const std::string& caption, Buttons buttons, MessageIcon icon) override {
    return ui_.Message(text, caption, buttons, icon);
  }
  // The bars take their values with the next pass of events: a bar repaints at once on
  // every change, and a pass for every file would cost more than the file itself.
  void TotalProgress(int percent) override { total_ = percent; }
  void CurrentProgress(int percent) override { current_ = percent; }
  void ProcessEvents() override {
    if (since_events_.isValid() && since_events_.elapsed() < kEventInterval) return;
    dialog.SetTotal(total_);
    dialog.SetCurrent(current_);
    QApplication::processEvents();
    since_events_.restart();
  }

  TWaitDlg dialog;

 private:
  UserInterface& ui_;
  QElapsedTimer since_events_;
  int total_ = 0, current_ = 0;
};

// `args.file`: the mailbox the command line names.
void DoImportFolder(TCorvelProg& window, const Services& services, const CommandArgs& args, MailboxKind kind) {
  WaitRun run(&window, services.ui, "Importing mail folders");
  std::string kind_name = MailboxKindName(kind);
  std::string mailbox = args.file;
  if (mailbox.empty()) {
    QFileDialog dialog(&window, TextToQt("Import " + kind_name + " Folder"),
                       InitialDirectory(services.settings.MailDirectory));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(window.OpenDialog.filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    if (Ask(services.ui, "If this folder is not a " + kind_name + " type mail folder, you may lose your mail.  " +
                "Are you sure this folder is a " + kind_name + " type folder?",
            "Mail Import Warning", Buttons::YesNo) != Answer::Yes)
      return;
    mailbox = PathFromQt(dialog.selectedFiles().first());
  }
  run.Show();
  ImportResult result = ImportMailbox(services.Store(), run, mailbox, kind, run.Status());
  if (!result.loaded) ShowMessage(services.ui, "Could not open mail folder " + mailbox + ".");
  if (result.failed > 0) NoteRunFailure();
}

// The chosen folders as a list and their number: the command folder, or the selection
// dialog's result (several folders, captioned `caption`).
std::vector<std::string> ChooseFolders(TCorvelProg& window, const std::string& command_folder, const char* caption,
                                       int& count) {
  if (!command_folder.empty()) {
    count = 1;
    return {command_folder};
  }
  TFolderSelect select(window.RunServices().ui, window.RunServices().Store(), &window);
  if (caption) select.setWindowTitle(caption);
  int answer = select.exec();
  // Export takes the result whatever closed the dialog; refreshing only after OK.
  if (!caption && answer != QDialog::Accepted) return {};
  count = select.SelectedCount;
  return SplitFolderList(select.GetFolders());
}

// `args.file`: the folder the command line names.
void DoExportFolder(TCorvelProg& window, const Services& services, const CommandArgs& args, MailboxKind kind) {
  WaitRun run(&window, services.ui, "Exporting mail folders");
  int count = 0;
  std::vector<std::string> folders = ChooseFolders(
      window, args.file, kind == MailboxKind::kPine ? "Export Pine Folder" : "Export Netscape Folder",
      count);
  run.Show();
  for (size_t done = 0; done < folders.size(); ++done) {
    run.TotalProgress(count ? static_cast<int>(done * 100 / count) : 0);
    // A folder named on the command line may not exist: an export of nothing is no success.
    if (!FolderExists(services.Store().FolderPath(folders[done]))) {
      ShowMessage(services.ui, "The folder " + folders[done] + " does not exist.");
      continue;
    }
    if (!ExportFolder(services.Store(), run, folders[done], kind, std::time(nullptr), run.Status()).ok)
      ShowMessage(services.ui, "The folder " + folders[done] + " could not be exported.");
  }
}

void FreshenNames1Click(TCorvelProg& window, const Services& services) {
  WaitRun run(&window, services.ui, "Refreshing mail filenames");
  int count = 0;
  std::vector<std::string> folders = ChooseFolders(window, "", nullptr, count);
  run.Show();
  for (size_t done = 0; done < folders.size(); ++done) {
    run.TotalProgress(count ? static_cast<int>(std::lround(done * 100.0 / count)) : 0);
    RefreshNames(services.Store(), run, folders[done], run.Status());
  }
}

}  // namespace

void RegisterFolderToolCommands(CommandRegistry& registry, Services& services) {
  const std::pair<Command, MailboxKind> imports[] = {{Command::ImportPine, MailboxKind::kPine},
                                                     {Command::ImportNetscape, MailboxKind::kNetscape}};
  for (const auto& [command, kind] : imports)
    registry.Register(command, Guarded(services, [&services, kind = kind](TCorvelProg& w, const CommandArgs& args) {
                        DoImportFolder(w, services, args, kind);
                      }));
  const std::pair<Command, MailboxKind> exports[] = {{Command::ExportPine, MailboxKind::kPine},
                                                     {Command::ExportNetscape, MailboxKind::kNetscape}};
  for (const auto& [command, kind] : exports)
    registry.Register(command, Guarded(services, [&services, kind = kind](TCorvelProg& w, const CommandArgs& args) {
                        DoExportFolder(w, services, args, kind);
                      }));
  registry.Register(Command::RefreshNames, Guarded(services, [&services](TCorvelProg& w, const CommandArgs&) {
                      FreshenNames1Click(w, services);
                    }));
}

}  // namespace corvelle
