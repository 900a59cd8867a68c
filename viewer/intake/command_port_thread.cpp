#include "viewer/intake/command_port_thread.h"

#include "viewer/intake/command_file.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

namespace {
// A batch never holds the queue's mutex for more than this much text.
constexpr size_t kBatchBytes = 64 * 1024;
}  // namespace

CommandPortConfig primaryPortConfig(uint16_t port) {
  CommandPortConfig config;
  config.port = port;
  config.queue = &primaryQueue();
  config.idleSleep = std::chrono::milliseconds(100);
  config.startupFiles = {"config.template", "kestrel.cfg"};
  return config;
}

CommandPortConfig secondaryPortConfig(uint16_t port) {
  CommandPortConfig config;
  config.port = port;
  config.queue = &secondaryQueue();
  config.idleSleep = std::chrono::milliseconds(1000);
  config.startLogLine = "2Creating worker thread";
  return config;
}

CommandPortThread::CommandPortThread(CommandPortConfig config) : config_(std::move(config)) {}

CommandPortThread::~CommandPortThread() { stop(); }

bool CommandPortThread::open(std::string* error) { return server_.open(config_.port, error); }

void CommandPortThread::start(std::function<void()> onFatal) {
  onFatal_ = std::move(onFatal);
  thread_ = std::thread([this] { run(); });
}

void CommandPortThread::stop() {
  {
    std::lock_guard lock(sleepMutex_);
    server_.stop();
  }
  sleepWake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void CommandPortThread::idle() {
  std::unique_lock lock(sleepMutex_);
  sleepWake_.wait_for(lock, config_.idleSleep, [this] { return server_.stopping(); });
}

void CommandPortThread::deliver() {
  using namespace std::chrono;
  auto giveUp = steady_clock::now() + seconds(2);
  while (batch_.pending() > 0) {
    config_.queue->queueBatch(batch_);
    if (batch_.pending() == 0) return;
    if (server_.stopping() || steady_clock::now() >= giveUp) break;
    std::this_thread::sleep_for(microseconds(200));
  }
  // The engine has not taken anything for too long: the rest is dropped by
  // the full queue, as any other producer's lines would be.
  config_.queue->queueBatch(batch_, true);
}

void CommandPortThread::run() {
  if (!config_.startLogLine.empty()) logLine(config_.startLogLine.c_str());
  for (const std::string& file : config_.startupFiles) {
    if (server_.stopping()) return;
    readCommandFile(file, *config_.queue);
  }
  for (;;) {
    CommandPortServer::Status status = server_.readLine();
    if (status == CommandPortServer::Status::kStopped) {
      deliver();
      return;
    }
    if (status == CommandPortServer::Status::kFatal) {
      if (onFatal_) onFatal_();
      return;
    }
    if (server_.line()[0] != '\0') {
      batch_.add(server_.lineView());
      // Hand the batch on before the next read could wait for the network.
      if (!server_.lineBuffered() || batch_.bytes() > kBatchBytes) deliver();
    } else {
      deliver();
      idle();
    }
  }
}

}  // namespace kestrel
