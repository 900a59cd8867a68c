#include "modules/fleettap/kv_multicast_recv.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "modules/fleettap/kv_olog.h"

namespace {

long threadId() { return static_cast<long>(::syscall(SYS_gettid)); }

}  // namespace

kv_multicast_recv::bufferSt::bufferSt(int size, int slots)
    : slotSize(size), capacity(slots), storage(static_cast<size_t>(size) * slots, '\0') {}

bool kv_multicast_recv::bufferSt::putPacket(const char* text, size_t length) {
  fleetLog().printf("kv_multicast_recv:bufferSt:putPacket() %p\n", static_cast<void*>(this));
  if (writeCount >= capacity) {
    full = true;
    return false;
  }
  char* slot = storage.data() + static_cast<size_t>(writeCount) * slotSize;
  std::memcpy(slot, text, length);
  slot[length] = '\0';
  ++writeCount;
  return true;
}

const char* kv_multicast_recv::bufferSt::getPacket() {
  fleetLog().printf("kv_multicast_recv:bufferSt:getPacket() %p\n", static_cast<void*>(this));
  if (readIndex >= writeCount) return nullptr;
  return storage.data() + static_cast<size_t>(readIndex++) * slotSize;
}

kv_multicast_recv::kv_multicast_recv(const char* groupAddress, int portNumber, int slotSize,
                                     int capacity)
    : groupAddress_(groupAddress ? groupAddress : ""),
      portNumber_(portNumber),
      buffers_{bufferSt(slotSize, capacity), bufferSt(slotSize, capacity)},
      front_(&buffers_[0]),
      back_(&buffers_[1]) {
  fleetLog().printf("kv_multicast_recv::kv_multicast_recv() %p\n", static_cast<void*>(this));
}

kv_multicast_recv::~kv_multicast_recv() {
  fleetLog().printf("kv_multicast_recv::~kv_multicast_recv() %p\n", static_cast<void*>(this));
  stop();
}

void kv_multicast_recv::run() {
  fleetLog().printf("kv_multicast_recv::run in process %d %ld\n", static_cast<int>(::getpid()),
                    threadId());
  if (thread_.joinable()) return;
  openSocket();
  stopping_.store(false);
  thread_ = std::thread([this] { runingThread(); });
  fleetLog().printf("kv_multicast_recv::run() after thread launch, runThread_cb_handle_ is %lu\n",
                    static_cast<unsigned long>(thread_.native_handle()));
}

void kv_multicast_recv::stop() {
  fleetLog().printf("kv_multicast_recv:stop() %p\n", static_cast<void*>(this));
  if (!thread_.joinable()) return;
  stopping_.store(true);
  // The receive returns once the socket is shut down; the thread checks the
  // flag outside the lock and ends.
  if (socket_ >= 0) ::shutdown(socket_, SHUT_RDWR);
  thread_.join();
  if (socket_ >= 0) ::close(socket_);
  socket_ = -1;
}

void kv_multicast_recv::openSocket() {
  fleetLog().printf("Opening socket ip %s port %d\n", groupAddress_.c_str(), portNumber_);
  socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (socket_ < 0) return;
  int on = 1;
  ::setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<uint16_t>(portNumber_));
  ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  joinGroup();
}

void kv_multicast_recv::joinGroup() {
  // Without a chosen interface, join on the default one and on loopback
  // too, so that senders on this machine reach the group whatever the
  // routing table says. Failures are ignored: a socket that did not join
  // simply delivers nothing.
  ip_mreq membership{};
  if (::inet_pton(AF_INET, groupAddress_.c_str(), &membership.imr_multiaddr) != 1) return;
  if (!interface_.empty()) {
    if (::inet_pton(AF_INET, interface_.c_str(), &membership.imr_interface) != 1) {
      fleetLog().printf("kv_multicast_recv: bad interface address %s\n", interface_.c_str());
      return;
    }
    ::setsockopt(socket_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership);
    return;
  }
  membership.imr_interface.s_addr = htonl(INADDR_ANY);
  ::setsockopt(socket_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership);
  membership.imr_interface.s_addr = htonl(INADDR_LOOPBACK);
  ::setsockopt(socket_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership);
}

void kv_multicast_recv::runingThread() {
  fleetLog().printf("kv_multicast_recv::runingThread in process %d %ld\n",
                    static_cast<int>(::getpid()), threadId());
  char datagram[5000];
  while (!stopping_.load()) {
    ssize_t n = ::recv(socket_, datagram, sizeof datagram - 1, 0);
    if (stopping_.load()) return;
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // the socket is gone: nothing more will arrive
    }
    if (n == 0 && socket_ < 0) return;
    datagram[n] = '\0';
    fleetLog().printf(" -----   String is |%s|\n", datagram);
    putPacket(datagram, static_cast<size_t>(n));
  }
}

void kv_multicast_recv::putPacket(const char* text, size_t length) {
  fleetLog().printf("kv_multicast_recv::putPacket() %p\n", static_cast<void*>(this));
  received_.fetch_add(1);
  // The text ends at its first NUL, as a C string would.
  length = ::strnlen(text, length);
  kestrel::MutexLock guard(lock_);
  if (length >= static_cast<size_t>(front_->slotSize)) {
    // Too long for a slot: cutting it would hand on a packet that was never
    // sent, so it is dropped like any other malformed packet.
    droppedOversized_.fetch_add(1);
    return;
  }
  if (!front_->putPacket(text, length)) droppedFull_.fetch_add(1);
}

void kv_multicast_recv::swapBuffers() {
  fleetLog().printf("kv_multicast_recv::swapBuffers() %p\n", static_cast<void*>(this));
  kestrel::MutexLock guard(lock_);
  std::swap(front_, back_);
  back_->readIndex = 0;
  front_->writeCount = 0;
  front_->full = false;
}

const char* kv_multicast_recv::getPacket() {
  fleetLog().printf("kv_multicast_recv:getPacket() %p\n", static_cast<void*>(this));
  return back_->getPacket();
}
