#include "net/sockets/tls_transport.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstdio>

#include "core/user_interface.h"
#include "net/sockets/certificate_trust.h"
#include "platform/tcp_socket.h"

namespace corvelle {
namespace {

constexpr size_t kPullChunk = 32 * 1024;
constexpr int kWriteChunk = 16 * 1024;  // one record's worth of text per SSL_write

SSL_CTX* NewContext(const std::string& ca_file) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  if (!ctx) return ctx;
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  // The chain is checked after the handshake, so that a failure can be put to the user.
  SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
  if (!ca_file.empty())
    SSL_CTX_load_verify_locations(ctx, ca_file.c_str(), nullptr);
  else
    SSL_CTX_set_default_verify_paths(ctx);
  return ctx;
}

// The context of the trusted roots in force: the system store, or the file that
// CORVELLE_TLS_CA_FILE names (a test CA). Made again only when that variable changes;
// connections under way hold their own reference to the old one.
SSL_CTX* Context() {
  static SSL_CTX* context = nullptr;
  static std::string loaded;
  const char* variable = std::getenv("CORVELLE_TLS_CA_FILE");
  std::string ca_file = variable ? variable : "";
  if (!context || ca_file != loaded) {
    if (context) SSL_CTX_free(context);
    context = NewContext(ca_file);
    loaded = ca_file;
  }
  return context;
}

bool IsIpAddress(const std::string& host) {
  unsigned char buffer[16];
  return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

std::string Fingerprint(X509* cert) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!X509_digest(cert, EVP_sha256(), digest, &length)) return "";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, i ? ":%02X" : "%02X", digest[i]);
    text += hex;
  }
  return text;
}

std::string LibraryError(const char* fallback) {
  unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return fallback;
  const char* reason = ERR_reason_error_string(code);
  return reason ? reason : fallback;
}

}  // namespace

struct TlsTransport::State {
  SSL* ssl = nullptr;
  BIO* in = nullptr;   // ciphertext from the server, owned by ssl
  BIO* out = nullptr;  // ciphertext for the server, owned by ssl
  ~State() {
    if (ssl) SSL_free(ssl);
  }
};

TlsTransport::TlsTransport(Transport& inner, bool connected, std::string host, std::string port, UserInterface& ui,
                           Settings& choices)
    : inner_(inner), ui_(ui), choices_(choices), state_(std::make_unique<State>()), host_(std::move(host)), port_(std::move(port)),
      inner_connected_(connected) {}

TlsTransport::~TlsTransport() = default;

int TlsTransport::BeginConnect(const std::string& host, const std::string& port) {
  inner_connected_ = false;
  return inner_.BeginConnect(host, port);
}

int TlsTransport::ContinueConnect(int milliseconds) {
  if (secured_) return 0;
  if (!failure_.empty()) return kSecureChannelFailed;
  if (!inner_connected_) {
    int code = inner_.ContinueConnect(milliseconds);
    if (code != 0) return code;
    inner_connected_ = true;
    milliseconds = 0;  // the handshake's first flight goes out now; its answer comes later
  }
  if (!handshaking_) {
    int code = StartHandshake();
    if (code != 0) return code;
  }
  return Handshake(milliseconds);
}

int TlsTransport::StartHandshake() {
  SSL_CTX* context = Context();
  SSL* ssl = context ? SSL_new(context) : nullptr;
  if (!ssl) return Fail(LibraryError("the TLS library could not be set up"));
  state_->ssl = ssl;
  state_->in = BIO_new(BIO_s_mem());
  state_->out = BIO_new(BIO_s_mem());
  SSL_set_bio(ssl, state_->in, state_->out);
  SSL_set_connect_state(ssl);
  X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
  if (IsIpAddress(host_)) {
    X509_VERIFY_PARAM_set1_ip_asc(param, host_.c_str());
  } else {
    SSL_set_tlsext_host_name(ssl, host_.c_str());
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    X509_VERIFY_PARAM_set1_host(param, host_.c_str(), 0);
  }
  handshaking_ = true;
  return 0;
}

int TlsTransport::Handshake(int milliseconds) {
  for (;;) {
    ERR_clear_error();
    int done = SSL_do_handshake(state_->ssl);
    int error = done == 1 ? SSL_ERROR_NONE : SSL_get_error(state_->ssl, done);
    std::string reason = error == SSL_ERROR_SSL ? LibraryError("the handshake failed") : "";
    if (int code = FlushOut(); code != 0)
      return Fail(code == wsa::kConnectionReset ? "the server closed the connection during the handshake"
                                                : "the connection failed during the handshake");
    if (done == 1) {
      handshaking_ = false;
      return Verify();
    }
    if (error != SSL_ERROR_WANT_READ) return Fail(reason.empty() ? "the handshake failed" : reason);
    int got = Pull();
    if (got < 0)
      return Fail(got == -wsa::kConnectionReset ? "the server closed the connection during the handshake"
                                                 : "the connection failed during the handshake");
    if (got > 0) continue;
    if (milliseconds <= 0) return wsa::kInProgress;
    int ready = inner_.Wait(!out_.empty(), milliseconds);
    if (ready < 0) return Fail("the connection failed during the handshake");
    if (ready == 0) return wsa::kInProgress;
    milliseconds = 0;
  }
}

