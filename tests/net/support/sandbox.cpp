#include "net/support/sandbox.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace corvelle::testing {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> ReadAssignments(const std::string& path) {
  std::map<std::string, std::string> values;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Mailbox folders are made writable for all: run as root, the sandbox's servers work as
// another user.
void MakeSharedFolder(const fs::path& path) {
  fs::create_directories(path);
  ::chmod(path.c_str(), 0777);
}

}  // namespace

bool FindSandbox(Sandbox& sandbox, std::string& why) {
  std::map<std::string, std::string> values;
  std::string dir = Variable("CORVELLE_SANDBOX_DIR");
#ifdef CORVELLE_SANDBOX_DEFAULT_DIR
  if (dir.empty()) dir = CORVELLE_SANDBOX_DEFAULT_DIR;
#endif
  if (!dir.empty()) values = ReadAssignments(dir + "/env");
  if (values.empty()) {
    for (const char* name : {"CORVELLE_SANDBOX_HOST", "CORVELLE_SANDBOX_POP3_PORT", "CORVELLE_SANDBOX_SMTP_PORT",
                             "CORVELLE_SANDBOX_USER", "CORVELLE_SANDBOX_PASSWORD", "CORVELLE_SANDBOX_MAILDIR",
                             "CORVELLE_SANDBOX_MAIL_ROOT", "CORVELLE_SANDBOX_DELIVERIES"})
      if (!Variable(name).empty()) values[name] = Variable(name);
  }
  sandbox.host = values["CORVELLE_SANDBOX_HOST"];
  sandbox.pop3_port = values["CORVELLE_SANDBOX_POP3_PORT"];
  sandbox.smtp_port = values["CORVELLE_SANDBOX_SMTP_PORT"];
  sandbox.user = values["CORVELLE_SANDBOX_USER"];
  sandbox.password = values["CORVELLE_SANDBOX_PASSWORD"];
  sandbox.maildir = values["CORVELLE_SANDBOX_MAILDIR"];
  sandbox.mail_root = values["CORVELLE_SANDBOX_MAIL_ROOT"];
  sandbox.deliveries = values["CORVELLE_SANDBOX_DELIVERIES"];
  if (sandbox.host.empty()) sandbox.host = "127.0.0.1";
  if (sandbox.pop3_port.empty() || sandbox.smtp_port.empty() || sandbox.mail_root.empty()) {
    why = "the mail sandbox is not running" + (dir.empty() ? std::string() : " (state folder " + dir + ")") +
          ": run the tests with ctest, or start it with scripts/mail-sandbox start and set "
          "CORVELLE_SANDBOX_DIR or the variables of scripts/mail-sandbox env";
    return false;
  }
  return true;
}

std::string NewSandboxUser(const Sandbox& sandbox, const std::string& hint, std::string& user) {
  static std::atomic<int> counter{0};
  std::string name;
  // Lower case: the POP3 server folds user names to it.
  for (char c : hint) name += std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(static_cast<unsigned char>(c))) : '-';
  if (name.size() > 40) name.resize(40);
  user = "t" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" + name;
  fs::path home = fs::path(sandbox.mail_root) / user;
  fs::remove_all(home);
  MakeSharedFolder(home);
  fs::path maildir = home / "Maildir";
  for (const char* sub : {"", "tmp", "new", "cur"}) MakeSharedFolder(maildir / sub);
  return maildir.string();
}

void DeliverToMaildir(const std::string& maildir, const std::string& message) {
  static std::atomic<int> counter{0};
  std::string name = std::to_string(::time(nullptr)) + ".T" + std::to_string(::getpid()) + "N" +
                     std::to_string(counter++) + ".corvelle-test";
  fs::path temporary = fs::path(maildir) / "tmp" / name;
  {
    std::ofstream out(temporary, std::ios::binary);
    out.write(message.data(), static_cast<std::streamsize>(message.size()));
  }
  ::chmod(temporary.c_str(), 0666);
  fs::rename(temporary, fs::path(maildir) / "new" / name);
}

std::vector<std::string> MaildirMessages(const std::string& maildir) {
  std::vector<std::string> names;
  for (const char* sub : {"new", "cur"}) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(maildir) / sub, error))
      names.push_back(std::string(sub) + "/" + entry.path().filename().string());
  }
  return names;
}

}  // namespace corvelle::testing
