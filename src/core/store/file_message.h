#pragma once
// The outcome of filing a message into one or more folders (MailStore::FileMessage).

#include <string>
#include <vector>

#include "core/store/mail_store.h"

namespace corvelle {

enum class Filing { kMoved, kWriteFailed, kMoveRefused };

struct FiledCopy {
  std::string folder;  // the folder text, as listed
  Filing outcome = Filing::kMoveRefused;
  std::string name;  // the file it became; "" when it was not moved
};

struct FilingResult {
  std::vector<FiledCopy> copies;  // one per folder of the list, in its order
  std::string kept;               // the source name a copy stays under (see FileMessage), or ""
  bool AllMoved() const;          // every folder received the message
  bool WriteFailed() const;
};

}  // namespace corvelle
