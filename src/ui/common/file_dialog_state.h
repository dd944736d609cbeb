#pragma once
// What the main window's open and save dialogs keep between uses: the dialogs are made
// for one use from this state, and the state is updated afterwards.

#include <QString>
#include <QStringList>
#include <string>

namespace corvelle {

struct FileDialogState {
  QString directory;       // initial folder; empty: the one shown last
  QStringList filters;     // Qt name filters
  QString default_suffix;  // appended to a name typed without one
  QString file_name;
};

// "Description|patterns|Description|patterns" as Qt name filters ("Description (p1 p2)"):
// ";" between patterns becomes a space, "*.*" means every file, and a pattern list
// already written in the description is not repeated.
QStringList NameFilters(const std::string& filter);

// The folder a save dialog starts in: the folder a file was last saved to in this run,
// else the user's home.
QString SaveStartFolder();
// Notes the folder of `saved_file` for the next save dialog.
void RememberSaveFolder(const QString& saved_file);

// A folder as a dialog's initial directory: one trailing "/" dropped unless it is the root.
QString InitialDirectory(const std::string& folder);

}  // namespace corvelle
