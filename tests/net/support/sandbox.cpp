#include "net/support/sandbox.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace corvelle::testing {
namespace {

namespace fs = std::filesystem;

// Mailbox folders are writable for all: run as root, the sandbox's servers work as another user.
void MakeSharedFolder(const fs::path& path) {
  fs::create_directories(path);
  ::chmod(path.c_str(), 0777);
}

}  // namespace

bool FindSandbox(Sandbox& sandbox, std::string& why) {
  const char* dir = std::getenv("CORVELLE_SANDBOX_DIR");
  std::string folder = dir && *dir ? dir : CORVELLE_SANDBOX_DEFAULT_DIR;
  std::map<std::string, std::string> values;
  std::ifstream in(folder + "/env");
  for (std::string line; std::getline(in, line);)
    if (size_t equals = line.find('='); equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  sandbox.pop3_port = values["CORVELLE_SANDBOX_POP3_PORT"];
  sandbox.smtp_port = values["CORVELLE_SANDBOX_SMTP_PORT"];
  sandbox.password = values["CORVELLE_SANDBOX_PASSWORD"];
  sandbox.mail_root = values["CORVELLE_SANDBOX_MAIL_ROOT"];
  sandbox.deliveries = values["CORVELLE_SANDBOX_DELIVERIES"];
  if (!sandbox.pop3_port.empty() && !sandbox.smtp_port.empty() && !sandbox.mail_root.empty()) return true;
  why = "the mail sandbox is not running (state folder " + folder +
        "): run the tests with ctest, or start it with scripts/mail-sandbox start and point CORVELLE_SANDBOX_DIR "
        "at its state folder";
  return false;
}

std::string NewSandboxUser(const Sandbox& sandbox, const std::string& hint, std::string& user) {
  static std::atomic<int> counter{0};
  std::string name;
  // Lower case: the POP3 server folds user names to it.
  for (char c : hint.substr(0, 40)) name += std::isalnum(static_cast<unsigned char>(c)) ? char(std::tolower(c)) : '-';
  user = "t" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" + name;
  fs::path home = fs::path(sandbox.mail_root) / user;
  fs::remove_all(home);
  for (const char* sub : {"", "Maildir", "Maildir/tmp", "Maildir/new", "Maildir/cur"}) MakeSharedFolder(home / sub);
  return (home / "Maildir").string();
}

void DeliverToMaildir(const std::string& maildir, const std::string& message) {
  static std::atomic<int> counter{0};
  std::string name = std::to_string(::time(nullptr)) + ".T" + std::to_string(::getpid()) + "N" +
                     std::to_string(counter++) + ".corvelle-test";
  fs::path temporary = fs::path(maildir) / "tmp" / name;
  std::ofstream(temporary, std::ios::binary) << message;
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
