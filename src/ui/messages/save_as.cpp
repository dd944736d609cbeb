#include "ui/messages/save_as.h"

#include "core/messages/save_message.h"
#include "core/user_interface.h"
#include "ui/common/file_dialog_state.h"
#include "ui/common/qt_text.h"
#include "ui/main/corvel_prog.h"

namespace corvelle {

std::string RunFileDialog(QWidget* parent, const FileDialogState& state, const QString& title,
                          QFileDialog::AcceptMode mode, QString* last_folder) {
  QFileDialog dialog(parent, title, state.directory);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilters(state.filters);
  dialog.setDefaultSuffix(state.default_suffix);
  if (!state.file_name.isEmpty()) dialog.selectFile(state.file_name);
  bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  if (last_folder) *last_folder = dialog.directory().absolutePath();
  return chosen ? PathFromQt(dialog.selectedFiles().first()) : std::string();
}

std::string ChooseSavePath(TCorvelProg& window) {
  if (window.SaveDialog1.default_suffix.isEmpty()) window.SaveDialog1.default_suffix = "TXT";
  window.SaveDialog1.directory = SaveStartFolder();
  return RunFileDialog(&window, window.SaveDialog1, QString(), QFileDialog::AcceptSave);
}

void SaveChosenLines(TCorvelProg& window, UserInterface& ui, const std::string& path,
                     const std::vector<std::string>& lines) {
  if (!SaveMessageLines(path, lines)) {
    ShowMessage(ui, "Cannot create file " + path + ".");
    return;
  }
  RememberSaveFolder(PathToQt(path));
  window.ShowResult("Message saved.");
}

}  // namespace corvelle
