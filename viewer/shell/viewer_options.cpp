#include "viewer/shell/viewer_options.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

#include <arpa/inet.h>

namespace kestrel {
namespace {

bool parsePort(const char* text, uint16_t* port) {
  unsigned value = 0;
  const char* end = text + std::strlen(text);
  auto [rest, ec] = std::from_chars(text, end, value);
  if (ec != std::errc() || rest != end || value > 65535) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}

bool parseSize(const char* text, int* width, int* height) {
  const char* end = text + std::strlen(text);
  auto [x, ec] = std::from_chars(text, end, *width);
  if (ec != std::errc() || x == end || (*x != 'x' && *x != 'X')) return false;
  auto [rest, ec2] = std::from_chars(x + 1, end, *height);
  return ec2 == std::errc() && rest == end && *width > 0 && *height > 0 && *width <= 8192 &&
         *height <= 8192;
}

bool parseMilliseconds(const char* text, int* ms) {
  const char* end = text + std::strlen(text);
  auto [rest, ec] = std::from_chars(text, end, *ms);
  return ec == std::errc() && rest == end && *ms >= 10 && *ms <= 3600000;
}

bool parseByteCount(const char* text, uint64_t* bytes) {
  const char* end = text + std::strlen(text);
  auto [rest, ec] = std::from_chars(text, end, *bytes);
  return ec == std::errc() && rest == end && *bytes > 0;
}

bool isDottedIpv4(const char* text) {
  in_addr address{};
  return ::inet_pton(AF_INET, text, &address) == 1;
}

bool parseSpeed(const char* text, double* speed) {
  char* end = nullptr;
  double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(value > 0) || value > 1e6) return false;
  *speed = value;
  return true;
}

// Seconds ("12.5") or milliseconds ("12500ms"), not negative.
bool parseReplayTime(const char* text, int64_t* milliseconds) {
  char* end = nullptr;
  double value = std::strtod(text, &end);
  if (end == text || !(value >= 0) || value > 1e12) return false;
  std::string unit = end;
  if (unit == "ms") {
    *milliseconds = static_cast<int64_t>(value);
  } else if (unit.empty() || unit == "s") {
    *milliseconds = static_cast<int64_t>(value * 1000);
  } else {
    return false;
  }
  return true;
}

}  // namespace

std::string viewerUsage() {
  return "Usage: kestrel [options] [FILE]\n"
         "Kestrel shows a 3D scene built by command lines that arrive on TCP ports,\n"
         "from the start-up files config.template and kestrel.cfg, and from FILE.\n"
         "\n"
         "Options:\n"
         "  --headless               run the engine and ports without a window\n"
         "  --command-port PORT      primary command port (default 3502)\n"
         "  --secondary-port PORT    secondary command port (default 3503)\n"
         "  --web-port PORT          web control port (default 3504; 0: none)\n"
         "  --bind ADDRESS           listen on this IPv4 address only (default: all\n"
         "                           interfaces; 127.0.0.1 keeps the viewer private)\n"
         "  --search-host ADDRESS    IPv4 address of the search service (port 12080)\n"
         "  --web-host NAME          also take forms sent to the web port under the host\n"
         "                           name NAME (besides localhost and this machine's\n"
         "                           addresses); repeatable\n"
         "  -C DIR                   work in DIR (start-up files, logs)\n"
         "  --render-root DIR        where c:/corvid/render/ paths lead\n"
         "                           (default $KESTREL_RENDER_ROOT or the installed\n"
         "                           share/kestrel/render)\n"
         "  --save-state FILE        on SIGINT or SIGTERM, save every object to FILE\n"
         "  --journal FILE           append every command the engine executes to FILE\n"
         "                           (format: docs/journal.md)\n"
         "  --replay FILE            replay the last run of journal FILE on a fresh engine\n"
         "                           at its recorded pace: in the window with a replay\n"
         "                           bar, or with --headless to its end, then end\n"
         "  --speed X                replay at X times the recorded pace (default 1)\n"
         "  --from T, --to T         replay from T (what comes before runs at once) up to\n"
         "                           T; T in seconds (12.5) or milliseconds (12500ms)\n"
         "  --video OUT.mp4          with --replay: render the replay frame by frame at\n"
         "                           its recorded times and encode it (H.264 in MP4;\n"
         "                           OUT.webm: VP9 in WebM); --size, --fps, --from, --to\n"
         "  --fps N                  frames per second of --video (default 25)\n"
         "  --check FILE...          parse scene files, print ok or the error of each\n"
         "  --print FILE             print a scene file as parsed, in VRML97\n"
         "  --snapshot OUT.png       build the scene from the start-up files and FILE,\n"
         "                           render one frame to OUT.png and end\n"
         "                           (with --replay: the scene of the journal at --at)\n"
         "  --at T                   run the world's clock (TimeSensors, interpolators)\n"
         "                           to T before the snapshot; T as for --from\n"
         "  --size WxH               size of snapshots and videos (default 640x480)\n"
         "  --snapshot-every MS FILE while running, render the scene to FILE every MS\n"
         "                           milliseconds (the control page shows snapshot.png)\n"
         "  --max-load-size BYTES    refuse scene and command files larger than BYTES\n"
         "                           (default 268435456, 256 MiB)\n"
         "  --version                print the version\n"
         "  --help                   print this text\n";
}

