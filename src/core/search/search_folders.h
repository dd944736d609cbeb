#pragma once
// Which folders a message search goes through.

#include <string>
#include <vector>

namespace corvelle {

class MailStore;

// Full paths ending in "/", parents before their sub-folders, each once: every folder of
// `chosen` (full folder paths) with its sub-folders at any depth, or, when `chosen` is
// empty, every mail folder of `store` ("System" and spool folders left out). A folder that
// is one of its own ancestors (a link loop) is not entered again; a chosen folder that
// does not exist adds nothing.
std::vector<std::string> SearchFolders(const MailStore& store, const std::vector<std::string>& chosen);

}  // namespace corvelle
