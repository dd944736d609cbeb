// TGetMail with commands sent ahead (PIPELINING, RFC 2449): RETR a bounded window ahead of
// the message being read, DELE right after its message is stored, every reply read in the
// order its command went out. The server still deletes nothing before QUIT, which follows
// the flush of the stored files as without pipelining.

#include <deque>

#include "net/pop3/get_mail.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

// RETR commands in flight: enough to hide the round trip, few enough that the commands
// never wait for room in the socket while the server waits for us to read.
constexpr size_t kRetrWindow = 32;

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
  for (auto file = work_files_.begin(); file != work_files_.end(); ++file)
    if (file->number == number) {
      RemoveFile(file->path);
      work_files_.erase(file);
      --received;
      ++skipped;
      break;
    }
}

void TGetMail::FetchPipelined(int total, int& received, int& skipped) {
  std::deque<Pending> pending;
  std::deque<int> wanted;
  for (int i = 1; i <= total; ++i) {
    if (!uid_state_.Contains(IdOf(i)))
      wanted.push_back(i);
    else if (DeleteAfter) {  // stored before, by a session whose QUIT never committed
      Send("DELE " + std::to_string(i));
      ++deletions_;
      pending.push_back({false, i});
    }
  }
  delete_later_ = true;
  size_t retr_in_flight = 0;
  int done = 0;
  auto stopping = [&] { return CancelAll || stop_run_ || !SessionUsable(); };
  while (SessionUsable()) {
    while (!wanted.empty() && retr_in_flight < kRetrWindow && !stopping()) {
      Send("RETR " + std::to_string(wanted.front()));
      pending.push_back({true, wanted.front()});
      wanted.pop_front();
      ++retr_in_flight;
    }
    if (pending.empty()) break;
    Pending next = pending.front();
    pending.pop_front();
    if (!next.retr) {
      DeleteReplied(next.number, received, skipped);
      continue;
    }
    --retr_in_flight;
    if (stopping()) {
      // Commands already sent are answered: read past their messages to stay in step.
      if (Await() == Reply::kAccepted) {
        MessageRead read(0);
        ReadMessage(nullptr, read);
      }
      continue;
    }
    SetStatus(0, "Receiving message: " + std::to_string(next.number) + " of " + std::to_string(total) + " (" +
                     std::to_string(skipped) + " messages skipped).");
    if (FetchMessage(next.number, true) == 0) {
      ++skipped;
    } else {
      ++received;
      if (DeleteAfter) {
        Send("DELE " + std::to_string(next.number));
        ++deletions_;
        pending.push_back({false, next.number});
      }
    }
    TotalProgress(static_cast<int>(static_cast<long long>(++done) * 100 / total));
    ClearStatus();
  }
  delete_later_ = false;
}

}  // namespace corvelle
