/* Loaded into the program with LD_PRELOAD by the loopback test: writes every
 * connection the program tries and every name it looks up into the file that
 * QUARVELIN_CONNECT_LOG names, one line each, and refuses any connection that
 * would leave the machine, so that even a failing test sends nothing out.
 * Local (Unix) sockets, such as the X server's, are neither written nor
 * refused. */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <dlfcn.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/socket.h>

static void Record(const char* line) {
  const char* path = getenv("QUARVELIN_CONNECT_LOG");
  FILE* file = path ? fopen(path, "a") : NULL;
  if (!file) return;
  fprintf(file, "%s\n", line);
  fclose(file);
}

/* 1 when the address may be reached: loopback, or no Internet address. */
static int Allowed(const struct sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "";
  unsigned port = 0;
  int loopback = 0;
  if (!address) return 1;
  if (address->sa_family == AF_INET) {
    const struct sockaddr_in* in = (const struct sockaddr_in*)address;
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text));
    port = ntohs(in->sin_port);
    loopback = in->sin_addr.s_addr == htonl(INADDR_LOOPBACK);
  } else if (address->sa_family == AF_INET6) {
    const struct sockaddr_in6* in6 = (const struct sockaddr_in6*)address;
    inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof(text));
    port = ntohs(in6->sin6_port);
    loopback = IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr) ||
               (IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr) && in6->sin6_addr.s6_addr[12] == 127 &&
                in6->sin6_addr.s6_addr[13] == 0 && in6->sin6_addr.s6_addr[14] == 0 && in6->sin6_addr.s6_addr[15] == 1);
  } else {
    return 1;
  }
  char line[128];
  snprintf(line, sizeof(line), "connect %s %u%s", text, port, loopback ? "" : " REFUSED");
  Record(line);
  return loopback;
}

int connect(int socket, const struct sockaddr* address, socklen_t length) {
  int (*real)(int, const struct sockaddr*, socklen_t) = dlsym(RTLD_NEXT, "connect");
  if (!Allowed(address)) {
    errno = ENETUNREACH;
    return -1;
  }
  return real(socket, address, length);
}

ssize_t sendto(int socket, const void* bytes, size_t size, int flags, const struct sockaddr* address,
               socklen_t length) {
  ssize_t (*real)(int, const void*, size_t, int, const struct sockaddr*, socklen_t) = dlsym(RTLD_NEXT, "sendto");
  if (!Allowed(address)) {
    errno = ENETUNREACH;
    return -1;
  }
  return real(socket, bytes, size, flags, address, length);
}

int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints, struct addrinfo** result) {
  int (*real)(const char*, const char*, const struct addrinfo*, struct addrinfo**) = dlsym(RTLD_NEXT, "getaddrinfo");
  char line[300];
  snprintf(line, sizeof(line), "resolve %s", node ? node : "(none)");
  Record(line);
  return real(node, service, hints, result);
}

struct hostent* gethostbyname(const char* name) {
  struct hostent* (*real)(const char*) = dlsym(RTLD_NEXT, "gethostbyname");
  char line[300];
  snprintf(line, sizeof(line), "resolve %s", name ? name : "(none)");
  Record(line);
  return real(name);
}
