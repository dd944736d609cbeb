#pragma once
// TLS over another transport (OpenSSL 3): the decorator the line channel puts over its
// TCP stream for implicit TLS (the handshake follows the connect) and for the upgrade of a
// running connection (STLS, STARTTLS). Ciphertext passes through memory buffers, so the
// inner stream may be any Transport, the tests' scripted one included, and every call stays
// non-blocking: the component's waits, watchdog and Cancel work during the handshake too.
//
// The server's certificate chain is verified against the system store (or the file named
// by CORVELLE_TLS_CA_FILE, which the tests point at the sandbox's private CA), the host name
// or IP address is checked, and TLS 1.2 is the minimum. A certificate that fails goes to
// CheckServerCertificate (certificate_trust.h), which may accept it by its stored
// fingerprint or by the user's word.

#include <memory>
#include <string>

#include "net/sockets/transport.h"

namespace corvelle {

struct Settings;
class UserInterface;

// The failure of a secure connection: its text (FailureText) names the host and the reason,
// and the user has been told already.
inline constexpr int kSecureChannelFailed = 10900;

class TlsTransport final : public Transport {
 public:
  // Over `inner` (not owned). With `connected`, inner's connection stands and the handshake
  // is next (an upgrade); otherwise it starts with BeginConnect. `host` and `port` name the
  // server for the checks and the trust store; a failure is shown through `ui`, and a
  // certificate the user trusts is kept in `choices`.
  TlsTransport(Transport& inner, bool connected, std::string host, std::string port, UserInterface& ui,
               Settings& choices);
  ~TlsTransport() override;

  int BeginConnect(const std::string& host, const std::string& port) override;
  // Connects the inner stream, then shakes hands: 10036 while either is under way.
  int ContinueConnect(int milliseconds) override;
  bool SocketFailed() const override { return inner_.SocketFailed(); }
  int Wait(bool write, int milliseconds) override;
  long Receive(char* data, size_t size, int& error) override;
  long Send(const char* data, size_t size, int& error) override;
  void Close() override;
  bool IsOpen() const override { return inner_.IsOpen(); }
  std::string LocalAddress() const override { return inner_.LocalAddress(); }
  std::string FailureText() const override { return failure_; }

 private:
  struct State;
  int StartHandshake();
  int Handshake(int milliseconds);
  int Verify();
  int Fail(const std::string& reason);
  // Moves ciphertext the engine produced towards the server. 0, or the code of a failure.
  int FlushOut();
  // Takes what the server sent into the engine: 1 bytes came, 0 none yet, -code (the end of
  // the stream is 10054).
  int Pull();
  // True when bytes already taken from the connection wait to be read.
  bool Buffered() const;

  Transport& inner_;
  UserInterface& ui_;
  Settings& choices_;
  std::unique_ptr<State> state_;
  std::string host_, port_;
  std::string out_;  // ciphertext the inner stream has not taken yet
  std::string failure_;
  bool inner_connected_;
  bool handshaking_ = false;
  bool secured_ = false;
};

}  // namespace corvelle
