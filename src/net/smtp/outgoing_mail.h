#pragma once
// One message made ready to send, read once from its spool file or its window's lines: the
// envelope (sender and recipients), the text as stored, and what the status lines and the
// boxes name it by. The sender delivers it; the run files it afterwards.

#include <functional>
#include <string>
#include <vector>

#include "core/store/big_file.h"

namespace corvelle {

struct OutgoingMail {
  std::string from;                      // the sender's bare address, for "mail from"
  std::string author;                    // the "From:" field, unfolded; "" without one
  std::vector<std::string> recipients;   // from the "To: " and "Cc: " lines, in order
  TBigFile text;                         // the whole message as stored, header included
  std::vector<std::string> header;       // its header lines as the server sees them
  std::vector<std::string> subject_lines;  // the "subject: " lines, for the status lines
  std::string subject;                   // decoded, for the boxes; "(none)" without one
  std::string source;  // the spool file (letter case resolved); "" for window lines
  const std::vector<std::string>* lines = nullptr;  // the window lines, when those are sent
};

// Reads the spool file `file_name` (a full path) or, when it is empty, the lines `lines`
// (null: none), and `sender` (an address as the settings hold it, reduced to its bare
// address). The header is every line up to the first empty one, however long, split as the
// server will split it (a bare CR ends a line there). A file that cannot be read gives no
// header, so no recipients. `after_line` runs after each header line scanned.
OutgoingMail ReadOutgoingMail(const std::string& file_name, const std::vector<std::string>* lines,
                              const std::string& sender, const std::function<void()>& after_line);

}  // namespace corvelle
