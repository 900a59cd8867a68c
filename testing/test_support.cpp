#include "testing/test_support.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

#include "viewer/intake/diagnostic_log.h"

namespace kestrel::testing {

TempDir::TempDir(bool logHere) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base ? base : "/tmp") + "/kestrel-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
  if (logHere) openLogIn(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& contents) const {
  std::ofstream(file(name), std::ios::binary) << contents;
  return file(name);
}

std::string TempDir::read(const std::string& name) const { return readFile(file(name)); }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

std::vector<std::string> readLines(const std::string& path) {
  std::vector<std::string> lines;
  std::string contents = readFile(path);
  size_t start = 0;
  while (start < contents.size()) {
    size_t end = contents.find('\n', start);
    if (end == std::string::npos) end = contents.size();
    lines.push_back(contents.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// CTest sets the variables; a test binary started by hand falls back to the
// directories it was built with.
static std::string fromEnv(const char* name, const char* fallback, const std::string& relative) {
  const char* dir = std::getenv(name);
  return std::string(dir ? dir : fallback) + "/" + relative;
}

std::string programPath(const std::string& relative) {
  return fromEnv("KESTREL_BINARY_DIR", KESTREL_BUILT_BINARY_DIR, relative);
}

std::string sourcePath(const std::string& relative) {
  return fromEnv("KESTREL_SOURCE_DIR", KESTREL_BUILT_SOURCE_DIR, relative);
}

uint16_t freePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

int connectOnce(const char* address, uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  if (::inet_pton(AF_INET, address, &target.sin_addr) == 1 &&
      ::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0) {
    return fd;
  }
  ::close(fd);
  return -1;
}

int connectLoopback(uint16_t port, int timeoutMs) {
  int fd = -1;
  waitFor([&] { return (fd = connectOnce("127.0.0.1", port)) >= 0; }, timeoutMs);
  return fd;
}

bool sendAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace kestrel::testing
