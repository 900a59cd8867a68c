#include "viewer/shell/viewer_options.h"

#include <charconv>
#include <cstring>

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
         "  -C DIR                   work in DIR (start-up files, logs)\n"
         "  --render-root DIR        where c:/corvid/render/ paths lead\n"
         "                           (default $KESTREL_RENDER_ROOT or the installed\n"
         "                           share/kestrel/render)\n"
         "  --save-state FILE        on SIGINT or SIGTERM, save every object to FILE\n"
         "  --check FILE...          parse scene files, print ok or the error of each\n"
         "  --print FILE             print a scene file as parsed, in VRML97\n"
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
    } else if (arg == "--headless") {
      options->headless = true;
    } else if (arg == "--command-port" || arg == "--secondary-port") {
      if (!value(&text)) return false;
      uint16_t* port = arg == "--command-port" ? &options->commandPort : &options->secondaryPort;
      if (!parsePort(text, port)) {
        *error = "bad port for " + arg + ": " + text;
        return false;
      }
    } else if (arg == "-C" || arg == "--render-root" || arg == "--save-state") {
      if (!value(&text)) return false;
      std::string& target = arg == "-C"              ? options->workingDirectory
                            : arg == "--render-root" ? options->renderRoot
                                                     : options->saveStatePath;
      target = text;
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
  if ((options->check || options->print) && options->files.empty()) {
    *error = "--check and --print need a scene file";
    return false;
  }
  return true;
}

}  // namespace kestrel
