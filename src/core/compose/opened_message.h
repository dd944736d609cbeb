#pragma once
// What a message window shows of a message file it opens: its kind, told by the file's path,
// and the fields of its header.

#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

// True when the folder part of `path` is `mail_dir` + "Sent Mail/", ignoring case.
// `mail_dir` is the mail directory; a missing final "/" is supplied.
bool IsSentMessagePath(std::string_view path, std::string_view mail_dir);

// True when the extension of `path` is ".newmail", ignoring case: a message fetched but never
// opened, which is renamed to NewMailTarget(path) when first shown.
bool IsNewMailPath(std::string_view path);

// `path` with the last seven characters ("newmail") replaced by "mail". Only for a path for
// which IsNewMailPath holds.
std::string NewMailTarget(std::string_view path);

// True when `path` is shown as plain text without a header: its extension, ignoring case,
// does not start with ".mail" (".txt", ".mai", none; ".mailx" is a message).
bool IsPlainTextPath(std::string_view path);

// The header of an opened message.
struct OpenedHeader {
  std::string subject;  // the last "Subject: " value, "" when none
  std::string date;     // the last "Date: " value, "" when none
  // Address texts for SplitAddressList, "" when there is no such line; a later line of the
  // same kind replaces an earlier one. Received: "From: " and "Cc: ". Sent: "To: " in
  // `addresses`, `cc` stays empty. Postponed: "To: " and "Cc: ", so a reopened composition
  // keeps its copy recipients.
  std::string addresses;
  std::string cc;
  size_t header_lines = 0;  // lines before the first empty line (all of them when none)
  size_t body_start = 0;    // index of the first body line: past the empty line, or lines.size()
};

enum class OpenedKind { kReceived, kSent, kPostponed };

// Reads the header of `lines` (a message file's lines) for a message of kind `kind`. Field
// names compare ignoring case: "subject: " (value from the tenth character), "date: "
// (from the seventh), "from: ", "to: ", "cc: " (see AddressText); other lines are skipped.
// Never fails; bytes of the values are kept as they are.
OpenedHeader ReadOpenedHeader(const std::vector<std::string>& lines, OpenedKind kind);

}  // namespace corvelle
