#include "core/settings/settings.h"

#include <algorithm>
#include <cstdlib>

#include "core/accounts/account_sections.h"
#include "core/store/mail_store.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace corvelle {


namespace {

// The settings file that the settings in memory have parted from (it could not be read, or the last
// save to it failed); empty while they match.
std::string parted_file;

constexpr const char* kMain = "main";
constexpr const char* kFont = "font";
constexpr const char* kCheckMailMinutes = "CheckMailMinutes";

// Fixed offsets of the password scrambling (the stored form depends on them).
constexpr int kFirstOffset = 3;
constexpr int kSecondOffset = 7;
constexpr int kOddOffset = 5;

// Flags are read by their first character only.
bool Flag(const PrivateProfile& ini, const char* key) {
  std::string value = ini.ReadString(kMain, key, "0");
  return !value.empty() && value[0] == '1';
}

char Shift(char c, int offset) {
  return static_cast<char>(static_cast<unsigned char>(static_cast<unsigned char>(c) + offset));
}

// Pairs (a, b) become (b + second, a + first); an odd last character gets the third offset.
// `sign` +1 encodes, -1 decodes.
std::string Scramble(const std::string& in, int sign) {
  std::string out(in.size(), '\0');
  for (size_t i = 0; i + 1 < in.size(); i += 2) {
    if (sign > 0) {
      out[i] = Shift(in[i + 1], kSecondOffset);
      out[i + 1] = Shift(in[i], kFirstOffset);
    } else {
      out[i] = Shift(in[i + 1], -kFirstOffset);
      out[i + 1] = Shift(in[i], -kSecondOffset);
    }
  }
  if (in.size() % 2) out.back() = Shift(in.back(), sign * kOddOffset);
  return out;
}

FontRecord LoadFont(const PrivateProfile& ini) {
  FontRecord font;
  font.name = ini.ReadString(kFont, "Font.Name", "Courier New").substr(0, 255);
  font.size = ini.ReadInteger(kFont, "Font.Size", 10);
  font.height = ini.ReadInteger(kFont, "Font.Height", -13);  // after the size: it decides
  font.color = ini.ReadInteger(kFont, "Font.Color", static_cast<int>(0x80000008u));
  std::string style = ini.ReadString(kFont, "Font.Style", "0000");
  auto on = [&](size_t i) { return i < style.size() && style[i] == '1'; };
  font.bold = on(0);
  font.italic = on(1);
  font.underline = on(2);
  font.strike_out = on(3);
  return font;
}

void SaveFont(PrivateProfile& ini, const FontRecord& font) {
  ini.WriteString(kFont, "Font.Name", font.name);
  ini.WriteInteger(kFont, "Font.Size", font.size);
  ini.WriteInteger(kFont, "Font.Height", font.height);
  ini.WriteInteger(kFont, "Font.Color", font.color);
  std::string style;
  for (bool on : {font.bold, font.italic, font.underline, font.strike_out}) style += on ? '1' : '0';
  ini.WriteString(kFont, "Font.Style", style);
}

// Every field of the record from the file (the window position apart).
Settings ReadSettings(const PrivateProfile& ini) {
  Settings s;
  s.MailDirectory = ini.ReadString(kMain, "MailDirectory", "");
  // The program always stores the trailing separator; a hand-edited file may lack it.
  if (!s.MailDirectory.empty() && s.MailDirectory.back() != '/') s.MailDirectory += '/';
  s.DefaultMailFolder = ini.ReadString(kMain, "DefaultMailFolder", "");
  s.Signature = ini.ReadString(kMain, "Signature", s.MailDirectory + "system/signatures/signature.txt");
  s.SendServer = ini.ReadString(kMain, "SendServer", "");
  s.SendPort = ini.ReadString(kMain, "SendPort", "");
  s.MailServer = ini.ReadString(kMain, "MailServer", "");
  s.MailPort = ini.ReadString(kMain, "MailPort", "");
  s.UserName = ini.ReadString(kMain, "UserName", "");
  s.PassWord = ini.ReadString(kMain, "PassWord", "");
  s.MyName = ini.ReadString(kMain, "MyName", "");
  s.MailAddress = ini.ReadString(kMain, "MailAddress", "");
  s.LeaveMailOnServer = Flag(ini, "LeaveMailOnServer");
  s.ExitAfterCmdProc = Flag(ini, "ExitAfterCmdProc");
  s.RememberPos = Flag(ini, "RememberPos");
  s.DecodeNames = ini.ReadString(kMain, "DecodeNames", "1").substr(0, 1) != "0";
  s.CheckMailMinutes = std::clamp(ini.ReadInteger(kMain, kCheckMailMinutes, 0), 0, kMaxCheckMailMinutes);
  s.DefaultAB = ini.ReadString(kMain, "DefaultAB", "AddressBook");
  if (s.DefaultAB.empty()) s.DefaultAB = "AddressBook";
  s.DefaultFont = LoadFont(ini);
  s.SupportAddress = ini.ReadString(kMain, "SupportAddress", s.SupportAddress);
  LoadSecuritySettings(ini, s.Secure);
  ReadAccountSections(ini, s);
  s.DefaultABPath = DefaultAddressBookPath(s);
  return s;
}

}  // namespace

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  std::string dir = home ? home : "";
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

