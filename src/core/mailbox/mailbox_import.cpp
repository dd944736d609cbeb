#include "core/mailbox/mailbox_import.h"

#include <string_view>
#include <vector>

#include "core/settings/settings.h"
#include "core/store/file_message.h"
#include "core/store/file_naming.h"
#include "core/user_interface.h"
#include "platform/disk_sync.h"
#include "platform/file_append.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

std::string_view WithoutLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Collects one message at a time and files it.
class MessageFiler {
 public:
  MessageFiler(const std::string& folder, const std::string& mailbox_name, ImportResult& result)
      : folder_(folder), mailbox_name_(mailbox_name), spool_(ResolvePath(MailSettings.MailDirectory + "Spool")),
        result_(result) {}

  // `line` with its line end.
  void Add(std::string_view line) {
    std::string_view text = WithoutLineEnd(line);
    if (in_header_) {
      header_.emplace_back(text);
      in_header_ = !text.empty();
    }
    if (IsQuotedFrom(text)) line.remove_prefix(1);
    bytes_.append(line);
  }

  // Every filed message on disk, data and name: the flushes are made together, once.
  bool Sync() const { return SyncFiles(filed_) && SyncPath(folder_) && SyncPath(spool_); }

  void Flush() {
    // Nothing, or one empty line, is no message.
    if (!bytes_.empty() && !(header_.size() == 1 && header_[0].empty())) File();
    bytes_.clear();
    header_.clear();
    in_header_ = true;
  }

 private:
  void File() {
    std::string work = UniqueFileName(spool_, "");
    std::string final_name;
    if (!WriteNewFileUnflushed(work, bytes_)) {
      ++result_.failed;
    } else if (MoveFileUnique(work, FiledTarget(folder_, mailbox_name_, header_), final_name)) {
      ++result_.filed;
      filed_.push_back(final_name);
    } else {
      ++result_.failed;  // it waits in "Spool" under its work name
    }
  }

  std::string folder_, mailbox_name_, spool_;
  ImportResult& result_;
  std::string bytes_;
  std::vector<std::string> header_, filed_;
  bool in_header_ = true;
};

void ShowProgress(size_t position, size_t size, int& shown) {
  int percent = size ? static_cast<int>(position * 100 / size) : 100;
  if (percent == shown) return;
  shown = percent;
  Ui().TotalProgress(percent);
  Ui().CurrentProgress(percent);
  Ui().ProcessEvents();
}

}  // namespace

ImportResult ImportMailbox(const std::string& mailbox, MailboxKind kind, const StatusLine& status) {
  ImportResult result;
  std::string path = ResolvePath(mailbox);
  std::string folder = FolderPart(path);
  if (status) status("Importing mail folder " + path + " into folder " + folder);
  std::string data;
  if (!ReadWholeFile(path, data)) return result;
  result.loaded = true;

  MessageFiler filer(folder, NamePart(path), result);
  int shown = -1;
  for (size_t pos = 0; pos < data.size();) {
    size_t end = data.find('\n', pos);
    end = end == std::string::npos ? data.size() : end + 1;
    std::string_view line(data.data() + pos, end - pos);
    pos = end;
    if (IsSeparatorLine(WithoutLineEnd(line), kind)) {
      filer.Flush();
    } else {
      filer.Add(line);
    }
    ShowProgress(pos, data.size(), shown);
  }
  filer.Flush();

  // Every message must be on disk before the mailbox, the only other copy, goes.
  if (result.failed == 0 && filer.Sync() && RemoveFile(path)) {
    result.mailbox_removed = true;
    SyncPath(folder);
  }
  return result;
}

}  // namespace corvelle
