#pragma once
// How many messages wait unread: files ending in ".newmail" (any case). The mailbox
// window shows a folder's count beside it; the tray shows the whole store's.

#include <string>

namespace corvelle {

class MailStore;

// The unread messages lying directly in `folder` (its sub-folders not counted).
int CountNewMessages(const std::string& folder);

// The unread messages of every mail folder of `store`, at any depth: "System", "Spool" and
// "Postponed" left out (a postponed message is ".newmail" too, but nobody's new mail).
int CountAllNewMessages(const MailStore& store);

}  // namespace corvelle
