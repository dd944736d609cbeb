#pragma once
// The network log, "System/netlog.txt" in the mail directory: the POP3 dialogue and the
// reasons a transfer failed, one entry a line, each ended by CR LF. The problem report
// reads it.

#include <string>

namespace corvelle {

class NetLog {
 public:
  // The log at `path` (MailStore::NetLog()).
  explicit NetLog(std::string path);
  ~NetLog();
  NetLog(const NetLog&) = delete;
  NetLog& operator=(const NetLog&) = delete;

  // Empties the log, creating it when missing.
  void Restart();
  // Appends `text` and CR LF. A log that cannot be written is skipped: it never stops a transfer.
  void Write(const std::string& text);
  // While held, entries wait in memory (a retrieval would otherwise write three times per
  // message) until Flush, a full buffer, Release or the end of the log. Release flushes.
  void Hold() { held_ = true; }
  void Release() {
    held_ = false;
    Flush();
  }
  // Writes the entries waiting.
  void Flush();

 private:
  void Open(int flags);

  std::string path_;
  std::string waiting_;
  bool held_ = false;
  int fd_ = -1;
};

}  // namespace corvelle
