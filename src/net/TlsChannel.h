#pragma once
// TLS over a connected non-blocking socket, with OpenSSL. The peer's
// certificate must chain to the system's trusted certificates (OpenSSL's
// default paths, which honour SSL_CERT_FILE and SSL_CERT_DIR when the first
// TLS connection of the process is made) and name the host that was asked
// for. The operations never wait: they say what they wait for and the caller
// waits on the socket. One channel belongs to one thread.
#include <cstddef>
#include <memory>
#include <string>

namespace GCore {

class TlsChannel {
 public:
  // Results besides a count of bytes.
  static constexpr int kClosed = 0;      // the peer ended the session properly
  static constexpr int kFailed = -1;     // an error, a refused certificate, a cut session
  static constexpr int kWantRead = -2;   // call again once the socket is readable
  static constexpr int kWantWrite = -3;  // call again once the socket is writable

  // A client channel on the socket for the host name (or numeric address);
  // null when OpenSSL cannot set one up. The socket stays the caller's.
  static std::unique_ptr<TlsChannel> Create(int socket, const std::string& host);
  ~TlsChannel();
  TlsChannel(const TlsChannel&) = delete;
  TlsChannel& operator=(const TlsChannel&) = delete;

  // 1 when the handshake is complete (the certificate verified), else one of
  // kFailed, kWantRead, kWantWrite.
  int Handshake();
  int Read(char* buffer, size_t size);
  int Write(const char* data, size_t size);

 private:
  struct Session;
  explicit TlsChannel(std::unique_ptr<Session> session);
  std::unique_ptr<Session> session_;
};

}  // namespace GCore
