#include "modules/host/runner.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <vector>

#include "modules/host/driven.h"

namespace kestrel {
namespace {

std::atomic<int> signalFd{-1};

void onSignal(int) {
  const int fd = signalFd.load();
  if (fd >= 0) {
    const char byte = 's';
    [[maybe_unused]] ssize_t n = write(fd, &byte, 1);
  }
}

int timeoutMs(Driven::Clock::time_point now, Driven::Clock::time_point next) {
  if (next == Driven::Clock::time_point::max()) return 1000;
  if (next <= now) return 0;
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
  return static_cast<int>(std::min<long long>(ms, 1000));
}

}  // namespace

Runner::Runner() {
  if (pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe_[0] = wakePipe_[1] = -1;
}

Runner::~Runner() {
  if (signalFd.load() == wakePipe_[1]) signalFd.store(-1);
  for (int fd : wakePipe_) {
    if (fd >= 0) ::close(fd);
  }
}

void Runner::requestStop() {
  const char byte = 's';
  if (wakePipe_[1] >= 0) [[maybe_unused]] ssize_t n = write(wakePipe_[1], &byte, 1);
}

void Runner::handleSignals() {
  signalFd.store(wakePipe_[1]);
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

Runner::End Runner::run(ModuleGraph& graph) {
  std::vector<Driven*> driven;
  for (const auto& n : graph.nodes()) {
    if (auto* d = dynamic_cast<Driven*>(n.module.get())) driven.push_back(d);
  }
  for (Driven* d : driven) d->begin();
  std::vector<pollfd> fds;
  std::vector<int> owners;  // index into driven for fds[1..]
  for (;;) {
    bool anyLive = false;
    auto next = Driven::Clock::time_point::max();
    fds.assign(1, pollfd{wakePipe_[0], POLLIN, 0});
    owners.clear();
    for (std::size_t i = 0; i < driven.size(); ++i) {
      anyLive = anyLive || driven[i]->live();
      next = std::min(next, driven[i]->wakeAt());
      if (int fd = driven[i]->waitFd(); fd >= 0) {
        fds.push_back(pollfd{fd, POLLIN, 0});
        owners.push_back(static_cast<int>(i));
      }
    }
    if (!anyLive) return End::Finished;
    int ready = poll(fds.data(), fds.size(), timeoutMs(Driven::Clock::now(), next));
    if (ready < 0 && errno != EINTR) return End::Stopped;
    if (fds[0].revents & POLLIN) return End::Stopped;
    const auto now = Driven::Clock::now();
    std::vector<bool> readable(driven.size(), false);
    for (std::size_t k = 1; k < fds.size(); ++k) {
      if (fds[k].revents & (POLLIN | POLLHUP | POLLERR)) readable[owners[k - 1]] = true;
    }
    for (std::size_t i = 0; i < driven.size(); ++i) {
      if (readable[i] || driven[i]->wakeAt() <= now) driven[i]->wake(now, readable[i]);
    }
  }
}

}  // namespace kestrel
