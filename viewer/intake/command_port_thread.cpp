#include "viewer/intake/command_port_thread.h"

#include "viewer/intake/command_file.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

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

void CommandPortThread::deliver(const char* line) {
  using namespace std::chrono;
  auto giveUp = steady_clock::now() + seconds(2);
  while (config_.queue->mainFullButDraining() && !server_.stopping() &&
         steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(microseconds(200));
  }
  config_.queue->queue(line);
}

void CommandPortThread::run() {
  if (!config_.startLogLine.empty()) logLine(config_.startLogLine.c_str());
  for (const std::string& file : config_.startupFiles) {
    if (server_.stopping()) return;
    readCommandFile(file, *config_.queue);
  }
  for (;;) {
    CommandPortServer::Status status = server_.readLine();
    if (status == CommandPortServer::Status::kStopped) return;
    if (status == CommandPortServer::Status::kFatal) {
      if (onFatal_) onFatal_();
      return;
    }
    if (server_.line()[0] != '\0') {
      deliver(server_.line());
    } else {
      idle();
    }
  }
}

}  // namespace kestrel
