#pragma once
// TGetMail: fetches every message of the user's POP3 mailbox into the spool folder, one new
// ".new" file per message (another account's carry its mark: SpoolExtension), byte for byte as the server holds it. Its parts: the dialogue
// (Pop3Session over the component's LineChannel), the spool commit (SpoolCommit), one
// retrieval loop, and the result of a run (RetrievalResult). Each message is deleted on
// the server after it is stored, unless LeaveMailOnServer says to keep it there. It writes
// the network log (System/netlog.txt), shows what it does (and why a session failed) in the
// transfer dialog's status lines, and reports progress and processes pending events through
// the UI seam, so the dialog's Cancel buttons can set CancelAll and ErrorFlag at any line.
//
// Every message is stored exactly once and never lost. A message is written under a hidden
// work name (SpoolWriter::CreateWork) that the filter never takes. The server deletes what
// DELE marked only when QUIT commits (RFC 1939), so at the end of a deleting session:
//   - before QUIT: one flush of the file system, each work file moved to the next free
//     ".new" name, the spool folder flushed; then QUIT (a lost reply to it may still mean
//     the server deleted, so the files stay);
//   - no QUIT (connection lost, files not committed) or an RSET answered "+OK": the server
//     keeps the messages, so their work files are removed and the next Get brings them.
// A message that FileDirectly places in a folder moves there instead of to a ".new" name,
// under its final name, and that folder is flushed with the spool folder; should that move
// fail, it takes the ".new" name after all.
// A session that leaves mail on the server keeps what it stored either way. Work files that
// survive a crash are removed after the next login; the server still holds those messages.
//
// When the server lists unique ids (UIDL), the ids of stored messages are kept per account
// (UidState): a listed message is not fetched again; without LeaveMailOnServer it is only
// deleted (its file is here, but the session that stored it never had QUIT answered). The
// commit writes the ids with their work names before moving the files, so a crash between
// the two is finished at the next login instead of fetching those messages twice.
// Some servers delete at DELE rather than at QUIT: a message with an id is therefore
// committed (flushed, id recorded, ".new" name) before its DELE goes out, a group of them
// at a time, and a session lost afterwards keeps its file; the id keeps it from coming
// twice. Messages without a usable id keep the rule above. Ids that cannot be recorded, or
// that the server lists ambiguously, are told in a box: such messages may come again.
//
// The messages fetched are those the server lists (UIDL, or LIST when that does not list
// every message STAT counted), never more than STAT counts. A failed write to the spool
// folder (a full disk) ends the run at once: nothing more is fetched and nothing that was
// not stored is deleted. A server that sends less than ProgressMinimum bytes in any
// ProgressInterval (a drip that each line's watchdog would let through) loses the session.
//
// One retrieval loop sends RETR and DELE commands a window ahead of the reply being read:
// a window of one command without PIPELINING (CAPA), so each command waits for the reply
// to the one before; a wider one with it. Each DELE goes out after its message is stored
// (or after its group's commit); the store, flush, then QUIT order stays.
// A server offering UTF8 (RFC 6856) gets it before the login, so that it sends 8-bit header
// fields as they are.

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/filters/direct_filing.h"
#include "core/settings/security_settings.h"
#include "net/mail_transfer.h"
#include "net/pop3/pop3_session.h"
#include "net/pop3/spool_commit.h"

namespace corvelle {

class SpoolWriter;

// What a retrieval run came to.
struct RetrievalResult {
  int received = 0;  // messages in the spool folder at the end
  int skipped = 0;   // messages tried and not kept
  bool failed = false;  // the run failed (a cancel alone is no failure of the session)
  std::vector<std::string> reasons;  // why, as the notes of the run say it
};

class TGetMail : public TMailTransfer {
 public:
  // Takes the server, port (MailPort), user, security and DeleteAfter (LeaveMailOnServer)
  // from the context's settings now, and creates the network log anew unless `add_to_log`
  // (a further account of the same run). The password or token comes from the context's
  // credentials at each login, before connecting. Its spool files end in the context
  // account's SpoolExtension.
  explicit TGetMail(const TransferContext& context, bool add_to_log = false);
  ~TGetMail() override;

  std::string LastError;  // the text of the last channel error reported to this component
  // The account's title in the status lines, when a run retrieves from several accounts;
  // "" with one, whose lines read as they always did.
  std::string AccountShown;
  bool DeleteAfter = false;  // LeaveMailOnServer starts with "0"
  // The progress watchdog: at least ProgressMinimum bytes must arrive in every
  // ProgressInterval while the session waits for the server.
  std::chrono::milliseconds ProgressInterval{30000};
  long long ProgressMinimum = 16 * 1024;

