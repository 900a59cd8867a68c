// Helpers for the fleet monitor's tests: a clock the test sets, and a
// sender of real multicast datagrams on the loopback interface.
#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "modules/fleettap/kv_clock.h"

class ManualClock : public kv_clock {
 public:
  kv_time now() const override { return now_; }
  void set(int64_t seconds, int millis) { now_ = kv_time{seconds, static_cast<uint16_t>(millis)}; }
  void advanceMs(int64_t ms) {
    int64_t total = now_.seconds * 1000 + now_.millis + ms;
    now_ = kv_time{total / 1000, static_cast<uint16_t>(total % 1000)};
  }

 private:
  kv_time now_{1000000, 0};
};

// The interface every test joins its groups on, so that no membership
// report or packet leaves the machine.
constexpr const char* kLoopbackInterface = "127.0.0.1";

// A UDP port that was free a moment ago.
inline uint16_t freeUdpPort() {
  int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

class MulticastSender {
 public:
  MulticastSender(const char* group, uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    in_addr loopback{htonl(INADDR_LOOPBACK)};
    ::setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &loopback, sizeof loopback);
    unsigned char on = 1;
    ::setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_LOOP, &on, sizeof on);
    to_.sin_family = AF_INET;
    to_.sin_port = htons(port);
    ::inet_pton(AF_INET, group, &to_.sin_addr);
  }
  ~MulticastSender() { ::close(fd_); }
  bool send(const std::string& packet) {
    return ::sendto(fd_, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to_),
                    sizeof to_) == static_cast<ssize_t>(packet.size());
  }

 private:
  int fd_;
  sockaddr_in to_{};
};
