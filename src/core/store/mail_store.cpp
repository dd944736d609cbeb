#include "core/store/mail_store.h"

#include <utility>

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

}  // namespace corvelle
