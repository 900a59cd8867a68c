#include "viewer/web/host_check.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace kestrel {

namespace {

std::string lowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool isLoopback(const in_addr& a) { return (ntohl(a.s_addr) >> 24) == 127; }

bool isLoopback(const in6_addr& a) {
  if (IN6_IS_ADDR_LOOPBACK(&a)) return true;
  if (!IN6_IS_ADDR_V4MAPPED(&a)) return false;
  in_addr v4;
  std::memcpy(&v4, a.s6_addr + 12, 4);
  return isLoopback(v4);
}

// True when an interface of this machine has the address.
bool isOwnAddress(int family, const void* address) {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return false;
  bool found = false;
  for (ifaddrs* i = list; i != nullptr && !found; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != family) continue;
    if (family == AF_INET) {
      found = std::memcmp(&reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, address,
                          sizeof(in_addr)) == 0;
    } else {
      found = std::memcmp(&reinterpret_cast<sockaddr_in6*>(i->ifa_addr)->sin6_addr, address,
                          sizeof(in6_addr)) == 0;
    }
  }
  ::freeifaddrs(list);
  return found;
}

bool trustedAddress(const std::string& host) {
  in_addr v4{};
  if (::inet_pton(AF_INET, host.c_str(), &v4) == 1) {
    return isLoopback(v4) || isOwnAddress(AF_INET, &v4);
  }
  in6_addr v6{};
  if (::inet_pton(AF_INET6, host.c_str(), &v6) == 1) {
    return isLoopback(v6) || isOwnAddress(AF_INET6, &v6);
  }
  return false;
}

}  // namespace

std::string hostOfHeader(std::string_view value) {
  if (!value.empty() && value.front() == '[') {
    size_t close = value.find(']');
    if (close == std::string_view::npos) return "";
    return lowerCase(value.substr(1, close - 1));
  }
  value = value.substr(0, value.find(':'));
  if (!value.empty() && value.back() == '.') value.remove_suffix(1);
  return lowerCase(value);
}

bool trustedHost(std::string_view header, const std::vector<std::string>& trusted) {
  std::string host = hostOfHeader(header);
  if (host.empty()) return false;
  if (host == "localhost" || trustedAddress(host)) return true;
  return std::any_of(trusted.begin(), trusted.end(),
                     [&](const std::string& name) { return hostOfHeader(name) == host; });
}

}  // namespace kestrel
