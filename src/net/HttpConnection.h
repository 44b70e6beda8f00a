#pragma once
// One TCP connection of the HTTP client, plain or over TLS, whose every wait
// (connecting, sending, receiving) is bounded by a time-out. Owned and used
// by one thread.
#include <cstddef>
#include <memory>
#include <string>

#include "net/HttpResponse.h"

namespace GCore {

class TlsChannel;

class HttpConnection : public ByteSource {
 public:
  // Connects to the first address of `name` (a host name or a numeric
  // address) that answers on `port`, then makes the TLS handshake when
  // `tls`; each wait lasts at most `waitMs` (negative: no limit). Null on
  // any failure, a refused certificate included.
  static std::unique_ptr<HttpConnection> Open(const std::string& name, int port, bool tls, int waitMs);
  ~HttpConnection() override;
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  // The limit of every later wait: negative waits without limit, 0 polls.
  void SetWait(int waitMs) { waitMs_ = waitMs; }

  // Sends every byte; false on an error or a time-out.
  bool SendAll(const char* data, size_t size);
  int Receive(char* buffer, size_t size) override;

 private:
  HttpConnection(int socket, int waitMs);
  // Waits until the socket is readable (or writable); false on a time-out or an error.
  bool Wait(bool forWriting) const;
  // The TLS handshake through its waits; false when it fails or times out.
  bool Handshake();

  int socket_;
  int waitMs_;
  std::unique_ptr<TlsChannel> tls_;
};

}  // namespace GCore
