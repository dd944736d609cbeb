#pragma once
// TGetMail: fetches every message of the user's POP3 mailbox into the spool folder, one new
// ".new" file per message, byte for byte as the server holds it. Each message is deleted on
// the server after it is stored, unless MailSettings.LeaveMailOnServer says to keep it there.
// It writes the network log (System/netlog.txt), shows what it does in the transfer
// dialog's status lines, and reports progress and processes pending events through the UI
// seam, so the dialog's Cancel buttons can set CancelAll and ErrorFlag at any line.
//
// No message is ever lost: a message is deleted on the server (DELE, committed by QUIT)
// only when its file is complete, and every file of the connection is flushed to disk
// before QUIT is sent. A fault (refusal, lost connection, silence, cancel) leaves the
// message on the server and removes its partial file.
//
// A message is written under a hidden work name (SpoolWriter::CreateWork) that the filter
// never takes. At the end of the connection, before QUIT: one flush of the file system, each
// complete work file moved to the next free ".new" name, the spool folder flushed. A work
// file is therefore never committed on the server: the next session deletes any it finds.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/mail_transfer.h"

namespace corvelle {

// How the stored files reach the disk before QUIT lets the server delete (SyncFileSystem on
// the spool folder). Tests install one that records the moment; nullptr restores it.
using DiskFlush = std::function<bool(const std::string& spool_folder)>;
void SetDiskFlush(DiskFlush flush);

class TGetMail : public TMailTransfer {
 public:
  // Port from MailSettings.MailPort, DeleteAfter from LeaveMailOnServer; creates the
  // network log anew (empty).
  TGetMail();
  ~TGetMail() override;

  std::string LastError;  // the text of the last socket error reported to this component
  bool DataIsReady = false;
  bool LoggedIn = false;   // between a successful PASS and QUIT
  bool DeleteAfter = false;  // LeaveMailOnServer starts with "0"

  // The status lines to write to (not owned; may be null).

  // Connects and logs in with MailSettings' server, port (110 when empty), user name and
  // password. False (after its message box) when that fails; the connection is then closed.
  bool DoPOPLogin();
  // Ends the session: gives the stored messages their ".new" names (CommitWorkFiles), sends
  // RSET when ErrorFlag is set, then QUIT, and waits (bounded) for its reply so that the
  // server commits, then closes. No QUIT is sent (the connection is just closed, so the
  // server deletes nothing) when the files could not be committed, or when an RSET meant to
  // take deletions back was not answered "+OK".
  void DoPOPLogout();
  // The number of waiting messages (logging in first if needed); 0 when it cannot be read
  // (ErrorFlag then stays set), -1 after "Server protocol error on STAT".
  int GetMailStatus();
  // Fetches message `number` into a new spool file and deletes it on the server when
  // DeleteAfter is set. Returns the size the server announced, or, when none was, the bytes
  // stored (at least 1): 0 exactly when the message was not stored.
  long GetMailMessage(int number);
  // Fetches every waiting message. `received`: messages stored; `skipped`: messages tried and
  // not stored. A lost connection or a spool file that cannot be created ends the run (the
  // rest stays on the server, ErrorFlag set).
  void GetNewMail(int& received, int& skipped);

  // The error event: remembers the text and sets ErrorFlag; nothing is shown.
  void MailError(TSockets& sender, int socket, int error, const std::string& msg);
  void DataReady(TSockets& sender, int socket);
  bool IsDataReady();

  // Appends `text` and CR LF to the network log.
  void WriteLog(const std::string& text);

 private:
  bool Authenticate();
  // Sends RSET. True when the server answered "+OK".
  bool ResetStep();
  // Reads one reply line whole (cut at 64 KiB). A wait cut short by a Cancel is waited once
  // more. False when the connection was lost (or a second Cancel came).
  bool ReadReplyLine(std::string& line);
  // True when the last read was given up by a Cancel and the session can go on.
  bool WaitInterrupted() const;
  // How far the reading of a message has come: the bytes it took from the stream, whether
  // the next piece starts a line, and the most it may take.
  struct MessageRead {
    long long taken = 0;
    long long limit = 0;
    bool at_line_start = true;
    bool announced = false;  // the RETR reply gave a size
  };
  // Reads the rest of a message up to its "." line, storing nothing. False when the session
  // was given up: lost, a second Cancel, or more bytes than `read.limit`.
  bool DrainMessage(MessageRead& read);
  // The server sent more than a message may hold: says so and drops the session (no QUIT).
  void MessageTooLarge(const MessageRead& read);
  // The connection cannot be trusted any more: close it without QUIT (so the server
  // commits nothing) and end the session.
  void ConnectionLost();
  bool SessionUsable() const { return IsConnected() && !session_lost_; }
  // The spool folder, resolved once per session.
  const std::string& SpoolFolder();
  // Gives the messages stored since the last call their ".new" names: the file system is
  // flushed, each work file is moved to the next free ".new" name in the order stored, and
  // the spool folder is flushed. False when a step failed; the work files not moved are then
  // deleted (their messages stay on the server, as no QUIT may follow) and counted in
  // discarded_.
  bool CommitWorkFiles();

  int log_ = -1;
  std::string spool_;
  bool session_lost_ = false;
  bool stop_run_ = false;
  std::vector<std::string> work_files_;  // complete messages of this connection, in order
  std::uint64_t next_work_ = 0;
  int discarded_ = 0;
  int deletions_ = 0;  // DELE commands sent over this connection
};

}  // namespace corvelle
