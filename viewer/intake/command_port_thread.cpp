#include "viewer/intake/command_port_thread.h"

#include <algorithm>

#include "viewer/intake/command_file.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

namespace {
using Clock = CommandClient::Clock;
using std::chrono::milliseconds;

// The longest wait for clients when no deadline is nearer; nothing depends
// on it but how often an idle port thread wakes.
constexpr milliseconds kLongestWait{1000};
}  // namespace

CommandPortConfig primaryPortConfig(uint16_t port, const std::string& bindAddress) {
  CommandPortConfig config;
  config.port = port;
  config.bindAddress = bindAddress;
  config.queue = &primaryQueue();
  config.idleSleep = milliseconds(100);
  config.startupFiles = {"config.template", "kestrel.cfg"};
  return config;
}

CommandPortConfig secondaryPortConfig(uint16_t port, const std::string& bindAddress) {
  CommandPortConfig config;
  config.port = port;
  config.bindAddress = bindAddress;
  config.queue = &secondaryQueue();
  config.idleSleep = milliseconds(1000);
  config.startLogLine = "2Creating worker thread";
  return config;
}

CommandPortThread::CommandPortThread(CommandPortConfig config) : config_(std::move(config)) {}

CommandPortThread::~CommandPortThread() { stop(); }

bool CommandPortThread::open(std::string* error) {
  return server_.open(config_.port, config_.bindAddress, error);
}

void CommandPortThread::start(std::function<void()> onFatal) {
  onFatal_ = std::move(onFatal);
  thread_ = std::thread([this] { run(); });
}

void CommandPortThread::stop() {
  server_.stop();
  if (thread_.joinable()) thread_.join();
}

bool CommandPortThread::mayRead(const CommandClient& client) const {
  if (blockOwner_ != nullptr && blockOwner_ != &client) return false;
  return client.batch().pending() == 0 && Clock::now() >= client.pausedUntil();
}

Clock::time_point CommandPortThread::blockDeadline() const {
  return std::max(blockOwner_->lastHeard(), blockOpened_) + config_.blockStallTimeout;
}

milliseconds CommandPortThread::nextWait() const {
  Clock::time_point now = Clock::now();
  Clock::time_point until = now + kLongestWait;
  if (blockOwner_ != nullptr) until = std::min(until, blockDeadline());
  for (const auto& client : server_.clients()) {
    if (client->pausedUntil() > now) until = std::min(until, client->pausedUntil());
  }
  // Rounded up, so that a wait never ends just before its deadline.
  return std::chrono::ceil<milliseconds>(std::max(until - now, Clock::duration::zero()));
}

void CommandPortThread::deliver(LineBatch& batch) {
  using namespace std::chrono;
  auto giveUp = steady_clock::now() + seconds(2);
  while (batch.pending() > 0) {
    config_.queue->queueBatch(batch);
    if (batch.pending() == 0) return;
    if (server_.stopping() || steady_clock::now() >= giveUp) break;
    std::this_thread::sleep_for(microseconds(200));
  }
  // The engine has not taken anything for too long: the rest is dropped by
  // the full queue, as any other producer's lines would be.
  config_.queue->queueBatch(batch, true);
}

// Hands CLIENT's lines on and works out who holds the queue afterwards: the
// client whose lines opened a block (a block some other producer left open
// belongs to nobody here).
void CommandPortThread::deliverFrom(CommandClient& client) {
  if (client.batch().pending() > 0) {
    bool before = config_.queue->inBlock();
    deliver(client.batch());
    bool after = config_.queue->inBlock();
    if (!after) {
      if (blockOwner_ == &client) blockOwner_ = nullptr;
    } else if (blockOwner_ != &client && !before) {
      blockOwner_ = &client;
      blockOpened_ = Clock::now();
    }
  }
  if (blockOwner_ == &client && client.state() != CommandClient::State::kOpen) {
    abandonBlock(client, "left inside a block");
  }
}

void CommandPortThread::deliverReady() {
  if (blockOwner_ != nullptr) deliverFrom(*blockOwner_);
  for (const auto& client : server_.clients()) {
    if (blockOwner_ != nullptr) return;  // the others wait for the block's end
    deliverFrom(*client);
  }
}

void CommandPortThread::expireStalledBlock() {
  if (blockOwner_ == nullptr || Clock::now() < blockDeadline()) return;
  CommandClient& client = *blockOwner_;
  std::string why = "sent nothing inside a block for " +
                    std::to_string(config_.blockStallTimeout.count()) + " ms";
  abandonBlock(client, why.c_str());
  // The rest of its block would arrive as commands: the client goes too.
  client.close();
  deliverReady();
}

void CommandPortThread::abandonBlock(CommandClient& client, const char* why) {
  blockOwner_ = nullptr;
  const char* what = config_.queue->abandonBlock();
  if (what == nullptr) return;
  std::string message = "command client " + client.peer() + " " + why + ": the " + what;
  logLine(message.c_str());
  errorLine(message.c_str());
}

void CommandPortThread::run() {
  if (!config_.startLogLine.empty()) logLine(config_.startLogLine.c_str());
  for (const std::string& file : config_.startupFiles) {
    if (server_.stopping()) return;
    readCommandFile(file, *config_.queue);
  }
  auto readable = [this](const CommandClient& client) { return mayRead(client); };
  for (;;) {
    CommandPortServer::Status status = server_.serve(nextWait(), readable, config_.idleSleep);
    if (status == CommandPortServer::Status::kFatal) {
      if (onFatal_) onFatal_();
      return;
    }
    deliverReady();
    if (status == CommandPortServer::Status::kStopped) return;
    expireStalledBlock();
    server_.removeClosed();
  }
}

}  // namespace kestrel
