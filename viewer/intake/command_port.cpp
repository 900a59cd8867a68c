#include "viewer/intake/command_port.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

// Failures of accept that say nothing about the listening socket itself:
// the pending connection went away, or the process ran short of resources
// for a moment. They are retried instead of ending the viewer.
bool transientAcceptError(int error) {
  switch (error) {
    case EINTR: case EAGAIN: case ECONNABORTED: case EPROTO: case ENETDOWN: case ENOPROTOOPT:
    case EHOSTDOWN: case ENONET: case EHOSTUNREACH: case EOPNOTSUPP: case ENETUNREACH:
    case EMFILE: case ENFILE: case ENOBUFS: case ENOMEM:
      return true;
    default:
      return false;
  }
}

bool resourceShortage(int error) {
  return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

std::string peerName(const sockaddr_in& peer) {
  char address[INET_ADDRSTRLEN] = "?";
  ::inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
  return std::string(address) + ":" + std::to_string(ntohs(peer.sin_port));
}

}  // namespace

CommandPortServer::CommandPortServer() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CommandPortServer::~CommandPortServer() {
  clients_.clear();
  if (listenFd_ >= 0) ::close(listenFd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

bool CommandPortServer::open(uint16_t port, const std::string& bindAddress, std::string* error) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  if (!bindAddress.empty() && ::inet_pton(AF_INET, bindAddress.c_str(), &address.sin_addr) != 1) {
    *error = "not an IPv4 address: " + bindAddress;
    return false;
  }
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listenFd_ < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  int on = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, kBacklog) != 0) {
    *error = std::strerror(errno);
    ::close(listenFd_);
    listenFd_ = -1;
    return false;
  }
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  return true;
}

void CommandPortServer::stop() {
  stopping_.store(true, std::memory_order_release);
  uint64_t one = 1;
  if (wakeFd_ >= 0) (void)!::write(wakeFd_, &one, sizeof one);
}

void CommandPortServer::removeClosed() {
  std::erase_if(clients_, [](const std::unique_ptr<CommandClient>& client) {
    return client->state() != CommandClient::State::kOpen && client->batch().pending() == 0;
  });
}

bool CommandPortServer::acceptClients() {
  while (clients_.size() < kMaxClients) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd >= 0) {
      clients_.push_back(std::make_unique<CommandClient>(fd, peerName(peer)));
      continue;
    }
    int error = errno;
    if (error == EAGAIN || error == EWOULDBLOCK) return true;
    if (!transientAcceptError(error)) {
      errorLine("accept error");
      return false;
    }
    if (resourceShortage(error)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      return true;
    }
  }
  return true;
}

CommandPortServer::Status CommandPortServer::serve(
    std::chrono::milliseconds timeout, const std::function<bool(const CommandClient&)>& readable,
    std::chrono::milliseconds idle) {
  // Slot 0: the wake descriptor; slot 1: the listening socket (ignored while
  // the port is full); then the clients that may be read.
  std::vector<pollfd> fds;
  std::vector<CommandClient*> polled;
  fds.push_back({wakeFd_, POLLIN, 0});
  fds.push_back({clients_.size() < kMaxClients ? listenFd_ : -1, POLLIN, 0});
  for (const auto& client : clients_) {
    if (client->state() != CommandClient::State::kOpen || !readable(*client)) continue;
    fds.push_back({client->fd(), POLLIN, 0});
    polled.push_back(client.get());
  }
  int waitMs = static_cast<int>(std::max<int64_t>(0, timeout.count()));
  int ready = ::poll(fds.data(), fds.size(), waitMs);
  if (stopping()) return Status::kStopped;
  if (ready <= 0) return Status::kServed;
  for (size_t i = 0; i < polled.size(); ++i) {
    if (fds[i + 2].revents != 0) polled[i]->receive(receiveBuffer_, kReceiveSize, idle);
  }
  if (fds[1].revents != 0 && !acceptClients()) return Status::kFatal;
  return Status::kServed;
}

}  // namespace kestrel