namespace {

// One option of the command line: its name, how many values follow it, and
// what it does with them (false with *ERROR set when a value is bad).
struct OptionRule {
  const char* name;
  int values;
  bool (*apply)(ViewerOptions& o, const std::string& name, const char* const* v,
                std::string* error);
};

bool fail(std::string* error, std::string message) {
  *error = std::move(message);
  return false;
}

bool setPort(ViewerOptions& o, const std::string& name, const char* const* v, std::string* e) {
  uint16_t* port = name == "--command-port"     ? &o.commandPort
                   : name == "--secondary-port" ? &o.secondaryPort
                                                : &o.webPort;
  return parsePort(v[0], port) || fail(e, "bad port for " + name + ": " + v[0]);
}

bool setAddress(ViewerOptions& o, const std::string& name, const char* const* v,
                std::string* e) {
  if (!isDottedIpv4(v[0])) return fail(e, name + " needs a dotted IPv4 address: " + v[0]);
  (name == "--bind" ? o.bindAddress : o.searchHost) = v[0];
  return true;
}

bool addWebHost(ViewerOptions& o, const std::string&, const char* const* v, std::string* e) {
  if (*v[0] == '\0') return fail(e, "--web-host needs a host name");
  o.webHosts.push_back(v[0]);
  return true;
}

bool setPath(ViewerOptions& o, const std::string& name, const char* const* v, std::string*) {
  std::string& target = name == "-C"              ? o.workingDirectory
                        : name == "--render-root" ? o.renderRoot
                        : name == "--journal"     ? o.journalPath
                        : name == "--replay"      ? o.replayPath
                        : name == "--snapshot"    ? o.snapshotPath
                        : name == "--video"       ? o.videoPath
                                                  : o.saveStatePath;
  target = v[0];
  return true;
}

bool setSize(ViewerOptions& o, const std::string&, const char* const* v, std::string* e) {
  return parseSize(v[0], &o.snapshotWidth, &o.snapshotHeight) ||
         fail(e, std::string("bad size (WIDTHxHEIGHT, at most 8192 each): ") + v[0]);
}

bool setSnapshotEvery(ViewerOptions& o, const std::string&, const char* const* v,
                      std::string* e) {
  if (!parseMilliseconds(v[0], &o.snapshotEveryMs)) {
    return fail(e, std::string("bad period for --snapshot-every (10 to 3600000 ms): ") + v[0]);
  }
  o.snapshotEveryPath = v[1];
  return true;
}

bool setSpeed(ViewerOptions& o, const std::string&, const char* const* v, std::string* e) {
  return parseSpeed(v[0], &o.replaySpeed) ||
         fail(e, std::string("bad speed (a number above 0): ") + v[0]);
}

bool setReplayTime(ViewerOptions& o, const std::string& name, const char* const* v,
                   std::string* e) {
  int64_t* target = name == "--from" ? &o.replayFromMs
                    : name == "--to" ? &o.replayToMs
                                     : &o.snapshotAtMs;
  return parseReplayTime(v[0], target) ||
         fail(e, "bad time for " + name + " (seconds, or milliseconds with ms): " + v[0]);
}

bool setFps(ViewerOptions& o, const std::string&, const char* const* v, std::string* e) {
  const char* end = v[0] + std::strlen(v[0]);
  auto [rest, ec] = std::from_chars(v[0], end, o.videoFps);
  return (ec == std::errc() && rest == end && o.videoFps >= 1 && o.videoFps <= 240) ||
         fail(e, std::string("bad frame rate for --fps (1 to 240): ") + v[0]);
}

bool setMaxLoadSize(ViewerOptions& o, const std::string&, const char* const* v,
                    std::string* e) {
  return parseByteCount(v[0], &o.maxLoadSize) ||
         fail(e, std::string("bad byte count for --max-load-size: ") + v[0]);
}

bool setFlag(ViewerOptions& o, const std::string& name, const char* const*, std::string*) {
  bool& flag = name == "--version"    ? o.version
               : name == "--headless" ? o.headless
               : name == "--check"    ? o.check
               : name == "--print"    ? o.print
                                      : o.help;
  flag = true;
  return true;
}

constexpr OptionRule kOptionRules[] = {
    {"--help", 0, setFlag},           {"-h", 0, setFlag},
    {"--version", 0, setFlag},        {"--headless", 0, setFlag},
    {"--check", 0, setFlag},          {"--print", 0, setFlag},
    {"--command-port", 1, setPort},   {"--secondary-port", 1, setPort},
    {"--web-port", 1, setPort},       {"--search-host", 1, setAddress},
    {"--bind", 1, setAddress},        {"--web-host", 1, addWebHost},
    {"--snapshot", 1, setPath},       {"-C", 1, setPath},
    {"--render-root", 1, setPath},    {"--save-state", 1, setPath},
    {"--journal", 1, setPath},        {"--replay", 1, setPath},
    {"--size", 1, setSize},           {"--snapshot-every", 2, setSnapshotEvery},
    {"--speed", 1, setSpeed},         {"--from", 1, setReplayTime},
    {"--to", 1, setReplayTime},       {"--max-load-size", 1, setMaxLoadSize},
    {"--at", 1, setReplayTime},       {"--video", 1, setPath},
    {"--fps", 1, setFps},
};

const OptionRule* ruleFor(const std::string& arg) {
  for (const OptionRule& rule : kOptionRules) {
    if (arg == rule.name) return &rule;
  }
  return nullptr;
}

// What no single option can say: combinations that make no sense.
bool combinationsHold(const ViewerOptions& o, std::string* error) {
  if (o.snapshotAtMs >= 0 && o.snapshotPath.empty()) return fail(error, "--at needs --snapshot");
  if (!o.videoPath.empty() && o.replayPath.empty()) return fail(error, "--video needs --replay");
  if (!o.videoPath.empty() && !o.snapshotPath.empty()) {
    return fail(error, "--video and --snapshot cannot be combined");
  }
  // The encoders take colour at half resolution: both sides must be even.
  if (!o.videoPath.empty() && (o.snapshotWidth % 2 != 0 || o.snapshotHeight % 2 != 0)) {
    return fail(error, "--video needs an even width and height for --size");
  }
  if ((o.check || o.print) && o.files.empty()) {
    return fail(error, "--check and --print need a scene file");
  }
  return true;
}

}  // namespace

bool parseViewerOptions(int argc, const char* const* argv, ViewerOptions* options,
                        std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const OptionRule* rule = ruleFor(arg);
    if (rule == nullptr) {
      if (arg.size() > 1 && arg[0] == '-') return fail(error, "unknown option " + arg);
      options->files.push_back(arg);
      continue;
    }
    // A value that is missing is reported for the first one that is.
    if (i + rule->values >= argc) {
      const int present = argc - 1 - i;
      if (present > 0 && rule->values == 2) {
        // --snapshot-every: the period is checked before the missing file.
        const char* const period[] = {argv[i + 1], ""};
        if (!setSnapshotEvery(*options, arg, period, error)) return false;
      }
      return fail(error, "option " + arg + " needs a value");
    }
    if (!rule->apply(*options, arg, argv + i + 1, error)) return false;
    i += rule->values;
  }
  return combinationsHold(*options, error);
}

}  // namespace kestrel
