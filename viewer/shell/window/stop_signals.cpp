#include "viewer/shell/window/stop_signals.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalFds[2] = {-1, -1};  // [0] written by the handler, [1] read by the loop

void onStopSignal(int) {
  char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(signalFds[0], &byte, 1);
}

void setHandler(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

StopSignals::StopSignals(std::function<void()> onStop, QObject* parent)
    : QObject(parent), onStop_(std::move(onStop)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalFds) != 0) return;
  notifier_ = new QSocketNotifier(signalFds[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &StopSignals::onReadable);
  setHandler(onStopSignal);
}

StopSignals::~StopSignals() {
  if (notifier_ == nullptr) return;
  setHandler(SIG_DFL);
  delete notifier_;
  ::close(signalFds[0]);
  ::close(signalFds[1]);
  signalFds[0] = signalFds[1] = -1;
}

void StopSignals::onReadable() {
  char bytes[16];
  [[maybe_unused]] ssize_t n = ::read(signalFds[1], bytes, sizeof bytes);
  if (onStop_) onStop_();
}
