#include "core/browse/message_entry.h"

#include "core/store/file_naming.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr size_t kSubjectWidth = 50;
constexpr size_t kPartyWidth = 30;

bool EndsWithIgnoringCase(std::string_view name, std::string_view end) {
  return name.size() >= end.size() && SameNameIgnoringCase(name.substr(name.size() - end.size()), end);
}

std::string TrimPadding(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

// The name without its extension: a filed name holds no other "." (they become ",").
std::string_view Stem(std::string_view name) {
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

MessageKind KindOf(std::string_view name, bool in_sent_folder, bool in_postponed_folder) {
  if (in_postponed_folder) return MessageKind::kPostponed;
  if (in_sent_folder) return MessageKind::kSent;
  if (IsUnreadName(name)) return MessageKind::kUnread;
  if (EndsWithIgnoringCase(name, ".out")) return MessageKind::kSpooled;
  return MessageKind::kRead;
}

}  // namespace

bool IsUnreadName(std::string_view name) { return name.size() > 8 && EndsWithIgnoringCase(name, ".newmail"); }

bool IsSentFolderName(std::string_view folder_name) {
  while (!folder_name.empty() && folder_name.back() == '/') folder_name.remove_suffix(1);
  size_t slash = folder_name.rfind('/');
  if (slash != std::string_view::npos) folder_name.remove_prefix(slash + 1);
  constexpr std::string_view kSent = "sent mail";
  return folder_name.size() >= kSent.size() && SameNameIgnoringCase(folder_name.substr(0, kSent.size()), kSent);
}

MessageEntry ParseMessageName(std::string_view name, bool in_sent_folder, bool in_postponed_folder) {
  MessageEntry entry;
  entry.kind = KindOf(name, in_sent_folder, in_postponed_folder);
  std::string_view stem = Stem(name);
  // Fewer than 80 characters: not a filed name.
  if (Utf8PrefixBytes(stem, kSubjectWidth + kPartyWidth - 1) == stem.size()) {
    entry.subject = TrimPadding(stem);
    return entry;
  }
  size_t subject_bytes = Utf8PrefixBytes(stem, kSubjectWidth);
  std::string_view rest = stem.substr(subject_bytes);
  entry.subject = TrimPadding(stem.substr(0, subject_bytes));
  entry.party = TrimPadding(rest.substr(0, Utf8PrefixBytes(rest, kPartyWidth)));
  return entry;
}

}  // namespace corvelle
