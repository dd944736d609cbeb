#pragma once
// The POP3 dialogue over a line channel (RFC 1939, RFC 2449): commands and their one-line
// replies, sent one at a time or ahead of the replies, multi-line listings, the server's
// capabilities (CAPA, UTF8, STLS offered) and its listing of the mailbox (UIDL, LIST). It
// logs what goes over the wire (the lines of the login marked "<" and ">", the password or
// token never) and runs the progress watchdog. It says, once, when the session is given up; what
// the run makes of that is its owner's business.

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvelle {

class LineChannel;
class NetLog;

class Pop3Session {
 public:
  enum class Reply { kAccepted, kRefused, kLost };
  // What the server lists of its mailbox.
  struct Listing {
    std::vector<int> numbers;                   // ascending
    std::unordered_map<int, std::string> ids;   // UIDL: the ids that name exactly one message
    std::set<std::string> named;                // UIDL: every id listed
    int unusable = 0;                           // UIDL: messages listed without an id to trust
    std::unordered_map<int, long> sizes;        // LIST
  };
  // Why a session was given up: the last read's Windows Sockets number, or 0 when the
  // session (with a note of its own) or its owner said so.
  using Lost = std::function<void(int code)>;
  using Note = std::function<void(const std::string& reason)>;

  Pop3Session(LineChannel& channel, NetLog& log, Note note, Lost lost);

  // A new connection: usable, not logged in; at least `minimum` bytes must come in every
  // `interval` while the session waits for the server.
  void Restart(std::chrono::milliseconds interval, long long minimum);
  bool Usable() const;
  // True when the session was given up since the last Restart.
  bool GivenUp() const { return lost_now_; }
  bool LoggedIn() const { return logged_in_; }
  void SetLoggedIn(bool logged_in) { logged_in_ = logged_in; }
  // The last reply line.
  const std::string& LastReply() const { return reply_; }

  // Sends `text` and CR LF and reads one reply line, both logged. Accepted when the reply
  // starts with `expect`; lost when no reply came (the session is then over).
  Reply Command(const std::string& text, std::string_view expect = "+OK");
  // The two halves of Command: sending (logged) and reading the reply to a command sent.
  void Send(const std::string& text);
  Reply Await(std::string_view expect = "+OK");
  // Reads one reply line whole (cut at 64 KiB). A wait cut short by a Cancel is waited once
  // more. False when the connection was lost (or a second Cancel came).
  bool ReadReplyLine(std::string& line);
  // Reads the lines of a multi-line reply up to its "." line, calling `take` for each (until
  // it returns false). False when the connection was lost, or when more than `most` lines
  // came (the session is then given up).
  bool ReadListing(const std::function<bool(const std::string&)>& take, long long most = 1000);
  // True when the last read was given up by a Cancel and the session can go on.
  bool WaitInterrupted() const;
  // The progress watchdog, after `bytes` came. False when too little came in the interval:
  // the session is then lost.
  bool Progressing(long long bytes);
  // The connection cannot be trusted any more: it is closed without QUIT (so the server
  // commits nothing) and the session ends. `code` as for Lost.
  void Lose(int code);

  // CAPA: whether the server names `name` ("PIPELINING", "UTF8"). False when refused.
  bool Offers(std::string_view name);
  // CAPA: the lines of the server's capabilities, each logged; none when refused.
  std::vector<std::string> Capabilities();
  // AUTH `mechanism` (RFC 5034), the client's first message `response` (not yet encoded)
  // sent after the server's "+" continuation, never inline: with a token it would make the
  // command longer than the 255 octets a command may have. An error challenge that comes
  // instead of "+OK" is kept (`challenge`, as the server sent it) and answered with
  // `error_answer`, and the reply to that ends the exchange. Accepted at "+OK". The log has
  // the command without an argument and "(credentials)" for the response.
  Reply Authenticate(const std::string& mechanism, const std::string& response, const std::string& error_answer,
                     std::string& challenge);
  // CAPA before the login, the list logged: whether STLS is offered.
  bool OffersStls();
  // UIDL: the numbers the server lists (up to `total`), and the ids that name exactly one
  // message. A message listed without a usable id (malformed, or an id given twice) is
  // listed without one. False when the server gave no listing.
  bool ListUniqueIds(int total, Listing& listing);
  // LIST: the numbers (up to `total`) and sizes. False when refused.
  bool ListMessages(int total, Listing& listing);

 private:
  LineChannel& channel_;
  NetLog& log_;
  Note note_;
  Lost lost_;
  std::string reply_;
  bool lost_now_ = false;
  bool logged_in_ = false;
  std::chrono::milliseconds interval_{30000};
  long long minimum_ = 0;
  std::chrono::steady_clock::time_point window_start_{};
  long long window_bytes_ = 0;
};

}  // namespace corvelle
