// The viewer's modules: shared objects (the window, the model formats, the
// media codecs) that the program opens with dlopen only when a run needs
// them, so a run that needs none maps none of their libraries (Qt, assimp,
// FFmpeg, OpenAL ...) and starts quickly.
//
// A module is looked for next to the program (the build tree) and in
// ../lib/kestrel beside the program's folder (an installed, possibly moved
// tree), both found from /proc/self/exe. Modules hold only their own code:
// everything else they call binds to the program, which exports its
// symbols, so a program that does not (a test) cannot open them and links
// the modules' code instead.
#pragma once

#include <string>

namespace kestrel {

// The address of ENTRY in the module FILE (a file name), opened once and
// kept open for the rest of the run; null with one line in WHY naming the
// file and the reason (not found, dlerror(), no such entry).
void* openProgramModule(const char* file, const char* entry, std::string& why);

}  // namespace kestrel
