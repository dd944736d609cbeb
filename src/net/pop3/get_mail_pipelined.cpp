// TGetMail with commands sent ahead (PIPELINING, RFC 2449): RETR a bounded window ahead of
// the message being read, DELE right after its message is stored, every reply read in the
// order its command went out. The server still deletes nothing before QUIT, which follows
// the flush of the stored files as without pipelining.

#include <deque>

#include "net/pop3/get_mail.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

// Commands in flight: enough to hide the round trip, few enough that the commands never
// wait for room in the socket while the server waits for us to read.
constexpr size_t kWindow = 32;

struct Pending {
  bool retr;
  int number;
};

}  // namespace

void TGetMail::DeleteReplied(int number, int& received, int& skipped) {
  Reply reply = Await();
  if (reply == Reply::kAccepted) return;
  if (reply == Reply::kRefused) Note("Message " + std::to_string(number) + " stays on the server: " + reply_);
  // Not marked: the server keeps the message, so its file goes and the next Get brings it.
  // A committed message is not among the work files: it stays, and its id keeps it from
  // coming twice.
  for (auto file = work_files_.begin(); file != work_files_.end(); ++file)
    if (file->number == number) {
      RemoveFile(file->path);
      work_files_.erase(file);
      --received;
      ++skipped;
      break;
    }
}

void TGetMail::DeleteNow(const std::vector<int>& numbers, int& received, int& skipped) {
  size_t sent = 0;
  for (int number : numbers) {
    if (!SessionUsable()) break;
    Send("DELE " + std::to_string(number));
    ++deletions_;
    ++sent;
    if (!pipelining_) DeleteReplied(number, received, skipped);
  }
  for (size_t i = 0; pipelining_ && i < sent; ++i) DeleteReplied(numbers[i], received, skipped);
}

void TGetMail::FetchPipelined(int& received, int& skipped) {
  std::deque<Pending> pending;
  const int total = static_cast<int>(numbers_.size());
  size_t next = 0;
  int done = 0;
  auto stopping = [&] { return CancelAll || stop_run_ || !SessionUsable(); };
  while (SessionUsable()) {
    // Every command counts against the window, so the server's replies never pile up unread.
    while (next < numbers_.size() && pending.size() < kWindow && !stopping()) {
      int number = numbers_[next++];
      bool stored = uid_state_.Contains(IdOf(number));
      if (stored && !DeleteAfter) continue;
      // Stored before, by a session whose QUIT never committed: only deleted.
      Send((stored ? "DELE " : "RETR ") + std::to_string(number));
      if (stored) ++deletions_;
      pending.push_back({!stored, number});
    }
    if (pending.empty()) break;
    Pending head = pending.front();
    pending.pop_front();
    if (!head.retr) {
      DeleteReplied(head.number, received, skipped);
      continue;
    }
    if (stopping()) {
      // Commands already sent are answered: read past their messages to stay in step.
      if (Await() == Reply::kAccepted) {
        MessageRead read(0);
        ReadMessage(nullptr, read);
      }
      continue;
    }
    SetStatus(0, "Receiving message: " + std::to_string(head.number) + " of " + std::to_string(total) + " (" +
                     std::to_string(skipped) + " messages skipped).");
    if (FetchMessage(head.number, true) == 0) {
      ++skipped;
    } else {
      ++received;
      if (DeleteAfter)
        for (int number : DeletesDue(head.number)) {
          Send("DELE " + std::to_string(number));
          ++deletions_;
          pending.push_back({false, number});
        }
    }
    TotalProgress(static_cast<int>(static_cast<long long>(++done) * 100 / total));
    ClearStatus();
  }
}

}  // namespace corvelle
