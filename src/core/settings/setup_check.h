#pragma once
// The completeness check of the settings that the setup dialog runs on OK: which field,
// if any, keeps the program from running. Messages go through the user-interface seam;
// the dialog's fields are reached through SetupFields, which the dialog implements.

#include <string>

namespace corvelle {

struct Settings;
class UserInterface;

// The fields of the check, numbered as its result codes. None (0) means complete.
enum class SetupField : int {
  None = 0,
  MailDirectory = 1,
  DefaultMailFolder = 2,
  SendServer = 3,
  SendPort = 4,
  MailServer = 5,
  MailPort = 6,
  UserName = 7,
  PassWord = 8,
  MyName = 9,
  MailAddress = 10,
};

// What the check may change in the dialog (never in the settings).
class SetupFields {
 public:
  virtual ~SetupFields() = default;
  // Shows the mail directory that the check filled in.
  virtual void ShowMailDirectory(const std::string& directory) = 0;
  // Puts a default text back into a field that held a bad value.
  virtual void ResetField(SetupField field, const std::string& text) = 0;
};

// True when `port` is a port number as typed: decimal digits only, 1 to 65535.
bool IsPortNumber(const std::string& port);

// True when the path settings (mail directory, default mail folder, signature) can be used
// as written: none holds a NUL byte, at which the file system would cut the path, and none
// is longer than the settings file gives back (kMaxSettingLength), so a later start finds
// the same folders.
bool PathSettingsUsable(const Settings& s);

// A mail directory as typed, made absolute: a relative one, or "~/...", is taken below the
// home folder; an absolute or empty one is returned unchanged.
std::string MailDirectoryBelowHome(const std::string& typed);

// An empty s.MailDirectory becomes DefaultMailDirectory(), and a relative one (or "~/...")
// is taken below the home folder (either shown in the dialog); then the
// mail directory tree is checked and, with `create`, made with the sample folders.
// False when the tree is incomplete or could not be made.
bool CheckMailDirectory(Settings& s, bool create, SetupFields& fields);

// Checks `s` (only its mail directory may be made absolute, as CheckMailDirectory does),
// reporting through `ui`: the first empty field in code order; then both ports (each bad
// one reported and reset to the usual port of its security choice, receive port first; the
// send port's code wins); then the path settings (PathSettingsUsable; reported); then the
// tree (made when `create_dirs`; one that cannot be made is reported); then
// that the default folder exists (reset to "Inbox"); then "@" in the mail server, then in
// the send server. None when all pass.
SetupField FullSetupEntered(UserInterface& ui, Settings& s, bool create_dirs, SetupFields& fields);

}  // namespace corvelle