MailStore StoreOf(const Settings& settings) { return MailStore(settings.MailDirectory, settings.DecodeNames); }

std::string DefaultMailDirectory() { return HomeFolder() + "Mail/"; }

std::string DefaultAddressBookPath(const Settings& settings) {
  return StoreOf(settings).AddressBooks() + settings.DefaultAB + ".cvab";
}

Settings LoadSettings(UserInterface& ui, WindowPos& pos, std::string& version) {
  PrivateProfile ini(SettingsFilePath());
  parted_file = ini.Unreadable() ? ini.Path() : std::string();
  if (ini.Unreadable())
    ShowMessage(ui, "The settings file " + ini.Path() +
                        " exists but cannot be read.  Corvelle runs without it and leaves it as it is.");
  version = ini.ReadString(kMain, "CurrentVersion", "");
  Settings s = ReadSettings(ini);
  if (s.RememberPos) {
    pos.x = ini.ReadInteger(kMain, "XPos", -1);
    pos.y = ini.ReadInteger(kMain, "YPos", -1);
  }
  return s;
}

void ReloadSettings(UserInterface& ui, Settings& settings) {
  if (!parted_file.empty() && parted_file == ResolvePath(SettingsFilePath())) return;
  WindowPos ignored_pos;
  std::string ignored_version;
  settings = LoadSettings(ui, ignored_pos, ignored_version);
}

bool SaveSettings(const Settings& s) {
  PrivateProfile ini(SettingsFilePath());
  // Only the keys the program sets are written: any other key of the section (the support
  // address, DecodeNames, trusted certificates, the window position, a hand-set one) stays.
  ini.WriteString(kMain, "CurrentVersion", kVersion);
  ini.WriteString(kMain, "MailDirectory", s.MailDirectory);
  ini.WriteString(kMain, "DefaultMailFolder", s.DefaultMailFolder);
  ini.WriteString(kMain, "Signature", s.Signature);
  ini.WriteString(kMain, "SendServer", s.SendServer);
  ini.WriteString(kMain, "SendPort", s.SendPort);
  ini.WriteString(kMain, "MailServer", s.MailServer);
  ini.WriteString(kMain, "MailPort", s.MailPort);
  ini.WriteString(kMain, "UserName", s.UserName);
  // Quoted: the reader strips one pair, so blanks and quotes at either end survive.
  ini.WriteString(kMain, "PassWord", "\"" + s.PassWord + "\"");
  ini.WriteString(kMain, "MyName", s.MyName);
  ini.WriteString(kMain, "MailAddress", s.MailAddress);
  ini.WriteString(kMain, "LeaveMailOnServer", s.LeaveMailOnServer ? "1" : "0");
  ini.WriteString(kMain, "ExitAfterCmdProc", s.ExitAfterCmdProc ? "1" : "0");
  ini.WriteString(kMain, "RememberPos", s.RememberPos ? "1" : "0");
  ini.WriteString(kMain, "DefaultAB", s.DefaultAB);
  // Absent means off: a file that never had the check gets no key for it.
  if (s.CheckMailMinutes != 0 || !ini.ReadString(kMain, kCheckMailMinutes, "").empty())
    ini.WriteInteger(kMain, kCheckMailMinutes, s.CheckMailMinutes);
  SaveSecuritySettings(ini, s.Secure);
  WriteAccountSections(ini, s);
  SaveFont(ini, s.DefaultFont);
  bool saved = ini.Save();
  parted_file = saved ? std::string() : ini.Path();
  return saved;
}

bool SaveWindowPosition(const WindowPos& pos) {
  PrivateProfile ini(SettingsFilePath());
  ini.WriteInteger(kMain, "XPos", pos.x);
  ini.WriteInteger(kMain, "YPos", pos.y);
  return ini.Save();
}

std::string EncodePassword(const std::string& plain) { return Scramble(plain, +1); }

std::string DecodePassword(const std::string& stored) { return Scramble(stored, -1); }

}  // namespace corvelle
