#pragma once
// Filing a message into one or more folders.

#include <string>
#include <vector>

namespace corvelle {

// Files the message `file_name` (a work file) into each folder of the folder list `folders`
// (sub-folder `sub_dir` of each, when not empty). With `write_first`, `lines` are written to
// the work file and flushed before it is moved. False when any step failed (the message is
// never lost: the work file stays until a complete copy exists in every folder).
bool FileMessage(const std::string& folders, const std::string& sub_dir, const std::string& file_name,
                 const std::vector<std::string>& lines, bool write_first);

}  // namespace corvelle
