#include "net/pop3/pop3_session.h"

#include <algorithm>
#include <cstdlib>

#include "net/net_log.h"
#include "net/pop3/pop3_reply.h"
#include "net/sasl/oauth_sasl.h"
#include "net/sockets/line_channel.h"
#include "platform/tcp_socket.h"

namespace corvelle {
namespace {

constexpr size_t kReplyKeep = 64 * 1024;
// The most lines a listing of `total` messages may have: its lines, some to spare, and never
// so many that a hostile count would fill the memory.
long long ListingBound(int total) { return std::min<long long>(total, 1000000) + 1000; }

}  // namespace

Pop3Session::Pop3Session(LineChannel& channel, NetLog& log, Note note, Lost lost)
    : channel_(channel), log_(log), note_(std::move(note)), lost_(std::move(lost)) {}

void Pop3Session::Restart(std::chrono::milliseconds interval, long long minimum) {
  lost_now_ = false;
  logged_in_ = false;
  interval_ = interval;
  minimum_ = minimum;
  window_start_ = std::chrono::steady_clock::now();
  window_bytes_ = 0;
}

bool Pop3Session::Usable() const { return channel_.IsOpen() && !lost_now_; }

void Pop3Session::Lose(int code) {
  if (lost_now_) return;
  lost_now_ = true;
  logged_in_ = false;
  lost_(code);
  if (channel_.IsOpen()) channel_.Close();
}

bool Pop3Session::WaitInterrupted() const {
  return channel_.LastReadError() == ChannelError::Kind::kCancelled && Usable();
}

bool Pop3Session::ReadReplyLine(std::string& line) {
  line.clear();
  if (!Usable()) return false;
  // A Cancel while the reply was awaited: the reply still comes, and the cancel flags say
  // what to do after it. A second Cancel gives the session up.
  if (channel_.ReadWholeLine(line, kReplyKeep) || (WaitInterrupted() && channel_.ReadWholeLine(line, kReplyKeep)))
    return Progressing(static_cast<long long>(line.size()) + 2);
  Lose(channel_.LastReadError().code);
  return false;
}

bool Pop3Session::Progressing(long long bytes) {
  window_bytes_ += bytes;
  auto now = std::chrono::steady_clock::now();
  if (now - window_start_ < interval_) return true;
  if (window_bytes_ < minimum_) {
    long long ms = interval_.count();
    note_("Transfer error: the mail server sent only " + std::to_string(window_bytes_) + " bytes in " +
          (ms % 1000 == 0 ? std::to_string(ms / 1000) + " seconds." : std::to_string(ms) + " milliseconds."));
    Lose(0);
    return false;
  }
  window_start_ = now;
  window_bytes_ = 0;
  return true;
}

void Pop3Session::Send(const std::string& text) {
  // Waiting for the answer starts here: time spent before (a box, a flush) is not the server's.
  window_start_ = std::chrono::steady_clock::now();
  window_bytes_ = 0;
  const std::string command = text + "\r\n";
  channel_.Write(command);
  // The lines of the login are marked "<" and ">" in the log; the password never goes there.
  if (!text.starts_with("PASS ")) log_.Write((logged_in_ ? "" : "< ") + command);
}

Pop3Session::Reply Pop3Session::Await(std::string_view expect) {
  bool read = ReadReplyLine(reply_);
  log_.Write((logged_in_ ? "" : "> ") + reply_);
  if (!read) return Reply::kLost;
  return reply_.starts_with(expect) ? Reply::kAccepted : Reply::kRefused;
}

Pop3Session::Reply Pop3Session::Command(const std::string& text, std::string_view expect) {
  if (!Usable()) return Reply::kLost;
  Send(text);
  return Await(expect);
}

bool Pop3Session::ReadListing(const std::function<bool(const std::string&)>& take, long long most) {
  std::string line;
  bool taking = true;
  for (long long lines = 0;; ++lines) {
    if (!ReadReplyLine(line)) return false;
    if (IsEndOfReply(line)) return true;
    if (lines == most) {  // a listing without end: nothing the server says next can be trusted
      note_("Transfer error: the mail server's listing does not end.");
      Lose(0);
      return false;
    }
    if (taking) taking = take(line);
  }
}

bool Pop3Session::Offers(std::string_view name) {
  bool offered = false;
  if (Command("CAPA") != Reply::kAccepted) return false;
  bool read = ReadListing([&](const std::string& line) {
    offered = offered || CapabilityLineNames(line, name);
    return true;
  });
  return read && offered;
}

std::vector<std::string> Pop3Session::Capabilities() {
  std::vector<std::string> lines;
  if (Command("CAPA") != Reply::kAccepted) return lines;
  ReadListing([&](const std::string& line) {
    log_.Write("> " + line);
    lines.push_back(line);
    return true;
  });
  return lines;
}

namespace {

bool IsContinuation(const std::string& reply) { return reply == "+" || reply.starts_with("+ "); }

}  // namespace

Pop3Session::Reply Pop3Session::Authenticate(const std::string& mechanism, const std::string& response,
                                             const std::string& error_answer, std::string& challenge) {
  challenge.clear();
  if (!Usable()) return Reply::kLost;
  Send("AUTH " + mechanism);
  Reply reply = Await("+");
  if (reply != Reply::kAccepted || !IsContinuation(reply_)) return reply == Reply::kLost ? reply : Reply::kRefused;
  window_start_ = std::chrono::steady_clock::now();
  window_bytes_ = 0;
  channel_.Write(Base64Encode(response) + "\r\n");
  log_.Write("< (credentials)");
  reply = Await();
  if (reply != Reply::kRefused || !IsContinuation(reply_)) return reply;
  challenge = reply_.substr(std::min<size_t>(2, reply_.size()));
  reply = Command(error_answer);
  // A server that keeps asking gets the cancel of RFC 5034, and then says no.
  if (reply == Reply::kRefused && IsContinuation(reply_)) reply = Command("*");
  return reply == Reply::kAccepted || !IsContinuation(reply_) ? reply : Reply::kRefused;
}

bool Pop3Session::OffersStls() {
  bool offered = false;
  if (Command("CAPA") == Reply::kAccepted) {
    std::string line;
    while (ReadReplyLine(line) && line != ".") {
      log_.Write("> " + line);
      if (line == "STLS" || line.starts_with("STLS ")) offered = true;
    }
  }
  return offered;
}

bool Pop3Session::ListUniqueIds(int total, Listing& listing) {
  listing.ids.clear();
  listing.numbers.clear();
  listing.named.clear();
  listing.unusable = 0;
  if (Command("UIDL") != Reply::kAccepted) return false;
  // Only what the server lists is kept: the count of a hostile STAT reply may be huge.
  std::unordered_map<int, std::string> ids;
  std::unordered_map<std::string, int> uses;
  std::set<int> numbers;
  bool read = ReadListing(
      [&](const std::string& line) {
        int number = 0;
        std::string id;
        bool named = ParseUidlLine(line, number, id);
        // A line with a number and no usable id still lists its message.
        if (!named && !ParseUidlLine(line.substr(0, line.find(' ')) + " -", number, id)) return true;
        if (number > total) return true;
        if (named) {
          ++uses[id];
          listing.named.insert(id);
        } else {
          id.clear();
        }
        numbers.insert(number);
        auto [at, fresh] = ids.try_emplace(number, id);
        if (!fresh) at->second.clear();  // a number listed twice: neither line names it
        return true;
      },
      ListingBound(total));
  if (!read) return false;
  for (int number : numbers) {
    std::string& id = ids[number];
    if (id.empty() || uses[id] != 1) {
      ++listing.unusable;
      continue;
    }
    listing.ids[number] = id;
  }
  listing.numbers.assign(numbers.begin(), numbers.end());
  return true;
}

bool Pop3Session::ListMessages(int total, Listing& listing) {
  if (Command("LIST") != Reply::kAccepted) return false;
  std::set<int> numbers;
  listing.sizes.clear();
  bool read = ReadListing(
      [&](const std::string& line) {
        int number = 0;
        std::string size;
        if (ParseUidlLine(line, number, size) && number <= total) {
          numbers.insert(number);
          listing.sizes[number] = std::atol(size.c_str());
        }
        return true;
      },
      ListingBound(total));
  listing.numbers.assign(numbers.begin(), numbers.end());
  return read;
}

}  // namespace corvelle
