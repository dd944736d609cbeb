#include "core/mailbox/mailbox_export.h"

#include <string_view>
#include <vector>

#include "core/progress.h"
#include "core/store/file_naming.h"
#include "core/store/folder_files.h"
#include "core/store/mail_store.h"
#include "platform/file_append.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

bool IsMessageFile(const std::string& name) {
  std::string ext = AsciiLower(FileExtension(name));
  return !IsHiddenName(name) && (ext == ".mail" || ext == ".newmail");
}

// The message's bytes, each line matching ^>*"From " given one more ">", then an empty line.
void AppendQuoted(std::string& out, std::string_view message) {
  for (size_t pos = 0; pos < message.size();) {
    size_t end = message.find('\n', pos);
    end = end == std::string_view::npos ? message.size() : end + 1;
    std::string_view line = message.substr(pos, end - pos);
    if (NeedsFromQuote(line)) out += '>';
    out.append(line);
    pos = end;
  }
  if (message.back() != '\n') out += "\r\n";
  out += "\r\n";  // the empty line that goes with the next separator; the import drops it
}

}  // namespace

ExportResult ExportFolder(const MailStore& store, UserInterface& ui, const std::string& folder_text, MailboxKind kind,
                          std::time_t when, const StatusLine& status) {
  ExportResult result;
  std::string folder = ResolvePath(store.FolderPath(folder_text));
  result.output = ResolvePath(folder + MailboxFileName(kind));
  if (status) status("Exporting mail folder " + folder + " into folder " + result.output);

  std::vector<std::string> names;
  ListFolderFiles(ui, folder, names);
  ProgressReport progress(ui);
  const std::string separator = SeparatorLine(kind, when) + "\r\n";
  std::string out, message;
  std::vector<std::string> exported;
  for (size_t i = 0; i < names.size(); ++i) {
    progress.Current(static_cast<int>(i * 100 / names.size()));
    if (!IsMessageFile(names[i])) continue;
    std::string path = folder + names[i];
    if (!ReadWholeFile(path, message)) return result;
    if (message.empty()) continue;
    out += separator;
    AppendQuoted(out, message);
    exported.push_back(std::move(path));
  }
  if (!exported.empty() && !AppendFileChecked(result.output, out)) return result;
  // The mailbox file is on disk and intact: the message files may go.
  for (const std::string& path : exported) RemoveFile(path);
  if (!exported.empty()) SyncPath(folder);
  result.exported = static_cast<int>(exported.size());
  result.ok = true;
  return result;
}

}  // namespace corvelle
