#pragma once
// What a message file's name tells without opening it. Filing names a message
//   name   = subject (50 characters, padded) + party (30 characters, padded) [number] extension
//   number = " 0" | hexadecimal digits   (added when the name was taken)
// where the party is the sender, or the recipient in sent-mail folders, and a character is a
// UTF-8 sequence or any other byte (Utf8PrefixBytes). Names of any other form are shown
// whole as the subject.

#include <string>
#include <string_view>

namespace corvelle {

// What a message file is, by its extension and folder.
enum class MessageKind {
  kUnread,     // ".newmail": not opened yet
  kRead,       // ".mail" or any other
  kSpooled,    // ".out": waiting to be sent
  kPostponed,  // in the Postponed folder
  kSent,       // in a sent-mail folder
};

struct MessageEntry {
  std::string subject;  // padding trimmed
  std::string party;    // sender, or recipient in sent-mail folders; "" for a name of another form
  MessageKind kind = MessageKind::kRead;
};

// True for a folder whose name (its last component) starts with "sent mail", ignoring case:
// its file names hold the recipient.
bool IsSentFolderName(std::string_view folder_name);

// The entry for the file `name` (no path) lying in a folder of the kind given.
MessageEntry ParseMessageName(std::string_view name, bool in_sent_folder, bool in_postponed_folder);

// True for a name ending in ".newmail" (any case).
bool IsUnreadName(std::string_view name);

}  // namespace corvelle
