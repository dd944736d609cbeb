#include "core/mailbox/mailbox_export.h"

#include <string_view>
#include <vector>

#include "core/mailbox/mailbox_reader.h"
#include "core/mailbox/mailbox_writer.h"
#include "core/progress.h"
#include "core/store/file_naming.h"
#include "core/store/folder_files.h"
#include "core/store/mail_store.h"
#include "core/store/name_spill.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

bool IsMessageFile(const std::string& name) {
  std::string ext = AsciiLower(FileExtension(name));
  return !IsHiddenName(name) && (ext == ".mail" || ext == ".newmail");
}

// Adds the message file `path`, if it holds anything, to `out`: the separator, the file's
// lines, each matching ^>*"From " given one more ">", CR LF after a last line without a line
// end, then an empty line (it goes with the next separator; the import drops it). `added`
// tells whether the file held anything; false when it cannot be read or a write fails.
bool AddMessage(MailboxReader& in, const std::string& path, std::string_view separator, MailboxWriter& out,
                bool& added) {
  added = false;
  if (!in.Open(path)) return false;
  std::string_view line;
  bool line_end = true;
  while (in.Next(line)) {
    if (!added && !out.Write(separator)) return false;
    added = true;
    if (NeedsFromQuote(line) && !out.Write(">")) return false;
    if (!out.Write(line)) return false;
    line_end = line.back() == '\n';
  }
  if (in.Failed()) return false;
  return !added || ((line_end || out.Write("\r\n")) && out.Write("\r\n"));
}

}  // namespace

ExportResult ExportFolder(const MailStore& store, UserInterface& ui, const std::string& folder_text, MailboxKind kind,
                          std::time_t when, const StatusLine& status, size_t in_memory) {
  ExportResult result;
  std::string folder = ResolvePath(store.FolderPath(folder_text));
  result.output = ResolvePath(folder + MailboxFileName(kind));
  if (status) status("Exporting mail folder " + folder + " into folder " + result.output);

  ProgressReport progress(ui);
  const std::string separator = SeparatorLine(kind, when) + "\r\n";
  MailboxReader in;
  MailboxWriter out;
  SortedFolderFiles files(ui, folder, in_memory);
  NameSpill exported;
  std::string name;
  int count = 0;
  bool opened = false;
  for (size_t done = 0; files.Next(name); ++done) {
    progress.Current(static_cast<int>(done * 100 / files.Count()));
    if (!IsMessageFile(name)) continue;
    if (!opened && !(opened = out.Open(result.output))) return result;
    bool added = false;
    if (!AddMessage(in, folder + name, separator, out, added)) return result;  // `out` takes the run back
    if (added) exported.Add(name);
    count += added;
  }
  if (files.Failed() || (count > 0 && !out.Finish())) return result;
  // The mailbox file is on disk and intact: the message files may go. Names that cannot be
  // read back leave every file in place, and the folder is told as not exported.
  if (!exported.Rewind()) return result;
  while (exported.Next(name)) RemoveFile(folder + name);
  if (count > 0) SyncPath(folder);
  result.exported = count;
  result.ok = true;
  return result;
}

}  // namespace corvelle
