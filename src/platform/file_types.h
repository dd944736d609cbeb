#pragma once
// Registration of the two message file types (".mail" and ".newmail") with the desktop.
//
// The program speaks of file types in the vocabulary of a registry of keys holding string
// values; on this host each type is realised as two freedesktop files under
// $XDG_DATA_HOME (default ~/.local/share):
//   mime/packages/<type>.xml     a shared-mime-info package: glob, comment, icon
//   applications/<type>.desktop  a desktop entry: opens a file with "open", with the
//                                desktop actions "replyto" and "autoadd"
// where <type> is the type's key in lower case with "." turned into "-" ("Corvelle.mail"
// becomes "corvelle-mail", MIME type "application/x-corvelle-mail").
//
// Keys understood ("/" separates key levels; letter case does not matter):
//   ".ext"                        the type that files ending in ".ext" have   -> glob line
//   "Type"                        the type's description                      -> comment line
//   "Type/DefaultIcon"            the type's icon (a theme icon name here)    -> icon line
//   "Type/shell/Open/command"     the Exec value that opens a file            -> main Exec line
//   "Type/shell/R&eply/command"   the Exec value of the reply action          -> "replyto" Exec
//   "Type/shell/Autoadd/command"  the Exec value of the auto-add action       -> "autoadd" Exec
// Each write sets exactly one line of one file; the file is replaced atomically.

#include <string>

namespace corvelle {

// "$XDG_DATA_HOME" when it is set to an absolute path, else "$HOME/.local/share"; no
// trailing "/". Empty when neither can be found.
std::string DataHome();

// True when `key` "exists": for a type's own key, both of the type's files exist; for a
// sub-key, its line is present; for an extension, a type's glob line names it. Only
// default values are kept on this host, so a non-empty `value` never exists.
bool RegKeyExists(const std::string& key, const std::string& value);

// Sets the line that `key` stands for (the default value when `value` is empty; other
// values are not kept and give false) to `data`, making the files and their folders when
// needed. False when the key is not one of the above or a file could not be written.
bool RegSetString(const std::string& key, const std::string& value, const std::string& data);

// The program's own full file name ("/proc/self/exe"); empty when unknown.
std::string ProgramPath();

// An Exec value that starts `program` with `option` and the file: the program quoted as
// the desktop-entry rules demand, then the option, then "%f".
std::string ExecLine(const std::string& program, const std::string& option);

// Registers both file types for `program`. A type whose files already exist is skipped
// unless `force`. Failed writes are ignored. When anything was written, the desktop's
// MIME and desktop-entry caches are refreshed with update-mime-database and
// update-desktop-database if they are installed (started with an argument vector, never
// through a shell). Returns the number of key writes attempted (6 per type written).
int AssociateFiles(bool force, const std::string& program);
int AssociateFiles(bool force);

}  // namespace corvelle
