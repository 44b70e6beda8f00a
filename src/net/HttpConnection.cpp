#include "net/HttpConnection.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/TlsChannel.h"
#include "platform/TerminationSignals.h"

namespace GCore {
namespace {

bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }

// poll() of one socket, again after a signal; true when it is ready. The
// program's wake-up descriptor is watched too: once it is asked to close,
// no wait holds it.
bool PollSocket(int socket, short events, int waitMs) {
  pollfd entries[2] = {{socket, events, 0}, {TerminationWakeDescriptor(), POLLIN, 0}};
  for (;;) {
    const int ready = poll(entries, entries[1].fd >= 0 ? 2 : 1, waitMs < 0 ? -1 : waitMs);
    if (ready > 0) return entries[0].revents != 0;
    if (ready == 0 || !RetryInterruptedCall()) return false;
  }
}

// A connected non-blocking socket to the address, or -1.
int ConnectTo(const addrinfo& address, int waitMs) {
  const int socket =
      ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
  if (socket < 0) return -1;
  if (connect(socket, address.ai_addr, address.ai_addrlen) == 0) return socket;
  int error = errno;
  if (error == EINPROGRESS && PollSocket(socket, POLLOUT, waitMs)) {
    socklen_t length = sizeof(error);
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error == 0) return socket;
  }
  close(socket);
  return -1;
}

struct AddressList {
  addrinfo* first = nullptr;
  ~AddressList() {
    if (first) freeaddrinfo(first);
  }
};

}  // namespace

std::unique_ptr<HttpConnection> HttpConnection::Open(const std::string& name, int port, bool tls, int waitMs) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  AddressList addresses;
  if (getaddrinfo(name.c_str(), std::to_string(port).c_str(), &hints, &addresses.first) != 0) return nullptr;
  for (const addrinfo* address = addresses.first; address; address = address->ai_next) {
    const int socket = ConnectTo(*address, waitMs);
    if (socket < 0) continue;
    std::unique_ptr<HttpConnection> connection(new HttpConnection(socket, waitMs));
    if (!tls) return connection;
    connection->tls_ = TlsChannel::Create(socket, name);
    if (connection->tls_ && connection->Handshake()) return connection;
    return nullptr;
  }
  return nullptr;
}

HttpConnection::HttpConnection(int socket, int waitMs) : socket_(socket), waitMs_(waitMs) {}

HttpConnection::~HttpConnection() {
  tls_.reset();
  close(socket_);
}

bool HttpConnection::Wait(bool forWriting) const {
  return PollSocket(socket_, forWriting ? POLLOUT : POLLIN, waitMs_);
}

bool HttpConnection::Handshake() {
  for (;;) {
    const int result = tls_->Handshake();
    if (result == 1) return true;
    if (result != TlsChannel::kWantRead && result != TlsChannel::kWantWrite) return false;
    if (!Wait(result == TlsChannel::kWantWrite)) return false;
  }
}

bool HttpConnection::SendAll(const char* data, size_t size) {
  while (size > 0) {
    ssize_t sent;
    if (tls_) {
      const int result = tls_->Write(data, size);
      if (result == TlsChannel::kWantRead || result == TlsChannel::kWantWrite) {
        if (!Wait(result == TlsChannel::kWantWrite)) return false;
        continue;
      }
      if (result <= 0) return false;
      sent = result;
    } else {
      sent = send(socket_, data, size, MSG_NOSIGNAL);
      if (sent < 0) {
        if (errno == EINTR) continue;
        if (!WouldBlock() || !Wait(true)) return false;
        continue;
      }
    }
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

int HttpConnection::Receive(char* buffer, size_t size) {
  for (;;) {
    if (tls_) {
      const int result = tls_->Read(buffer, size);
      if (result >= 0) return result;
      if (result == TlsChannel::kFailed) return kError;
      if (!Wait(result == TlsChannel::kWantWrite)) return kTimedOut;
      continue;
    }
    const ssize_t received = recv(socket_, buffer, size, 0);
    if (received >= 0) return static_cast<int>(received);
    if (errno == EINTR) continue;
    if (!WouldBlock()) return kError;
    if (!Wait(false)) return kTimedOut;
  }
}

}  // namespace GCore
