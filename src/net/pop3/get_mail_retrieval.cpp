// TGetMail's retrieval loop: RETR and DELE commands go out up to a window ahead of the reply
// being read (PIPELINING, RFC 2449), and every reply is read in the order its command went
// out. Without PIPELINING the window is one command: each waits for the reply before it.
// The server still deletes nothing before QUIT, which follows the flush of the stored files.

#include <deque>

#include "core/user_interface.h"
#include "net/pop3/get_mail.h"

namespace corvelle {
namespace {

// Commands in flight with PIPELINING: enough to hide the round trip, few enough that the
// commands never wait for room in the socket while the server waits for us to read.
constexpr size_t kWindow = 32;

}  // namespace

size_t TGetMail::Window() const { return pipelining_ ? kWindow : 1; }

void TGetMail::SendInFlight(const InFlight& command) {
  session_.Send((command.retr ? "RETR " : "DELE ") + std::to_string(command.number));
  if (!command.retr) ++deletions_;
}

void TGetMail::Retrieve(RetrievalResult& run) {
  // The log of the loop is written at each commit and at its end, not line by line.
  log_.Hold();
  RetrieveHeld(run);
  log_.Release();
}

void TGetMail::RetrieveHeld(RetrievalResult& run) {
  std::deque<InFlight> pending;
  const int total = static_cast<int>(listing_.numbers.size());
  size_t next = 0;
  auto stopping = [&] { return CancelAll || stop_run_ || !session_.Usable(); };
  while (session_.Usable()) {
    // Every command counts against the window, so the server's replies never pile up unread.
    while (next < listing_.numbers.size() && pending.size() < Window() && !stopping()) {
      int number = listing_.numbers[next++];
      bool stored = commit_.Ids().Contains(IdOf(number));
      if (stored && !DeleteAfter) continue;
      // Stored before, by a session whose QUIT never committed: only deleted.
      pending.push_back({!stored, number, next});
      SendInFlight(pending.back());
    }
    if (pending.empty()) break;
    InFlight head = pending.front();
    pending.pop_front();
    if (!head.retr) {
      DeleteReplied(head.number, run);
      continue;
    }
    if (stopping()) {
      // Commands already sent are answered: read past their messages to stay in step.
      if (session_.Await() == Reply::kAccepted) {
        MessageRead read(0);
        ReadMessage(nullptr, read);
      }
      continue;
    }
    const std::string progress = std::to_string(head.number) + " of " + std::to_string(total) + " (" +
                                 std::to_string(run.skipped) + " messages skipped).";
    SetStatus(0, AccountShown.empty() ? "Receiving message: " + progress
                                      : "Receiving mail from " + AccountShown + ": " + progress);
    if (FetchMessage(head.number, true) == 0) {
      ++run.skipped;
    } else {
      ++run.received;
      if (DeleteAfter) SendDeletes(DeletesDue(head.number), pending, run);
    }
    TotalProgress(static_cast<int>(static_cast<long long>(head.position) * 100 / total));
    ClearStatus();
  }
}

void TGetMail::SendDeletes(const std::vector<int>& numbers, std::deque<InFlight>& pending, RetrievalResult& run) {
  // A window full up to DELE commands: their replies are read first, which is how a
  // window of one waits for each reply.
  auto settle = [&] {
    while (!pending.empty() && pending.size() >= Window() && !pending.front().retr) {
      DeleteReplied(pending.front().number, run);
      pending.pop_front();
    }
  };
  for (int number : numbers) {
    if (!session_.Usable()) break;
    settle();
    pending.push_back({false, number});
    SendInFlight(pending.back());
  }
  settle();
}

void TGetMail::DeleteNow(const std::vector<int>& numbers, RetrievalResult& run) {
  std::deque<InFlight> pending;
  SendDeletes(numbers, pending, run);
  for (const InFlight& command : pending) DeleteReplied(command.number, run);
}

void TGetMail::DeleteReplied(int number, RetrievalResult& run) {
  Reply reply = session_.Await();
  if (reply == Reply::kAccepted) return;
  if (reply == Reply::kRefused)
    Note("Message " + std::to_string(number) + " stays on the server: " + session_.LastReply());
  // Not marked: the server keeps the message, so its file goes and the next Get brings it.
  // A committed message is not among the work files: it stays, and its id keeps it from
  // coming twice.
  if (commit_.TakeBack(number)) {
    --run.received;
    ++run.skipped;
  }
}

std::vector<int> TGetMail::DeletesDue(int number) {
  if (IdOf(number).empty()) return {number};
  return commit_.GroupFull() ? CommitGroup(false) : std::vector<int>{};
}

std::vector<int> TGetMail::CommitGroup(bool last) {
  std::vector<int> numbers;
  switch (commit_.CommitGroup(last, DeleteAfter, numbers)) {
    case SpoolCommit::Group::kDone: break;
    case SpoolCommit::Group::kIdsNotKept: listing_.ids.clear(); break;
    case SpoolCommit::Group::kNotFlushed:
      Note("The messages stored could not be written to the disk: they stay on the server.");
      stop_run_ = true;
      break;
  }
  // What led to the deletions is on disk before they go out.
  log_.Flush();
  return numbers;
}

void TGetMail::IdsNotKept(const std::string& why) {
  if (!ids_warned_)
    ShowMessage(ui_, why + (DeleteAfter ? " Messages may be fetched twice if a session breaks off."
                                        : " Messages left on the server will be fetched again at the next Get."));
  ids_warned_ = true;
  Note(why);
}

void TGetMail::WriteFailed(int error) {
  if (write_error_ == 0) write_error_ = error;
  stop_run_ = true;
}

}  // namespace corvelle
