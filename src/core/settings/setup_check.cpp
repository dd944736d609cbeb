#include "core/settings/setup_check.h"

#include <tuple>

#include "core/settings/settings.h"
#include "core/signin/credentials.h"
#include "core/store/mail_store.h"
#include "core/user_interface.h"
#include "platform/paths.h"

namespace corvelle {

namespace {

// Why a path setting cannot be used as written, as the end of a message; "" when it can.
std::string PathProblem(const std::string& path) {
  if (path.find('\0') != std::string::npos) return "must not contain a NUL character.";
  if (path.size() > kMaxSettingLength)
    return "is longer than the " + std::to_string(kMaxSettingLength) + " characters a setting can hold.";
  return "";
}

// The first path setting that cannot be used, reported; None when all can.
SetupField ReportPathProblem(UserInterface& ui, const Settings& s) {
  const std::tuple<const std::string*, const char*, SetupField> paths[] = {
      {&s.MailDirectory, "The mail directory ", SetupField::MailDirectory},
      {&s.DefaultMailFolder, "The default mail folder ", SetupField::DefaultMailFolder},
      {&s.Signature, "The signature file's path ", SetupField::MailDirectory},  // lies below the mail directory
  };
  for (const auto& [path, name, field] : paths) {
    std::string problem = PathProblem(*path);
    if (problem.empty()) continue;
    ShowMessage(ui, name + problem);
    return field;
  }
  return SetupField::None;
}

// The first required field that is empty, in code order; None when all are filled.
SetupField FirstEmptyField(const Settings& s) {
  const std::pair<const std::string*, SetupField> required[] = {
      {&s.MailDirectory, SetupField::MailDirectory}, {&s.DefaultMailFolder, SetupField::DefaultMailFolder},
      {&s.SendServer, SetupField::SendServer},       {&s.SendPort, SetupField::SendPort},
      {&s.MailServer, SetupField::MailServer},       {&s.MailPort, SetupField::MailPort},
      {&s.UserName, SetupField::UserName},           {&s.PassWord, SetupField::PassWord},
      {&s.MyName, SetupField::MyName},               {&s.MailAddress, SetupField::MailAddress},
  };
  // Signing in with OAuth2 happens in the browser: no password is kept.
  bool oauth = AccountSignIn(s) == SignInMethod::kOAuth2;
  for (const auto& [value, field] : required)
    if (value->empty() && !(oauth && field == SetupField::PassWord)) return field;
  return SetupField::None;
}

// Each port that is no port number, reported and reset to the usual port of its security
// choice (receive port first); the field of the last one, or None.
SetupField ReportBadPorts(UserInterface& ui, const Settings& s, SetupFields& fields) {
  SetupField bad_port = SetupField::None;
  if (!IsPortNumber(s.MailPort)) {
    const std::string port = kMailPorts[static_cast<int>(MailSecurity(s))];
    ShowMessage(ui, "Port numbers must be numeric!  Default receive mail port is " + port + ".");
    fields.ResetField(SetupField::MailPort, port);
    bad_port = SetupField::MailPort;
  }
  if (!IsPortNumber(s.SendPort)) {
    const std::string port = kSendPorts[static_cast<int>(SendSecurity(s))];
    ShowMessage(ui, "Port numbers must be numeric!  Default send mail port is " + port + ".");
    fields.ResetField(SetupField::SendPort, port);
    bad_port = SetupField::SendPort;
  }
  return bad_port;
}

}  // namespace

bool IsPortNumber(const std::string& port) {
  if (port.empty()) return false;
  long value = 0;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > 65535) return false;
  }
  return value >= 1;
}

bool PathSettingsUsable(const Settings& s) {
  return PathProblem(s.MailDirectory).empty() && PathProblem(s.DefaultMailFolder).empty() &&
         PathProblem(s.Signature).empty();
}

std::string MailDirectoryBelowHome(const std::string& typed) {
  // A relative folder would depend on where the program was started.
  if (typed.empty() || typed[0] == '/') return typed;
  return HomeFolder() + typed.substr(typed.rfind("~/", 0) == 0 ? 2 : 0);
}

bool CheckMailDirectory(Settings& s, bool create, SetupFields& fields) {
  std::string& dir = s.MailDirectory;
  if (dir.empty() || dir[0] != '/') {
    dir = dir.empty() ? DefaultMailDirectory() : MailDirectoryBelowHome(dir);
    fields.ShowMailDirectory(dir);
  }
  return MailStore(dir, s.DecodeNames).CheckMailDirs(s.DefaultMailFolder, true, create, create);
}

SetupField FullSetupEntered(UserInterface& ui, Settings& s, bool create_dirs, SetupFields& fields) {
  if (SetupField empty = FirstEmptyField(s); empty != SetupField::None) return empty;
  if (SetupField port = ReportBadPorts(ui, s, fields); port != SetupField::None) return port;
  if (SetupField path = ReportPathProblem(ui, s); path != SetupField::None) return path;

  if (!CheckMailDirectory(s, create_dirs, fields)) {
    if (create_dirs)
      ShowMessage(ui, "The mail folders could not be made in " + s.MailDirectory +
                      ".  Check that the folder can be written, or choose another.");
    return SetupField::MailDirectory;
  }
  if (!PathExists(s.MailDirectory + s.DefaultMailFolder)) {
    ShowMessage(ui, "Default mail folder must exist!");
    fields.ResetField(SetupField::DefaultMailFolder, "Inbox");
    return SetupField::DefaultMailFolder;
  }
  if (s.MailServer.find('@') != std::string::npos) {
    ShowMessage(ui, "Invalid character @ in Mail Server name.");
    return SetupField::MailServer;
  }
  if (s.SendServer.find('@') != std::string::npos) {
    ShowMessage(ui, "Invalid character @ in Send Server name.");
    return SetupField::SendServer;
  }
  return SetupField::None;
}

}  // namespace corvelle
