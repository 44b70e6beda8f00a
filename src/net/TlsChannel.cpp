#include "net/TlsChannel.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <cerrno>
#include <climits>
#include <cstdint>

namespace GCore {
namespace {

int SocketOf(BIO* bio) { return static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio))); }

bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE when the
// peer has gone; ours sends with MSG_NOSIGNAL so that it only fails.
int SocketWrite(BIO* bio, const char* data, int size) {
  BIO_clear_retry_flags(bio);
  const ssize_t sent = send(SocketOf(bio), data, static_cast<size_t>(size), MSG_NOSIGNAL);
  if (sent < 0 && WouldBlock()) BIO_set_retry_write(bio);
  return static_cast<int>(sent);
}

int SocketRead(BIO* bio, char* data, int size) {
  BIO_clear_retry_flags(bio);
  const ssize_t received = recv(SocketOf(bio), data, static_cast<size_t>(size), 0);
  if (received < 0 && WouldBlock()) BIO_set_retry_read(bio);
  return static_cast<int>(received);
}

long SocketControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

// Made once, kept for the life of the process.
BIO_METHOD* SocketMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "quarvelin socket");
    if (made) {
      BIO_meth_set_write(made, SocketWrite);
      BIO_meth_set_read(made, SocketRead);
      BIO_meth_set_ctrl(made, SocketControl);
    }
    return made;
  }();
  return method;
}

// One client context for every thread (OpenSSL shares it safely once made);
// the trusted certificates are read when it is made.
SSL_CTX* ClientContext() {
  static SSL_CTX* context = [] {
    SSL_CTX* made = SSL_CTX_new(TLS_client_method());
    if (!made) return made;
    SSL_CTX_set_min_proto_version(made, TLS1_2_VERSION);
    SSL_CTX_set_verify(made, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(made);
    return made;
  }();
  return context;
}

bool IsNumericAddress(const std::string& host) {
  unsigned char address[sizeof(in6_addr)];
  return inet_pton(AF_INET, host.c_str(), address) == 1 || inet_pton(AF_INET6, host.c_str(), address) == 1;
}

}  // namespace

struct TlsChannel::Session {
  SSL* ssl = nullptr;
  ~Session() {
    if (ssl) SSL_free(ssl);  // frees the BIO too
  }

  // What an operation's non-positive result means.
  int Outcome(int result) const {
    switch (SSL_get_error(ssl, result)) {
      case SSL_ERROR_ZERO_RETURN:
        return kClosed;
      case SSL_ERROR_WANT_READ:
        return kWantRead;
      case SSL_ERROR_WANT_WRITE:
        return kWantWrite;
      default:
        // Errors, refused certificates, and a peer that closed the socket
        // without ending the session (the data may have been cut short).
        return kFailed;
    }
  }
};

TlsChannel::TlsChannel(std::unique_ptr<Session> session) : session_(std::move(session)) {}
TlsChannel::~TlsChannel() = default;

std::unique_ptr<TlsChannel> TlsChannel::Create(int socket, const std::string& host) {
  SSL_CTX* context = ClientContext();
  BIO_METHOD* method = SocketMethod();
  if (!context || !method) return nullptr;
  auto session = std::make_unique<Session>();
  session->ssl = SSL_new(context);
  if (!session->ssl) return nullptr;
  BIO* bio = BIO_new(method);
  if (!bio) return nullptr;
  BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(socket)));
  BIO_set_init(bio, 1);
  SSL_set_bio(session->ssl, bio, bio);
  if (IsNumericAddress(host)) {
    if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(session->ssl), host.c_str()) != 1) return nullptr;
  } else {
    if (SSL_set_tlsext_host_name(session->ssl, host.c_str()) != 1) return nullptr;
    if (SSL_set1_host(session->ssl, host.c_str()) != 1) return nullptr;
  }
  SSL_set_connect_state(session->ssl);
  return std::unique_ptr<TlsChannel>(new TlsChannel(std::move(session)));
}

int TlsChannel::Handshake() {
  ERR_clear_error();
  const int result = SSL_do_handshake(session_->ssl);
  return result == 1 ? 1 : session_->Outcome(result);
}

int TlsChannel::Read(char* buffer, size_t size) {
  ERR_clear_error();
  const int result = SSL_read(session_->ssl, buffer, static_cast<int>(size > INT_MAX ? INT_MAX : size));
  return result > 0 ? result : session_->Outcome(result);
}

int TlsChannel::Write(const char* data, size_t size) {
  ERR_clear_error();
  const int result = SSL_write(session_->ssl, data, static_cast<int>(size > INT_MAX ? INT_MAX : size));
  return result > 0 ? result : session_->Outcome(result);
}

}  // namespace GCore
