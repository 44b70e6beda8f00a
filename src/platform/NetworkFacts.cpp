#include "platform/NetworkFacts.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if_arp.h>
#include <netdb.h>

#include <cstdio>

namespace GCore {

std::string FirstEthernetAddress() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return "";
  std::string address;
  for (const ifaddrs* entry = list; entry && address.empty(); entry = entry->ifa_next) {
    if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET) continue;
    const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
    if (link->sll_hatype != ARPHRD_ETHER || link->sll_halen != 6) continue;
    char text[18];
    std::snprintf(text, sizeof(text), "%02X-%02X-%02X-%02X-%02X-%02X", link->sll_addr[0], link->sll_addr[1],
                  link->sll_addr[2], link->sll_addr[3], link->sll_addr[4], link->sll_addr[5]);
    address = text;
  }
  freeifaddrs(list);
  return address;
}

std::optional<std::string> ResolveFirstIPv4(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
    std::perror("gethostbyname error");
    return std::nullopt;
  }
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof(text));
  freeaddrinfo(found);
  return std::string(text);
}

}  // namespace GCore
