// TGetMail's steps for one message: RETR, storing its lines, DELE.

#include <algorithm>
#include <cmath>

#include "core/user_interface.h"
#include "net/pop3/get_mail.h"
#include "net/pop3/pop3_reply.h"
#include "net/pop3/spool_writer.h"
#include "platform/paths.h"
#include "platform/tcp_socket.h"

namespace corvelle {
namespace {

constexpr long kUnknownSizeBudget = 2048;
constexpr long long kMiB = 1 << 20;
// A message larger than this is told by its header alone; a header larger, not at all.
constexpr size_t kLinesKept = 1 << 20;
}  // namespace

// The most a message may take from the stream (terminators, stuffing and end line included):
// well above what the server announced, and 100 MiB when it announced nothing.
TGetMail::MessageRead::MessageRead(long size) : total(size > 0 ? size : kUnknownSizeBudget), announced(size > 0) {
  long long capped = std::min<long long>(size, 1LL << 40);  // no overflow below
  limit = announced ? std::max(2 * capped, capped + kMiB) : 100 * kMiB;
}

void TGetMail::MessageRead::TakeLine(const std::string& line, bool line_start, bool complete) {
  if (!usable || (header_done && !whole)) return;
  lines_bytes += line.size();
  // Only lines the pass reads the same way: whole, no stray CR, LF or NUL.
  if (!line_start || !complete || lines_bytes > kLinesKept ||
      line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
    if (!header_done) {
      usable = false;
      lines.clear();
      return;
    }
    whole = false;  // the header stays
    lines.erase(std::find(lines.begin(), lines.end(), std::string()) + 1, lines.end());
    return;
  }
  lines.push_back(line);
  header_done = header_done || line.empty();
}

long TGetMail::GetMailMessage(int number) {
  long size = FetchMessage(number, false);
  if (size == 0 || !DeleteAfter) return size;
  RetrievalResult run;
  run.received = 1;
  DeleteNow(IdOf(number).empty() ? std::vector<int>{number} : CommitGroup(true), run);
  return run.received == 1 ? size : 0;
}

long TGetMail::FetchMessage(int number, bool sent) {
  ErrorFlag = false;
  CurrentProgress(0);
  if (!sent && !session_.LoggedIn() && !DoPOPLogin()) return 0;
  SpoolWriter file;
  bool created = file.CreateWork(commit_.Spool(), next_work_);
  long size = 0;
  DirectTarget direct;
  Reply reply = !session_.Usable() ? Reply::kLost
                : sent            ? session_.Await()
                                  : session_.Command("RETR " + std::to_string(number));
  switch (reply) {
    case Reply::kAccepted: size = ReceiveMessage(number, created ? &file : nullptr, direct); break;
    case Reply::kRefused: ShowMessage(ui_, "POP server will not allow message retrieval."); break;
    case Reply::kLost: break;  // the message stays on the server
  }
  if (size > 0)
    commit_.Add({file.path(), IdOf(number), file.size(), number, file.TakeDescriptor(), std::move(direct.target),
                 std::move(direct.subject)});
  else
    file.Remove();
  // Whatever became of this message, the next one starts afresh (unless the session is over).
  ErrorFlag = session_.GivenUp();
  CurrentProgress(100);
  return size;
}

long TGetMail::ReceiveMessage(int number, SpoolWriter* file, DirectTarget& direct) {
  RetrSize announced = RetrReplySize(session_.LastReply());
  // Without a size in the reply, the one LIST gave bounds the message.
  auto listed = listing_.sizes.find(number);
  MessageRead read(announced.size > 0 || listed == listing_.sizes.end() ? announced.size : listed->second);
  if (!file) {
    // Read past the message so the session stays in step; a spool folder that takes no file
    // will not take the next message either, so the run ends here.
    ReadMessage(nullptr, read);
    ShowMessage(ui_, "Could not open mail save file.");
    stop_run_ = true;
    return 0;
  }
  WriteLog("Found file size: " + std::to_string(announced.size));
  SetStatus(1, announced.text + " bytes");
  CurrentProgress(10);
  bool ended = ReadMessage(file, read);
  // A message left before its end (cancel, failed write) is read to its end, so that the
  // session stays in step and the next message can follow.
  if (!ended && session_.Usable()) ReadMessage(nullptr, read);
  // Kept open, the file is flushed at the commit without being opened again.
  bool closed = commit_.KeepsOpen() ? file->Complete() : file->Close();
  if (file->error() != 0) WriteFailed(file->error());
  if (!ended || !closed || ErrorFlag) return 0;
  if (FileDirectly && read.usable && (read.whole || read.header_done))
    direct = FileDirectly(read.lines, read.whole, "0" + commit_.Extension());
  return announced.size > 0 ? announced.size : std::max<long>(static_cast<long>(file->size()), 1);
}

bool TGetMail::ReadMessage(SpoolWriter* file, MessageRead& read) {
  const int cancels = channel_.CancelCount();
  std::string piece;
  bool complete = false;
  while (!file || !ErrorFlag) {
    long taken = session_.Usable() ? channel_.ReadLongLine(piece, complete) : 0;
    if (taken == 0) {
      // Cancel pressed while the server was slow: this message is skipped like any other
      // cancel (its rest is read after), and the run goes on.
      if (file && session_.WaitInterrupted())
        ErrorFlag = true;
      else
        session_.Lose(channel_.LastReadError().code);
      return false;
    }
    if (!session_.Progressing(taken)) return false;
    bool line_start = read.at_line_start;
    read.at_line_start = complete;
    read.taken += taken;
    if (line_start && complete && IsEndOfReply(piece)) return true;
    if (read.taken > read.limit) {  // an endless message would fill the disk
      MessageTooLarge(read);
      return false;
    }
    if (file) {
      if (!StoreLine(*file, piece, line_start, complete, read)) return false;
      continue;
    }
    ui_.ProcessEvents();
    if (channel_.CancelCount() != cancels) {  // another Cancel while the rest is read: give up
      session_.Lose(0);
      return false;
    }
  }
  return false;
}

bool TGetMail::StoreLine(SpoolWriter& file, std::string& piece, bool line_start, bool complete,
                         MessageRead& read) {
  if (line_start) {
    UnstuffLine(piece);
    ShowHeaderLine(piece);
  }
  read.TakeLine(piece, line_start, complete);
  if (!file.Append(piece) || (complete && !file.Append("\r\n"))) return false;
  if (!complete) {  // a long line: keep the interface alive between its pieces
    ui_.ProcessEvents();
    return true;
  }
  // Progress runs from 10 to 90 over the bytes taken (the first line's terminator aside);
  // without an announced size it runs over a nominal budget and stops at 90.
  double done = static_cast<double>(std::clamp<long long>(read.taken - 2, 0, read.total));
  CurrentProgress(static_cast<int>(std::lround(done * 80.0 / static_cast<double>(read.total))) + 10);
  return true;
}

void TGetMail::ShowHeaderLine(const std::string& line) {
  if (StartsWithIgnoringCase(line, "from: "))
    SetStatus(2, line);
  else if (StartsWithIgnoringCase(line, "subject: "))
    SetStatus(3, line);
}

void TGetMail::MessageTooLarge(const MessageRead& read) {
  ShowMessage(ui_, read.announced ? "POP server sent more than the message size it announced."
                             : "POP server sent a message larger than 100 MB.");
  // What the server sends next cannot be trusted to end: leave without QUIT.
  session_.Lose(0);
}

}  // namespace corvelle
