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
         "  --replay FILE            with --headless: run the last run of journal FILE\n"
         "                           on a fresh engine at its recorded pace, then end\n"
         "  --speed X                replay at X times the recorded pace (default 1)\n"
         "  --from T, --to T         replay from T (what comes before runs at once) up to\n"
         "                           T; T in seconds (12.5) or milliseconds (12500ms)\n"
         "  --check FILE...          parse scene files, print ok or the error of each\n"
         "  --print FILE             print a scene file as parsed, in VRML97\n"
         "  --snapshot OUT.png       build the scene from the start-up files and FILE,\n"
         "                           render one frame to OUT.png and end\n"
         "  --size WxH               size of snapshots (default 640x480)\n"
         "  --snapshot-every MS FILE while running, render the scene to FILE every MS\n"
         "                           milliseconds (the control page shows snapshot.png)\n"
         "  --max-load-size BYTES    refuse scene and command files larger than BYTES\n"
         "                           (default 268435456, 256 MiB)\n"
         "  --version                print the version\n"
         "  --help                   print this text\n";
}

bool parseViewerOptions(int argc, const char* const* argv, ViewerOptions* options,
                        std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char** out) {
      if (i + 1 >= argc) {
        *error = "option " + arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    const char* text = nullptr;
    if (arg == "--help" || arg == "-h") {
      options->help = true;
    } else if (arg == "--version") {
      options->version = true;
    } else if (arg == "--headless") {
      options->headless = true;
    } else if (arg == "--command-port" || arg == "--secondary-port") {
      if (!value(&text)) return false;
      uint16_t* port = arg == "--command-port" ? &options->commandPort : &options->secondaryPort;
      if (!parsePort(text, port)) {
        *error = "bad port for " + arg + ": " + text;
        return false;
      }
    } else if (arg == "--web-port") {
      if (!value(&text)) return false;
      if (!parsePort(text, &options->webPort)) {
        *error = "bad port for " + arg + ": " + text;
        return false;
      }
    } else if (arg == "--search-host" || arg == "--bind") {
      if (!value(&text)) return false;
      if (!isDottedIpv4(text)) {
        *error = arg + " needs a dotted IPv4 address: " + text;
        return false;
      }
      (arg == "--bind" ? options->bindAddress : options->searchHost) = text;
    } else if (arg == "--web-host") {
      if (!value(&text)) return false;
      if (*text == '\0') {
        *error = "--web-host needs a host name";
        return false;
      }
      options->webHosts.push_back(text);
    } else if (arg == "--snapshot") {
      if (!value(&text)) return false;
      options->snapshotPath = text;
    } else if (arg == "--size") {
      if (!value(&text)) return false;
      if (!parseSize(text, &options->snapshotWidth, &options->snapshotHeight)) {
        *error = std::string("bad size (WIDTHxHEIGHT, at most 8192 each): ") + text;
        return false;
      }
    } else if (arg == "--snapshot-every") {
      if (!value(&text)) return false;
      if (!parseMilliseconds(text, &options->snapshotEveryMs)) {
        *error = std::string("bad period for --snapshot-every (10 to 3600000 ms): ") + text;
        return false;
      }
      if (!value(&text)) return false;
      options->snapshotEveryPath = text;
    } else if (arg == "-C" || arg == "--render-root" || arg == "--save-state" ||
               arg == "--journal") {
      if (!value(&text)) return false;
      std::string& target = arg == "-C"              ? options->workingDirectory
                            : arg == "--render-root" ? options->renderRoot
                            : arg == "--journal"     ? options->journalPath
                                                     : options->saveStatePath;
      target = text;
    } else if (arg == "--replay") {
      if (!value(&text)) return false;
      options->replayPath = text;
    } else if (arg == "--speed") {
      if (!value(&text)) return false;
      if (!parseSpeed(text, &options->replaySpeed)) {
        *error = std::string("bad speed (a number above 0): ") + text;
        return false;
      }
    } else if (arg == "--from" || arg == "--to") {
      if (!value(&text)) return false;
      if (!parseReplayTime(text, arg == "--from" ? &options->replayFromMs : &options->replayToMs)) {
        *error = "bad time for " + arg + " (seconds, or milliseconds with ms): " + text;
        return false;
      }
    } else if (arg == "--max-load-size") {
      if (!value(&text)) return false;
      if (!parseByteCount(text, &options->maxLoadSize)) {
        *error = std::string("bad byte count for --max-load-size: ") + text;
        return false;
      }
    } else if (arg == "--check") {
      options->check = true;
    } else if (arg == "--print") {
      options->print = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else {
      options->files.push_back(arg);
    }
  }
  if (!options->replayPath.empty() && !options->headless) {
    *error = "--replay needs --headless";
    return false;
  }
  if ((options->check || options->print) && options->files.empty()) {
    *error = "--check and --print need a scene file";
    return false;
  }
  return true;
}

}  // namespace kestrel
