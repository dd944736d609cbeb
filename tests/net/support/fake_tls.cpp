#include "net/support/fake_tls.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <stdexcept>

namespace corvelle::testing {
namespace {

struct Identity {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
};

void AddExtension(X509* cert, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (!extension || !X509_add_ext(cert, extension, -1)) throw std::runtime_error("test certificate extension");
  X509_EXTENSION_free(extension);
}

// A self-signed certificate, its own authority, valid from an hour ago for a day.
const Identity& TestIdentity() {
  static const Identity identity = [] {
    Identity made;
    made.key = EVP_EC_gen("P-256");
    made.cert = X509_new();
    X509_set_version(made.cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(made.cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(made.cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(made.cert), 86400);
    X509_NAME* name = X509_get_subject_name(made.cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("pop.example"), -1,
                               -1, 0);
    X509_set_issuer_name(made.cert, name);
    X509_set_pubkey(made.cert, made.key);
    AddExtension(made.cert, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(made.cert, NID_subject_alt_name, "DNS:pop.example,DNS:mail.example,IP:127.0.0.1");
    if (!made.key || !X509_sign(made.cert, made.key, EVP_sha256())) throw std::runtime_error("test certificate");
    return made;
  }();
  return identity;
}

}  // namespace

struct ServerTls::Engine {
  Engine() {
    ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(ctx, TestIdentity().cert);
    SSL_CTX_use_PrivateKey(ctx, TestIdentity().key);
    ssl = SSL_new(ctx);
    in = BIO_new(BIO_s_mem());
    out = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl, in, out);  // owned by ssl from here
    SSL_set_accept_state(ssl);
  }
  ~Engine() {
    SSL_free(ssl);
    SSL_CTX_free(ctx);
  }
  SSL_CTX* ctx;
  SSL* ssl;
  BIO* in;
  BIO* out;
};

ServerTls::ServerTls() : engine_(std::make_unique<Engine>()) {}
ServerTls::~ServerTls() = default;

std::string ServerTls::Run(std::string& to_client) {
  SSL* ssl = engine_->ssl;
  if (!from_client_.empty()) {
    BIO_write(engine_->in, from_client_.data(), static_cast<int>(from_client_.size()));
    from_client_.clear();
  }
  std::string plain;
  if (SSL_is_init_finished(ssl) || SSL_do_handshake(ssl) == 1) {
    char buffer[16384];
    for (int n; (n = SSL_read(ssl, buffer, sizeof buffer)) > 0;) plain.append(buffer, static_cast<size_t>(n));
    if (!plain_out_.empty() && SSL_write(ssl, plain_out_.data(), static_cast<int>(plain_out_.size())) > 0)
      plain_out_.clear();
  }
  char buffer[16384];
  for (int n; (n = BIO_read(engine_->out, buffer, sizeof buffer)) > 0;) to_client.append(buffer, static_cast<size_t>(n));
  return plain;
}

void WriteTestCertificate(const std::string& path) {
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, TestIdentity().cert);
  char* data = nullptr;
  long size = BIO_get_mem_data(bio, &data);
  std::ofstream(path, std::ios::binary).write(data, size);
  BIO_free(bio);
}

}  // namespace corvelle::testing
