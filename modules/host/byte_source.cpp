#include "modules/host/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "modules/host/property_helpers.h"

namespace kestrel {
namespace {

constexpr int kMaxBlock = 1 << 20;

speed_t speedFor(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
  }
}

}  // namespace

JByteSource::JByteSource() { ogm = 1; }

JByteSource::JByteSource(const JByteSource& other)
    : JAddObj(other),
      Driven(),
      path_(other.path_),
      baud_(other.baud_),
      rate_(other.rate_),
      blockSize_(other.blockSize_) {}

JByteSource::~JByteSource() { finish(); }

void JByteSource::writeContent(JContent& out) const {
  JAddObj::writeContent(out);
  out.putObject("path", path_);
  out.putInteger("baud", baud_);
  out.putInteger("rate", rate_);
  out.putInteger("block", blockSize_);
}

void JByteSource::readContent(const JContent& in) {
  JAddObj::readContent(in);
  if (const JString* p = in.getObject("path")) path_ = *p;
  baud_ = in.getInteger("baud", baud_);
  rate_ = in.getInteger("rate", rate_);
  int block = in.getInteger("block", blockSize_);
  if (block >= 1 && block <= kMaxBlock) blockSize_ = block;
}

JArray JByteSource::getProperties() {
  JArray list;
  list.add<JFileProperty>(JString("path"), path_, JString("*"));
  list.add<JIntegerProperty>(JString("baud"), baud_, 0, 921600);
  list.add<JIntegerProperty>(JString("rate"), rate_, 0, 1000000000);
  list.add<JIntegerProperty>(JString("block"), blockSize_, 1, kMaxBlock);
  return list;
}

bool JByteSource::updateProperty(const JProperty& p) {
  if (takeText(p, "path", path_) || takeInteger(p, "rate", 0, 1000000000, rate_) ||
      takeInteger(p, "block", 1, kMaxBlock, blockSize_)) {
    return true;
  }
  int baud = 0;
  if (takeInteger(p, "baud", 0, 921600, baud)) {
    if (baud != 0 && speedFor(baud) == B0) return false;  // not a line speed
    baud_ = baud;
    return true;
  }
  return false;
}

void JByteSource::draw(JGraphics& graphics, int x, int y, int w, int h) {
  drawText(graphics, path_ == "-" ? JString("stdin") : path_, JRect(x, y, w, h));
}

void JByteSource::access(int port, JLinkObj&, JData& data) {
  if (port == 0) data.setBlock(block_);
}

void JByteSource::startup() {
  finish();
  problem_.clear();
  sent_ = 0;
  started_ = Clock::now();
  if (path_ == "-") {
    fd_ = dup(STDIN_FILENO);
  } else {
    fd_ = ::open(path_.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  }
  if (fd_ < 0) {
    problem_ = "cannot open '" + path_.str() + "': " + std::strerror(errno);
    return;
  }
  struct stat info = {};
  regular_ = fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
  // Standard input stays as it is: O_NONBLOCK would also change the shell's
  // terminal. A read after poll() said "readable" does not block anyway.
  if (isatty(fd_) && baud_ != 0 && !configureTerminal()) finish();
}

bool JByteSource::configureTerminal() {
  termios tio = {};
  if (tcgetattr(fd_, &tio) != 0) {
    problem_ = "cannot read the line settings of '" + path_.str() + "': " + std::strerror(errno);
    return false;
  }
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (cfsetispeed(&tio, speedFor(baud_)) != 0 || cfsetospeed(&tio, speedFor(baud_)) != 0 ||
      tcsetattr(fd_, TCSANOW, &tio) != 0) {
    problem_ = "cannot set " + std::to_string(baud_) + " baud on '" + path_.str() +
               "': " + std::strerror(errno);
    return false;
  }
  return true;
}

void JByteSource::close() { finish(); }

void JByteSource::finish() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int JByteSource::waitFd() const { return regular_ ? -1 : fd_; }

Driven::Clock::time_point JByteSource::wakeAt() const {
  if (fd_ < 0 || !regular_) return Clock::time_point::max();
  if (rate_ <= 0) return Clock::time_point::min();
  // The time at which the next piece of the replay is due.
  const long long piece = replayPiece();
  const double seconds = static_cast<double>(sent_ + piece) / rate_;
  return started_ + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(seconds));
}

int JByteSource::replayPiece() const {
  // Fifty pieces a second at most, so a replay flows like a receiver's output.
  return std::max(1, std::min(blockSize_, rate_ / 50));
}

void JByteSource::wake(Clock::time_point now, bool) {
  if (fd_ < 0) return;
  int wanted = blockSize_;
  if (regular_ && rate_ > 0) {
    const double elapsed = std::chrono::duration<double>(now - started_).count();
    const long long allowed = static_cast<long long>(elapsed * rate_) - sent_;
    if (allowed <= 0) return;
    wanted = static_cast<int>(std::min<long long>(allowed, replayPiece()));
  }
  deliver(wanted);
}

void JByteSource::deliver(int wanted) {
  static thread_local std::vector<char> buffer;
  if (static_cast<int>(buffer.size()) < wanted) buffer.resize(static_cast<std::size_t>(wanted));
  const ssize_t n = ::read(fd_, buffer.data(), static_cast<std::size_t>(wanted));
  if (n < 0) {
    if (errno == EAGAIN || errno == EINTR) return;
    std::fprintf(stderr, "JByteSource: reading '%s' failed: %s\n", path_.c_str(),
                 std::strerror(errno));
    finish();
    return;
  }
  if (n == 0) {
    finish();  // end of input
    return;
  }
  sent_ += n;
  block_.assign(buffer.data(), static_cast<std::size_t>(n));
  broadcast(0);
}

}  // namespace kestrel
