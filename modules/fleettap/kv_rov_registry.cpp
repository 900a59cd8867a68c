#include "modules/fleettap/kv_rov_registry.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "modules/fleettap/kv_olog.h"

namespace {

// The white-space separated tokens of the non-comment lines of a file,
// one vector a line. Lines hold up to 255 characters; a longer line is
// skipped whole, so that its tail is never read as a line of its own.
template <typename Visit>
bool forEachLine(const char* fileName, Visit visit) {
  std::FILE* file = fileName ? std::fopen(fileName, "r") : nullptr;
  if (file == nullptr) return false;
  char line[257];
  bool skipping = false;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    const size_t length = std::strlen(line);
    const bool ended = length > 0 && line[length - 1] == '\n';
    const size_t text = ended ? length - 1 : length;
    if (skipping || text > 255) {
      skipping = !ended;
      continue;
    }
    std::istringstream in(line);
    std::vector<std::string> tokens;
    for (std::string token; in >> token;) tokens.push_back(token);
    if (tokens.empty() || tokens[0][0] == '#') continue;
    visit(tokens);
  }
  std::fclose(file);
  return true;
}

// The decimal number at the start of TOKEN; 0 without leading digits.
long leadingNumber(const std::string& token) { return std::strtol(token.c_str(), nullptr, 10); }

// Seconds to whole milliseconds, as an absolute value that fits an int.
int toMilliseconds(double seconds) {
  double ms = std::fabs(seconds * 1000);
  if (!(ms < 2147483647.0)) return 2147483647;  // also catches NaN
  return static_cast<int>(ms);
}

}  // namespace

kv_rov_registry::kv_rov_registry(int slotSize, int capacity, const kv_clock& clock)
    : slotSize_(slotSize), capacity_(capacity), clock_(clock) {}

kv_rov_registry::~kv_rov_registry() {
  stopAll();
  unloadPorts();
  unloadNodes();
}

bool kv_rov_registry::loadNodeFile(const char* fileName) {
  fleetLog().printf("loadNodeFile file name is %s\n", fileName ? fileName : "(null)");
  if (!nodes_.empty()) unloadNodes();
  int highest = 0;
  std::vector<bool> seen(kHighestNodeId + 1, false);
  bool opened = forEachLine(fileName, [&](const std::vector<std::string>& tokens) {
    long id = leadingNumber(tokens[0]);
    if (id < 0 || id > kHighestNodeId || seen[static_cast<size_t>(id)]) return;
    seen[static_cast<size_t>(id)] = true;
    const char* name = tokens.size() > 1 ? tokens[1].c_str() : "";
    auto node = std::make_unique<kv_rov_nodeHandler>(name, static_cast<int>(id), clock_);
    node->setThresholds(mediumMs_, badMs_);
    nodes_.push_back(std::move(node));
    if (id > highest) highest = static_cast<int>(id);
  });
  if (!opened || nodes_.empty()) return false;
  highestId_ = highest;
  nodesById_.assign(static_cast<size_t>(highest) + 1, nullptr);
  for (auto& node : nodes_) nodesById_[static_cast<size_t>(node->nodeId())] = node.get();
  return true;
}

bool kv_rov_registry::unloadNodes() {
  stopAll();
  nodesById_.clear();
  nodes_.clear();
  highestId_ = 0;
  return true;
}

bool kv_rov_registry::loadPortFile(const char* fileName) {
  unloadPorts();
  bool opened = forEachLine(fileName, [&](const std::vector<std::string>& tokens) {
    if (tokens.size() < 3) return;
    long port = leadingNumber(tokens[2]);
    // A number that is no UDP port would be bound as some other port.
    if (port < 0 || port > 65535) return;
    ports_.push_back(std::make_unique<kv_rov_portHandler>(
        tokens[0].c_str(), tokens[1].c_str(), static_cast<int>(port), slotSize_, capacity_, *this));
    ports_.back()->setVerifyChecksum(verifyChecksum_);
    ports_.back()->setInterface(interface_);
  });
  return opened && !ports_.empty();
}

bool kv_rov_registry::unloadPorts() {
  stopAll();
  ports_.clear();
  return true;
}

kv_rov_nodeHandler* kv_rov_registry::nodeAt(uint32_t index) const {
  return index < nodes_.size() ? nodes_[index].get() : nullptr;
}

kv_rov_nodeHandler* kv_rov_registry::nodeById(int id) const {
  if (id < 0 || static_cast<size_t>(id) >= nodesById_.size()) return nullptr;
  return nodesById_[static_cast<size_t>(id)];
}

int kv_rov_registry::idAt(uint32_t index) const {
  kv_rov_nodeHandler* node = nodeAt(index);
  return node ? node->nodeId() : 0;
}

kv_rov_portHandler* kv_rov_registry::portAt(int index) const {
  return index >= 0 && index < portCount() ? ports_[static_cast<size_t>(index)].get() : nullptr;
}

void kv_rov_registry::serviceAll() {
  for (auto& port : ports_) port->service();
}

void kv_rov_registry::runAll() {
  for (auto& port : ports_) port->run();
}

void kv_rov_registry::stopAll() {
  for (auto& port : ports_) port->stop();
}

void kv_rov_registry::setVerifyChecksum(bool verify) {
  verifyChecksum_ = verify;
  for (auto& port : ports_) port->setVerifyChecksum(verify);
}

void kv_rov_registry::setInterface(const std::string& address) {
  interface_ = address;
  for (auto& port : ports_) port->setInterface(address);
}

kv_rov_registry::Drops kv_rov_registry::droppedLastService() const {
  Drops drops;
  for (const auto& port : ports_) {
    drops.full += port->droppedFullLastService();
    drops.oversized += port->droppedOversizedLastService();
  }
  return drops;
}

void kv_rov_registry::setThresholds(double mediumSeconds, double badSeconds) {
  mediumMs_ = toMilliseconds(mediumSeconds);
  badMs_ = toMilliseconds(badSeconds);
  for (auto& node : nodes_) node->setThresholds(mediumMs_, badMs_);
}
