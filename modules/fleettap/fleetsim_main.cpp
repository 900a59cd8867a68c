// fleetsim: sends node packets for a simulated fleet to a multicast group.
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "modules/fleettap/fleet_sim.h"

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }
}  // namespace

int main(int argc, char** argv) {
  FleetSimOptions options;
  std::string error;
  if (!parseFleetSimOptions(argc, argv, &options, &error)) {
    if (!error.empty()) std::fprintf(stderr, "fleetsim: %s\n", error.c_str());
    std::fputs(fleetSimUsage().c_str(), error.empty() ? stdout : stderr);
    return error.empty() ? 0 : 2;
  }
  if (options.version) {
    std::printf("fleetsim %s\n", KESTREL_VERSION);
    return 0;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  in_addr interface{};
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(options.port);
  if (fd < 0 || ::inet_pton(AF_INET, options.interface.c_str(), &interface) != 1 ||
      ::inet_pton(AF_INET, options.group.c_str(), &to.sin_addr) != 1) {
    std::fprintf(stderr, "fleetsim: bad address %s or %s\n", options.interface.c_str(),
                 options.group.c_str());
    return 2;
  }
  ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &interface, sizeof interface);
  unsigned char loop = 1;
  ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);

  using Clock = std::chrono::steady_clock;
  FleetSim sim(options);
  auto start = Clock::now();
  int64_t startMillis = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
  uint64_t sent = 0, failed = 0;
  for (uint64_t n = 0; !stopRequested && (options.count == 0 || n < options.count); ++n) {
    auto due = start + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(static_cast<double>(n) / options.rate));
    double elapsed = std::chrono::duration<double>(due - start).count();
    if (options.duration > 0 && elapsed >= options.duration) break;
    std::this_thread::sleep_until(due);
    std::string packet = sim.packetAt(n, elapsed, startMillis);
    if (packet.empty()) continue;
    if (::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof to) < 0) {
      ++failed;
    } else {
      ++sent;
    }
  }
  ::close(fd);
  std::printf("fleetsim: sent %llu packets (%llu failed)\n", static_cast<unsigned long long>(sent),
              static_cast<unsigned long long>(failed));
  return 0;
}
