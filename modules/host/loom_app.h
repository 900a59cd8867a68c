// The `loom` program: loads a document, starts its modules, runs them until
// the end of input or SIGINT/SIGTERM, optionally saves, then closes them.
#pragma once

namespace kestrel {

// The whole program; returns its exit status (0 done, 1 refused or failed,
// 2 bad command line). Prints messages on standard error.
int loomMain(int argc, char** argv);

}  // namespace kestrel
