#include "viewer/web/connection_limits.h"

#include <algorithm>

namespace kestrel {

ConnectionLimits::ConnectionLimits(int maxConnections, int maxPerAddress)
    : maxConnections_(std::max(1, maxConnections)), maxPerAddress_(std::max(1, maxPerAddress)) {}

bool ConnectionLimits::admit(const std::string& peer) {
  MutexLock lock(mutex_);
  int& fromPeer = perAddress_[peer];
  if (fromPeer >= maxPerAddress_) return false;
  ++fromPeer;
  ++open_;
  return true;
}

void ConnectionLimits::release(const std::string& peer) {
  MutexLock lock(mutex_);
  auto it = perAddress_.find(peer);
  if (it != perAddress_.end() && --it->second == 0) perAddress_.erase(it);
  --open_;
}

}  // namespace kestrel
