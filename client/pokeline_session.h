// pokeline: sends every line typed on standard input to the viewer's
// secondary command port and reads nothing back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

namespace kestrel {

// The viewer's secondary command port: 3503, or the value of the
// environment variable KESTREL_SECONDARY_PORT when it names a port (so a
// viewer started with --secondary-port can be reached too).
uint16_t pokelinePort();

// The options every program answers: --help prints the usage on OUT and
// --version the version, both with status 0; any other argument that
// starts with "-" prints the usage on ERR with status 2. Empty when the
// arguments are for a normal run.
std::optional<int> answerOptions(int argc, const char* const* argv, std::FILE* out,
                                 std::FILE* err);

// The whole program: prints to OUT, reads lines from IN, sends them to the
// host given as the only argument (default 127.0.0.1) on PORT. Returns the
// exit status: 0 after a normal end, 1 when the connection failed.
int runPokeline(int argc, const char* const* argv, std::FILE* in, std::FILE* out,
                uint16_t port);

}  // namespace kestrel
