// Small helpers shared by the tests: temporary directories, whole-file reads,
// loopback sockets and the paths of the built programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::testing {

// A fresh directory under $TMPDIR, removed with its contents at destruction.
// With logHere, the diagnostic logs of this process are written into it.
class TempDir {
 public:
  explicit TempDir(bool logHere = true);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes the file and returns its path.
  std::string write(const std::string& name, const std::string& contents) const;
  // The file's contents, or "" when it cannot be read.
  std::string read(const std::string& name) const;

 private:
  std::string path_;
};

// The whole file, or "" when it cannot be read.
std::string readFile(const std::string& path);
// The file split at "\n" (a last line without one still counts).
std::vector<std::string> readLines(const std::string& path);

// A built program: $KESTREL_BINARY_DIR/RELATIVE.
std::string programPath(const std::string& relative);
// A file of the source tree: $KESTREL_SOURCE_DIR/RELATIVE.
std::string sourcePath(const std::string& relative);

// A port on 127.0.0.1 that was free a moment ago.
uint16_t freePort();
// One attempt to connect to the dotted IPv4 ADDRESS and PORT; -1 on failure.
int connectOnce(const char* address, uint16_t port);
// Connects to 127.0.0.1:PORT, retrying for up to TIMEOUT_MS; -1 on failure.
int connectLoopback(uint16_t port, int timeoutMs = 5000);
// Sends all of DATA on FD; false when the peer went away.
bool sendAll(int fd, const std::string& data);

// Polls CONDITION every millisecond until it holds or TIMEOUT_MS passes.
template <typename Condition>
bool waitFor(Condition condition, int timeoutMs = 5000);

}  // namespace kestrel::testing

#include "testing/test_support_inl.h"
