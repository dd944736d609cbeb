#include "core/store/mail_store.h"

#include <utility>

#include "core/store/file_naming.h"
#include "platform/paths.h"

namespace corvelle {

MailStore::MailStore(std::string root, bool decode_names) : root_(std::move(root)), decode_names_(decode_names) {
  if (!root_.empty() && root_.back() != '/') root_ += '/';
}

std::string MailStore::FolderPath(std::string_view folder_text) const {
  std::string path = (!folder_text.empty() && folder_text[0] == '/') ? std::string(folder_text)
                                                                      : root_ + std::string(folder_text);
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

bool MailStore::InPostponed(std::string_view path) const { return SameNameIgnoringCase(FolderPart(path), Postponed()); }

std::string MailStore::SpoolFileName() const { return UniqueFileName(Spool(), ".out"); }

}  // namespace corvelle
