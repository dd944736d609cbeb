#pragma once
// The server's half of TLS for the scripted server: an OpenSSL engine over memory buffers
// with a certificate made once per test process for pop.example, mail.example and
// 127.0.0.1, which the client trusts through CORVELLE_TLS_CA_FILE (TestCertificateFile).

#include <memory>
#include <string>
#include <string_view>

namespace corvelle::testing {

class ServerTls {
 public:
  ServerTls();
  ~ServerTls();
  ServerTls(const ServerTls&) = delete;
  ServerTls& operator=(const ServerTls&) = delete;

  // Ciphertext the client sent.
  void FromClient(std::string_view bytes) { from_client_.append(bytes); }
  // Plaintext for the client; it goes out once the handshake is done.
  void Send(std::string_view plain) { plain_out_.append(plain); }
  // Runs the engine on what came and what waits: the plaintext the client sent is returned,
  // the ciphertext for the client appended to `to_client`.
  std::string Run(std::string& to_client);

 private:
  struct Engine;
  std::unique_ptr<Engine> engine_;
  std::string from_client_, plain_out_;
};

// Writes the test certificate (PEM) to `path`, for CORVELLE_TLS_CA_FILE.
void WriteTestCertificate(const std::string& path);

}  // namespace corvelle::testing
