// The viewer's command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/shell/text_files.h"

namespace kestrel {

struct ViewerOptions {
  bool headless = false;
  bool help = false;
  bool version = false;             // --version: print the version and end
  uint16_t commandPort = 3502;
  uint16_t secondaryPort = 3503;
  uint16_t webPort = 3504;          // --web-port PORT; 0: no web server
  std::string bindAddress;          // --bind ADDRESS (IPv4) of the ports; empty: all interfaces
  std::string searchHost = "127.0.0.1";  // --search-host: the search service (IPv4)
  std::vector<std::string> webHosts;  // --web-host NAME (repeatable): forms accepted for it
  std::string workingDirectory;     // -C DIR; empty: stay where started
  std::string renderRoot;           // --render-root DIR; empty: the default
  std::string saveStatePath;        // --save-state FILE; empty: none
  std::string journalPath;          // --journal FILE: record executed commands; empty: none
  std::string replayPath;           // --replay FILE: run a journal (with --headless)
  double replaySpeed = 1.0;         // --speed X: recorded pace times X
  int64_t replayFromMs = 0;         // --from T: run fast up to T
  int64_t replayToMs = -1;          // --to T: stop after T; -1: at the end
  bool check = false;               // --check FILE...: parse scene files
  bool print = false;               // --print FILE: write a parsed scene
  std::string snapshotPath;         // --snapshot OUT.png: render one frame and end
  int snapshotWidth = 640;          // --size WxH of either kind of snapshot
  int snapshotHeight = 480;
  int64_t snapshotAtMs = -1;        // --at T: the world clock's time of --snapshot; -1: live
  std::string videoPath;            // --video OUT.mp4|OUT.webm: frames of a replay, encoded
  int videoFps = 25;                // --fps N of --video
  int snapshotEveryMs = 0;          // --snapshot-every MS FILE; 0: none
  std::string snapshotEveryPath;
  uint64_t maxLoadSize = kDefaultMaxLoadSize;  // --max-load-size BYTES: larger files are refused
  std::vector<std::string> files;   // files named on the command line
};

// Parses ARGV. On a bad command line returns false with a message in *error.
bool parseViewerOptions(int argc, const char* const* argv, ViewerOptions* options,
                        std::string* error);

// The text printed by --help.
std::string viewerUsage();

}  // namespace kestrel
