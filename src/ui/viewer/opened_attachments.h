#pragma once
// Where attachments opened from a message window are written for the desktop's application:
// one private folder per process in the temporary folder, each opened file in a fresh
// sub-folder of it (so two attachments of one name never meet). The folder is removed when
// the process ends normally; folders left by processes that are gone are swept.

#include <string>
#include <string_view>

namespace corvelle {

// A file name for an attachment named `name`: control characters removed, "/" made "_",
// and cut to at most 255 bytes (whole UTF-8 characters) keeping its extension;
// "attachment" when nothing is left.
std::string OpenedAttachmentName(std::string_view name);

class OpenedAttachments {
 public:
  // The folder is made under `temp_root` at the first NewPath.
  explicit OpenedAttachments(std::string temp_root);
  ~OpenedAttachments();  // removes the folder and everything in it
  OpenedAttachments(const OpenedAttachments&) = delete;
  OpenedAttachments& operator=(const OpenedAttachments&) = delete;

  // A path, not yet existing, for the attachment `name`; "" when no folder could be made.
  std::string NewPath(std::string_view name);
  const std::string& folder() const { return folder_; }

  // Removes the folders under `temp_root` of processes of this user that have ended.
  // Returns how many were removed.
  static int SweepStale(const std::string& temp_root);

 private:
  std::string root_, folder_;
  unsigned next_ = 0;
};

// The process's folder, under the system's temporary folder. The first call sweeps the
// folders that ended processes left.
OpenedAttachments& ProcessAttachments();

}  // namespace corvelle
