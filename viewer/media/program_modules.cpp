#include "viewer/media/program_modules.h"

#include <dlfcn.h>

#include <filesystem>
#include <vector>

namespace kestrel {
namespace {

namespace fs = std::filesystem;

// Where FILE may be: beside the program, then the private library folder
// of an installed tree (bin/../lib/kestrel).
std::vector<fs::path> moduleCandidates(const char* file) {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const fs::path dir = program.parent_path();
  return {dir / file, dir.parent_path() / "lib/kestrel" / file};
}

}  // namespace

void* openProgramModule(const char* file, const char* entry, std::string& why) {
  std::vector<fs::path> candidates = moduleCandidates(file);
  if (candidates.empty()) {
    why = std::string("cannot look for ") + file + ": the program's own path is unknown";
    return nullptr;
  }
  std::error_code error;
  for (const fs::path& path : candidates) {
    if (!fs::exists(path, error)) continue;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* reason = dlerror();
      // dlerror() names the file.
      why = reason ? reason : path.string() + ": dlopen failed";
      return nullptr;
    }
    void* address = dlsym(handle, entry);
    if (!address) why = path.string() + " has no " + entry;
    return address;  // the module stays open for the rest of the run
  }
  why = std::string("no ") + file + " beside " + candidates.front().parent_path().string() +
        " or in " + candidates.back().parent_path().string();
  return nullptr;
}

}  // namespace kestrel