int TlsTransport::Verify() {
  X509* cert = SSL_get0_peer_certificate(state_->ssl);
  if (!cert) return Fail("the server sent no certificate");
  long result = SSL_get_verify_result(state_->ssl);
  if (result != X509_V_OK) {
    std::string refusal;
    if (!AcceptUnverifiedCertificate(ui_, choices_, host_ + ":" + port_, Fingerprint(cert), X509_verify_cert_error_string(result),
                                     refusal)) {
      failure_ = refusal;  // the user has seen it
      return kSecureChannelFailed;
    }
  }
  secured_ = true;
  return 0;
}

int TlsTransport::Fail(const std::string& reason) {
  handshaking_ = false;
  failure_ = "Secure connection to " + host_ + " failed: " + reason + ".";
  ui_.Message(failure_, "Secure connection", Buttons::Ok, MessageIcon::Error);
  return kSecureChannelFailed;
}

int TlsTransport::FlushOut() {
  char buffer[kPullChunk];
  int n;
  while (state_->out && (n = BIO_read(state_->out, buffer, sizeof buffer)) > 0) out_.append(buffer, n);
  while (!out_.empty()) {
    int error = 0;
    long sent = inner_.Send(out_.data(), out_.size(), error);
    if (sent > 0) {
      out_.erase(0, static_cast<size_t>(sent));
      continue;
    }
    if (sent < 0 && error != wsa::kWouldBlock) return error;
    return 0;
  }
  return 0;
}

int TlsTransport::Pull() {
  char buffer[kPullChunk];
  int error = 0;
  long n = inner_.Receive(buffer, sizeof buffer, error);
  if (n > 0) {
    BIO_write(state_->in, buffer, static_cast<int>(n));
    return 1;
  }
  if (n == 0) return -wsa::kConnectionReset;
  return error == wsa::kWouldBlock ? 0 : -error;
}

int TlsTransport::Wait(bool write, int milliseconds) {
  if (!write && Buffered()) return 1;
  if (!out_.empty()) {
    if (int code = FlushOut(); code != 0) return -code;
    if (!out_.empty()) {
      // Ciphertext still waits for room: nothing else can happen before it goes.
      int ready = inner_.Wait(true, milliseconds);
      return ready < 0 || write ? ready : 0;
    }
  }
  return inner_.Wait(write, milliseconds);
}

bool TlsTransport::Buffered() const {
  return secured_ && (SSL_pending(state_->ssl) > 0 || BIO_ctrl_pending(state_->in) > 0);
}

long TlsTransport::Receive(char* data, size_t size, int& error) {
  if (!secured_) {
    error = wsa::kNotConnected;
    return -1;
  }
  if (int code = FlushOut(); code != 0) {
    error = code;
    return -1;
  }
  size_t total = 0;
  // Every record taken from the connection is decrypted now: a wait on the descriptor
  // would not learn of records left behind in the engine. What the kernel still
  // holds, it sees.
  while (total < size) {
    ERR_clear_error();
    int n = SSL_read(state_->ssl, data + total, static_cast<int>(std::min<size_t>(size - total, INT_MAX)));
    if (n > 0) {
      total += static_cast<size_t>(n);
      continue;
    }
    int why = SSL_get_error(state_->ssl, n);
    if (why == SSL_ERROR_WANT_READ) {
      FlushOut();  // an answer the engine owes the server (a key update)
      if (total > 0) break;
      int got = Pull();
      if (got > 0) continue;
      if (got == 0) {
        error = wsa::kWouldBlock;
        return -1;
      }
      if (got == -wsa::kConnectionReset) return 0;
      error = -got;
      return -1;
    }
    if (total > 0) break;
    if (why == SSL_ERROR_ZERO_RETURN) return 0;
    ERR_clear_error();
    error = wsa::kConnectionReset;
    return -1;
  }
  return static_cast<long>(total);
}

long TlsTransport::Send(const char* data, size_t size, int& error) {
  if (!secured_) {
    error = wsa::kNotConnected;
    return -1;
  }
  if (int code = FlushOut(); code != 0) {
    error = code;
    return -1;
  }
  if (!out_.empty()) {
    error = wsa::kWouldBlock;
    return -1;
  }
  if (size == 0) return 0;
  ERR_clear_error();
  int n = SSL_write(state_->ssl, data, static_cast<int>(std::min<size_t>(size, kWriteChunk)));
  if (n <= 0) {
    ERR_clear_error();
    error = wsa::kConnectionReset;
    return -1;
  }
  if (int code = FlushOut(); code != 0) {
    error = code;
    return -1;
  }
  return n;
}

void TlsTransport::Close() {
  if (secured_ && inner_.IsOpen()) {
    SSL_shutdown(state_->ssl);  // close_notify, as far as it goes without waiting
    FlushOut();
  }
  secured_ = false;
  handshaking_ = false;
  inner_.Close();
}

}  // namespace corvelle
