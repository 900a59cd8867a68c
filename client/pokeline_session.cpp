#include "client/pokeline_session.h"

#include <arpa/inet.h>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrel {
namespace {

// The outgoing connection: a dotted IPv4 host of at most 29 characters and
// a port. The stream socket is created with the record, before connect.
class SocketClient {
 public:
  SocketClient(const char* host, uint16_t port) : port_(port) {
    std::strncpy(host_, host, sizeof host_ - 1);
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  }
  ~SocketClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  SocketClient(const SocketClient&) = delete;
  SocketClient& operator=(const SocketClient&) = delete;

  const char* host() const { return host_; }
  // Connects to the dotted address; no name lookup.
  bool connect() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port_);
    if (fd_ < 0 || ::inet_pton(AF_INET, host_, &address.sin_addr) != 1) return false;
    return ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  // One send call; a viewer that went away must not kill the client with
  // SIGPIPE, so the result is simply ignored.
  void send(const char* bytes, size_t length) {
    [[maybe_unused]] ssize_t sent = ::send(fd_, bytes, length, MSG_NOSIGNAL);
  }

 private:
  char host_[30] = {};
  uint16_t port_;
  int fd_ = -1;
};

constexpr const char* kUsage = "Usage: pokeline [<ip> (default is 127.0.0.1)]\n";

bool endsSession(const char* line) {
  return std::strncmp(line, "quit", 4) == 0 || std::strncmp(line, "bye", 3) == 0 ||
         std::strncmp(line, "exit", 4) == 0;
}

}  // namespace

uint16_t pokelinePort() {
  const char* text = std::getenv("KESTREL_SECONDARY_PORT");
  unsigned value = 0;
  if (text != nullptr) {
    const char* end = text + std::strlen(text);
    auto [rest, ec] = std::from_chars(text, end, value);
    if (ec == std::errc() && rest == end && value > 0 && value <= 65535) {
      return static_cast<uint16_t>(value);
    }
  }
  return 3503;
}

std::optional<int> answerOptions(int argc, const char* const* argv, std::FILE* out,
                                 std::FILE* err) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0) {
      std::fputs(kUsage, out);
      std::fputs("Sends every line typed on standard input to the viewer's secondary command\n"
                 "port (3503, or $KESTREL_SECONDARY_PORT); quit, bye or exit ends.\n"
                 "  --help     print this and exit\n"
                 "  --version  print the version and exit\n",
                 out);
      return 0;
    }
    if (std::strcmp(arg, "--version") == 0) {
      std::fprintf(out, "pokeline %s\n", KESTREL_VERSION);
      return 0;
    }
    if (arg[0] == '-') {
      std::fprintf(err, "pokeline: unknown option %s\n", arg);
      std::fputs(kUsage, err);
      return 2;
    }
  }
  return std::nullopt;
}

int runPokeline(int argc, const char* const* argv, std::FILE* in, std::FILE* out,
                uint16_t port) {
  std::fputs(kUsage, out);
  const char* host = argc == 2 ? argv[1] : "127.0.0.1";
  SocketClient client(host, port);
  std::fprintf(out, "Attempting connection to %s port %d\n", client.host(), port);
  if (!client.connect()) {
    std::fputs("Could not connect to renderer.\n", out);
    std::fflush(out);
    return 1;
  }
  std::fputs("..connected\n> ", out);
  std::fflush(out);
  char line[999];
  while (std::fgets(line, sizeof line, in) != nullptr) {
    if (endsSession(line)) break;
    std::fprintf(out, "Sending '''%s'''\n", line);
    client.send(line, std::strlen(line));
    std::fputs("> ", out);
    std::fflush(out);
  }
  std::fflush(out);
  return 0;
}

}  // namespace kestrel
