#pragma once
// The byte stream under a line channel: connect, read, write, close, all without
// blocking, so that the channel can wait in short slices and keep the interface alive.
// TcpTransport is the real one; the tests' FakeServer (tests/net/support) plays a scripted
// server in-process for protocol tests. Failures are WinSock codes (platform/tcp_socket.h).

#include <cstddef>
#include <string>

namespace corvelle {

class Transport {
 public:
  virtual ~Transport() = default;

  // Resolves `host` and `port` (a number or a service name) and starts connecting to the
  // first address. 0: under way (see ContinueConnect). A resolver code (11001 to 11004) when
  // the host cannot be resolved, else the WinSock code of the failure.
  virtual int BeginConnect(const std::string& host, const std::string& port) = 0;

  // Waits at most `milliseconds` for the connection; an address that fails makes way for the
  // next one. 0 connected, 10036 still under way, else the code of the last failure.
  virtual int ContinueConnect(int milliseconds) = 0;
  // After a failed connect: true when the last failure was that no socket could be made.
  virtual bool SocketFailed() const { return false; }

  // Waits at most `milliseconds` until Receive (or Send, with `write`) would not block.
  // 1 ready, 0 not yet, -code on failure.
  virtual int Wait(bool write, int milliseconds) = 0;

  // Bytes read (> 0), 0 at the end of the stream, -1 with `error` (10035: nothing yet).
  virtual long Receive(char* data, size_t size, int& error) = 0;
  // Bytes taken (>= 0), -1 with `error` (10035: no room yet).
  virtual long Send(const char* data, size_t size, int& error) = 0;

  // Closes the connection (gracefully). Harmless when none is open.
  virtual void Close() = 0;

  virtual bool IsOpen() const = 0;
  // The local address of the connection in numeric form ("127.0.0.1", "::1"); "" if none.
  virtual std::string LocalAddress() const = 0;

  // The text of a failure that has no WinSock code (a secure channel's); "" when none.
  virtual std::string FailureText() const { return ""; }
};

}  // namespace corvelle