  // Asks for the credential, connects and logs in (port 110, or 995 with TLS, when the port
  // is empty). False (after its message box) when that fails; the connection is then closed.
  bool DoPOPLogin();
  // Ends the session: RSET first when ErrorFlag is set, then the work files are committed or
  // removed (see above), then QUIT, whose reply is awaited (bounded) so that the server
  // commits, and the connection is closed. No QUIT when the files could not be committed, or
  // when an RSET meant to take deletions back was not answered "+OK".
  void DoPOPLogout();
  // The number of waiting messages (logging in first if needed); 0 when it cannot be read
  // (ErrorFlag then stays set), -1 after "Server protocol error on STAT".
  int GetMailStatus();
  // Fetches message `number` into a work file and deletes it on the server when DeleteAfter
  // is set (a message with an id is committed first). Returns the size the server announced,
  // or, when none was, the bytes stored (at least 1): 0 exactly when the message was not
  // stored (refused, cancelled, lost, too large, or its DELE refused).
  long GetMailMessage(int number);
  // Fetches every waiting message. A lost connection, or a spool file that cannot be
  // created or written, ends the run (the rest stays on the server). ErrorFlag tells
  // `failed` too, for the transfer dialog.
  RetrievalResult RetrieveAll();
  // The same, as counts: `received` and `skipped` of RetrieveAll.
  void GetNewMail(int& received, int& skipped);

  // Asked, once a message is stored, where its commit may file it straight
  // (DirectFiling::Target), with its lines (all of them when `whole`, else its header) and
  // the spool name it would have. Empty: every message goes into the spool folder.
  std::function<DirectTarget(const std::vector<std::string>& lines, bool whole, const std::string& spool_name)>
      FileDirectly;
  // The subjects of the messages filed straight since the last call, in filing order.
  std::vector<std::string> TakeFiledDirectly() { return commit_.TakeFiled(); }

  // Appends `text` and CR LF to the network log.
  void WriteLog(const std::string& text) { log_.Write(text); }

 private:
  using Reply = Pop3Session::Reply;
  // How far the reading of a message has come.
  struct MessageRead {
    explicit MessageRead(long announced);
    long total;            // what progress runs over: the announced size, or a nominal budget
    long long limit;       // the most the message may take from the stream
    long long taken = 0;   // bytes taken from the stream so far
    bool at_line_start = true;
    bool announced;        // the RETR reply gave a size
    // The message's lines as the filtering pass would read them: all of them while `whole`,
    // else those of its header (complete once `header_done`), or none that can be used.
    std::vector<std::string> lines;
    size_t lines_bytes = 0;
    bool header_done = false, whole = true, usable = true;
    // Takes the piece `line` (unstuffed at a line's start, `complete` when its end came).
    void TakeLine(const std::string& line, bool line_start, bool complete);
  };
  // A command of the retrieval loop whose reply has not been read yet.
  struct InFlight {
    bool retr;
    int number;
    size_t position = 0;  // RETR: 1 + the message's place in the listing
  };

  // ---- the start and end of a session (get_mail_login.cpp) ----
  bool Greeting();
  // Secures the connection before the login: with STARTTLS the server must offer STLS.
  // False (after its message, the connection closed) when it cannot be.
  bool SecureSession();
  bool Authenticate(const LoginTarget& target, const Credential& credential);
  // USER and PASS; the password goes in clear only where the user allowed it.
  bool PasswordLogin(const LoginTarget& target, const std::string& password);
  // AUTH with an OAuth2 access token: only over a secured connection, with OAUTHBEARER or
  // XOAUTH2 as the server offers them (SASL in CAPA).
  bool TokenLogin(const LoginTarget& target, const std::string& token);
  // Tells that the server refused the sign-in (`status`: of its error challenge, or "").
  void TokenRefused(const LoginTarget& target, const std::string& status);
  bool LoginStep(const std::string& command, const char* refused);
  // RSET. True when the server answered "+OK".
  bool ResetStep();
  // The session was given up (Pop3Session::Lost): `code` is why. Its text becomes
  // LastError and a note, unless the watchdog or the user said it.
  void SessionLost(int code);

  // ---- what the server holds (get_mail_listing.cpp) ----
  // What to fetch: UIDL's numbers, or LIST's when UIDL did not list all STAT counted.
  // False (after a box with the server's reply) when the server lists nothing.
  bool ListMailbox(int total);
  // The unique id of message `number`, "" when there is none.
  const std::string& IdOf(int number) const;
  // The state of this account's ids, loaded at login (see SpoolCommit::LoadIds).
  bool LoadUniqueIds();

