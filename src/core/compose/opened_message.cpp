#include "core/compose/opened_message.h"

#include <algorithm>

#include "core/compose/header_fields.h"
#include "core/store/file_naming.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

bool IsFolderOf(std::string_view path, std::string_view mail_dir, std::string_view sub_folder) {
  std::string folder(mail_dir);
  if (folder.empty() || folder.back() != '/') folder += '/';
  folder += sub_folder;
  return SameNameIgnoringCase(FolderPart(path), folder);
}

}  // namespace

bool IsSentMessagePath(std::string_view path, std::string_view mail_dir) {
  return IsFolderOf(path, mail_dir, "Sent Mail/");
}

bool IsNewMailPath(std::string_view path) { return SameNameIgnoringCase(FileExtension(path), ".newmail"); }

std::string NewMailTarget(std::string_view path) {
  return std::string(path.substr(0, path.size() - std::min<size_t>(7, path.size()))) + "mail";
}

bool IsPlainTextPath(std::string_view path) { return !StartsWithIgnoringCase(FileExtension(path), ".mail"); }

OpenedHeader ReadOpenedHeader(const std::vector<std::string>& lines, OpenedKind kind) {
  OpenedHeader header;
  header.header_lines = HeaderLineCount(lines);
  header.body_start = std::min(header.header_lines + 1, lines.size());
  const bool received = kind == OpenedKind::kReceived;
  for (size_t i = 0; i < header.header_lines; ++i) {
    const std::string& line = lines[i];
    if (StartsWithIgnoringCase(line, "subject: ")) {
      header.subject = FieldValue(lines, i, 9);
    } else if (StartsWithIgnoringCase(line, "date: ")) {
      header.date = FieldValue(lines, i, 6);
    } else if (StartsWithIgnoringCase(line, received ? "from: " : "to: ")) {
      header.addresses = AddressText(lines, i);
    } else if (kind != OpenedKind::kSent && StartsWithIgnoringCase(line, "cc: ")) {
      header.cc = AddressText(lines, i);
    }
  }
  return header;
}

}  // namespace corvelle
