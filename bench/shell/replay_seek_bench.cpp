// Seeking in a replay as the window's slider and the video export do it:
// an hour's journal recorded at 1000 commands a second (setobject,
// setproperty, setvalue over 1000 objects), read, then run to its end, then
// moved back to the middle (which starts over on a fresh engine).
//
//   bench_replay_seek [SECONDS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include "viewer/intake/diagnostic_log.h"
#include "viewer/shell/replay_session.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// One object per line triple; the first thousand steps make the objects.
void writeJournal(const std::string& path, int64_t milliseconds) {
  std::ofstream out(path);
  out << "# kestrel journal 1\n"
         "# started 2026-12-08T10:00:00.000000000Z, times in milliseconds since then\n";
  for (int i = 0; i < 1000; ++i) {
    out << "0 P 10 startdata \"obj" << i << "\"\n"
        << "0 P+ 14 data \"DEF Xform_obj" << i
        << " Transform { children [ Shape { geometry Box { } } ] }\"\n"
        << "0 P+ 13 enddata \"enddata\"\n";
  }
  for (int64_t ms = 1; ms <= milliseconds; ++ms) {
    switch (ms % 3) {
      case 1: out << ms << " P 61 setobject \"obj" << (ms * 7919) % 1000 << "\"\n"; break;
      case 2: out << ms << " P 62 setproperty \"x\"\n"; break;
      default: out << ms << " P 63 setvalue \"" << (ms * 37) % 65536 << "\"\n"; break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3600;
  char dir[] = "/tmp/kestrel-seek-bench-XXXXXX";
  if (::mkdtemp(dir) == nullptr) return 1;
  kestrel::openLogIn(dir);
  kestrel::ViewerOptions options;
  options.replayPath = std::string(dir) + "/hour.journal";
  writeJournal(options.replayPath, seconds * 1000);
  auto start = Clock::now();
  std::string error;
  std::unique_ptr<kestrel::ReplaySession> session = kestrel::ReplaySession::open(options, &error);
  if (!session) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::printf("read   %lld s of journal (%.0f MB): %.2f s\n", static_cast<long long>(seconds),
              static_cast<double>(std::filesystem::file_size(options.replayPath)) / 1e6,
              secondsSince(start));
  start = Clock::now();
  session->seekTo(session->endTime());
  std::printf("seek   to the end: %.2f s\n", secondsSince(start));
  start = Clock::now();
  session->seekTo(session->endTime() / 2);
  std::printf("seek   back to the middle (from the start): %.2f s\n", secondsSince(start));
  session.reset();
  std::filesystem::remove_all(dir);
  return 0;
}
