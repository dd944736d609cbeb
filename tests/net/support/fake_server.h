#pragma once
// A scripted server for protocol tests: it plays a dialogue in-process through a fake
// transport, records every byte the client writes, and reports where the client left the
// script. No threads and no sockets; pauses and stalls take real time. A client that reads
// while the script waits for its command gets the end of the stream (and a problem is
// recorded) instead of a hang, and writing after the server closed fails as a reset
// connection does. A script has one step a line:
//
//   S: text    the server sends text and CR LF
//   S> text    the server sends text with no line end
//   C: text    the client must send text and CR LF next
//   PAUSE n    the server says nothing for n milliseconds, then goes on
//   CLOSE      the server closes the connection
//   STALL      the server goes silent and keeps the connection open
//   TLS        the server shakes hands (fake_tls.h) and speaks TLS from then on; what the
//              client wrote (Written) is recorded as plaintext
//   # ...      a comment; empty lines are skipped
//
// Text may hold the escapes \r \n \t \0 \\ and \xHH, so any byte can be scripted.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/sockets/transport.h"

namespace corvelle::testing {

// The script of a server that sends `bytes` one at a time, pausing `milliseconds` after each.
std::string Drip(std::string_view bytes, int milliseconds);
// A printable form of `bytes`: the escapes above for control and 8-bit bytes.
std::string Escape(std::string_view bytes);

class FakeServer {
 public:
  // Throws std::invalid_argument naming a line of `script` it cannot read.
  explicit FakeServer(std::string_view script = "");
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  // A transport connected to this server. Each connection goes on with the script where the
  // previous one ended (after its CLOSE).
  std::unique_ptr<Transport> NewTransport();
  // What connecting answers: 0, or a WinSock code such as 10061 or 11001.
  void SetConnectResult(int code);
  // At most `bytes` bytes per read and per write (1: one byte at a time, for trickle tests);
  // below 64 KiB every other write also finds no room, as with a slow reader.
  void SetChunkSize(size_t bytes);

  std::string Written() const;
  std::vector<std::string> Problems() const;
  // True when every step of the script was played.
  bool Finished() const;
  int Connections() const;
  std::string Host() const;
  std::string Port() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

// A port of 127.0.0.1 (::1 with `ipv6`) the system assigns, held while the object lives: with
// `listening`, connections to it are made (the kernel completes them; nobody answers),
// without, they are refused.
class LoopbackPort {
 public:
  LoopbackPort(bool ipv6, bool listening);
  ~LoopbackPort();
  LoopbackPort(const LoopbackPort&) = delete;
  LoopbackPort& operator=(const LoopbackPort&) = delete;
  const std::string& Port() const { return port_; }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  std::string port_;
};

}  // namespace corvelle::testing