  // ---- the retrieval loop (get_mail_retrieval.cpp) ----
  // The messages listed (those not stored before), RETR and DELE sent up to Window()
  // commands ahead of the reply being read, each reply read in the order its command went out.
  void Retrieve(RetrievalResult& run);
  void RetrieveHeld(RetrievalResult& run);
  // DELE for `numbers`, each reply read.
  void DeleteNow(const std::vector<int>& numbers, RetrievalResult& run);
  // DELE for `numbers`, sent behind the commands `pending`; replies to DELE at the head of
  // a full window are read first (so with a window of one, each reply before the next DELE).
  void SendDeletes(const std::vector<int>& numbers, std::deque<InFlight>& pending, RetrievalResult& run);
  // A DELE reply: a refusal takes the message's file back, unless it was committed already.
  void DeleteReplied(int number, RetrievalResult& run);
  // Sends the command of `command` and counts a DELE.
  void SendInFlight(const InFlight& command);
  // Commands in flight at most: 1 without PIPELINING.
  size_t Window() const;
  // The messages whose DELE may go out once message `number` is stored: itself when it has
  // no id; when it has one, its group once that is full (CommitGroup); else none yet.
  std::vector<int> DeletesDue(int number);
  // Commits the stored messages that have ids and returns their numbers, whose DELE may go
  // now; none when the commit failed (a failed flush ends the run; ids that cannot be
  // recorded put the messages back under the rule for messages without ids, whose DELE go
  // out at once: those numbers are returned too). `last`: no group follows in this session.
  std::vector<int> CommitGroup(bool last);
  // Says once per run, in a box, that ids cannot be kept: `why`, and what follows from it.
  void IdsNotKept(const std::string& why);
  // A failed write to the spool folder (errno `error`) ends the run.
  void WriteFailed(int error);
  // A run starts without the notes, flags and work files of the last one.
  void StartRun();
  // The end of a run's session: the last group committed and deleted, the logout (RSET first
  // when mail stays on the server), the work files settled; ErrorFlag says whether the run
  // failed (`failed` already, or the session was lost or the run stopped).
  void EndSession(RetrievalResult& run, bool failed);
  // The boxes that end a run: a full disk, messages counted (`total`) and not listed (a
  // failure unless the run `failed` already). `known`: listed messages stored before.
  void TellRunEnd(const RetrievalResult& run, bool failed, int total, int listed, int known);

  // ---- the steps of one message (get_mail_message.cpp) ----
  // Fetches message `number` into a work file, the RETR already sent when `sent`. Returns
  // what GetMailMessage returns, without the DELE.
  long FetchMessage(int number, bool sent);
  // Takes the message that the last reply (to RETR) announced into `file` (null: the spool
  // folder took no file; the message is read past and the run ends). Returns what
  // GetMailMessage returns.
  long ReceiveMessage(int number, SpoolWriter* file, DirectTarget& direct);
  // Reads the message's lines up to its "." line into `file`, or past them when `file` is
  // null. True when the "." line came. Storing stops at a Cancel (ErrorFlag); reading past
  // stops at a second Cancel, which gives the session up.
  bool ReadMessage(SpoolWriter* file, MessageRead& read);
  // One piece of a line into `file`: a line's start is unstuffed and may become a status
  // line; progress moves at each line's end. False when the write failed.
  bool StoreLine(SpoolWriter& file, std::string& piece, bool line_start, bool complete, MessageRead& read);
  void ShowHeaderLine(const std::string& line);
  // The server sent more than a message may hold: says so and drops the session (no QUIT).
  void MessageTooLarge(const MessageRead& read);

  // Ends the work files of the connection (SpoolCommit::Settle).
  bool SettleWorkFiles(bool commit) { return commit_.Settle(commit); }

  const std::string server_, user_;
  std::string port_;
  const Security security_;
  bool stop_run_ = false;
  Pop3Session session_;
  Pop3Session::Listing listing_;  // what this session fetches
  SpoolCommit commit_;
  std::uint64_t next_work_ = 0;
  int deletions_ = 0;  // DELE commands sent over this connection
  bool pipelining_ = false;  // the server lists PIPELINING
  bool ids_warned_ = false;  // the box about ids has been shown in this run
  int write_error_ = 0;  // errno of a failed write to the spool folder, ending the run
};

}  // namespace corvelle
