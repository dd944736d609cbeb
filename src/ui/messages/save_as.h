#pragma once
// Save As, for a message window and for the messages chosen in the mailbox window alike: the
// save dialog as the main window keeps it, then the lines written and the result told.

#include <QFileDialog>
#include <QString>
#include <string>
#include <vector>

namespace corvelle {

class TCorvelProg;
class UserInterface;
struct FileDialogState;

// Runs a file dialog made from `state`: the chosen path, or "" when it was cancelled.
// `last_folder`, when given, receives the folder the dialog showed last.
std::string RunFileDialog(QWidget* parent, const FileDialogState& state, const QString& title,
                          QFileDialog::AcceptMode mode, QString* last_folder = nullptr);

// The path chosen in the main window's save dialog (SaveDialog1), which starts in the folder
// saved to last; "" when it was cancelled.
std::string ChooseSavePath(TCorvelProg& window);

// Writes `lines` to `path`: a failure is told, success remembers the folder and shows
// "Message saved." in the result panel.
void SaveChosenLines(TCorvelProg& window, UserInterface& ui, const std::string& path,
                     const std::vector<std::string>& lines);

}  // namespace corvelle
