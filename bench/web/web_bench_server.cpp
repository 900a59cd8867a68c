// Serves the page directory DIR on 127.0.0.1:PORT with the web server over
// an engine of its own, until standard input closes.
// usage: web_bench_server DIR PORT
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "viewer/engine/engine.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/web_server.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: web_bench_server DIR PORT\n");
    return 2;
  }
  kestrel::openLogIn(argv[1]);
  kestrel::InternalCommandQueue primary, secondary;
  kestrel::Engine engine(primary, secondary);
  kestrel::WebServer server;
  kestrel::WebServerOptions options;
  options.root = argv[1];
  options.queue = &primary;
  options.bindAddress = "127.0.0.1";
  std::string error;
  if (!server.start(static_cast<uint16_t>(std::atoi(argv[2])), engine, options, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::fprintf(stderr, "listening on %u\n", server.port());
  char c;
  while (::read(0, &c, 1) > 0) {
  }
  server.stop();
  return 0;
}
