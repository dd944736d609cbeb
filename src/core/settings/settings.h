#pragma once
// The settings file (sections "main" and "font") and the settings record read from it.

#include <string>
#include <vector>

#include "core/accounts/account.h"
#include "core/settings/security_settings.h"
#include "core/store/mail_store.h"

namespace corvelle {

class UserInterface;

inline constexpr const char* kVersion = "1.24b";

// The most bytes of a value that the settings file gives back; a longer one is read cut.
inline constexpr size_t kMaxSettingLength = 1023;

// The default message font. `height` follows the old convention: negative is the
// character height in pixels. `color` 0x80000000 + n names system colour n, else 0x00BBGGRR.
struct FontRecord {
  std::string name = "Courier New";
  int size = 10;
  int height = -13;
  int color = static_cast<int>(0x80000008u);  // the window-text colour
  bool bold = false, italic = false, underline = false, strike_out = false;
};

struct Settings {
  std::string MailDirectory;      // absolute, ends in "/"
  std::string DefaultMailFolder;  // relative, no leading or trailing "/"
  std::string Signature;
  std::string SendServer, SendPort;
  std::string MailServer, MailPort;
  std::string UserName;
  std::string PassWord;  // scrambled, as stored
  std::string MyName, MailAddress;
  std::string DefaultAB = "AddressBook";
  std::string DefaultABPath;  // derived: MailDirectory + "System/AddressBook/" + DefaultAB + ".cvab"
  bool LeaveMailOnServer = false, ExitAfterCmdProc = false, RememberPos = false;
  bool DecodeNames = true;  // false: file names from the raw header bytes, encoded words and all
  int CheckMailMinutes = 0;  // Get / Send All in the background every so many minutes; 0: never
  FontRecord DefaultFont;
  // Where comments and problem reports go; only read, so a hand-set address stays.
  std::string SupportAddress = "support@corvelle.invalid";
  SecuritySettings Secure;
  // The first account's name ("AccountName"; "": none given) and the accounts after it
  // (sections "[Account NAME]", core/accounts/account_sections.h).
  std::string AccountName;
  std::vector<Account> Accounts;
};


// The longest interval between two background checks: a day.
inline constexpr int kMaxCheckMailMinutes = 1440;

struct WindowPos {
  int x = -1, y = -1;
};

// The settings the settings file holds (every field read; DefaultABPath derived).
// `version` receives "CurrentVersion"; `pos` receives "XPos"/"YPos" only when RememberPos
// is set. A file that exists but cannot be read is reported through `ui`, naming it, and
// gives the defaults; it is never written over (SaveSettings then fails).
Settings LoadSettings(UserInterface& ui, WindowPos& pos, std::string& version);

// For the setup dialog: `settings` replaced by LoadSettings, unless the settings in memory
// have parted from the file (it could not be read, or the last SaveSettings failed): then
// `settings` are the ones in effect until the program ends, and they are kept.
void ReloadSettings(UserInterface& ui, Settings& settings);

// Writes the keys of sections "main" and "font" that `settings` holds; every other key and
// section ("filters", keys set by hand) is left as it was.
// False when the file could not be written.
bool SaveSettings(const Settings& settings);

// Writes "XPos" and "YPos" of section "main", touching nothing else.
bool SaveWindowPosition(const WindowPos& pos);

// The mail store the settings name.
MailStore StoreOf(const Settings& settings);

// The derived path of the default address book: the book DefaultAB in the address-book
// folder of the mail directory.
std::string DefaultAddressBookPath(const Settings& settings);

// The user's home folder, ending in "/"; the mail directory when none is set: "$HOME/Mail/".
std::string HomeFolder();
std::string DefaultMailDirectory();

// The reversible scrambling of the stored POP password: one byte per character, any
// byte string of any length round-trips.
std::string EncodePassword(const std::string& plain);
std::string DecodePassword(const std::string& stored);

}  // namespace corvelle
