#include "viewer/media/media_codecs.h"

#include <dlfcn.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <vector>

#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

std::atomic<MediaCodecs*> builtIn{nullptr};

// Where the module may be: beside the program, then the private library
// folder of an installed tree (bin/../lib/kestrel).
std::vector<fs::path> moduleCandidates() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const fs::path dir = program.parent_path();
  return {dir / kMediaCodecsModule, dir.parent_path() / "lib/kestrel" / kMediaCodecsModule};
}

MediaCodecs* openModule(std::string& why) {
  std::vector<fs::path> candidates = moduleCandidates();
  if (candidates.empty()) {
    why = "the program's own path is unknown";
    return nullptr;
  }
  std::error_code error;
  for (const fs::path& path : candidates) {
    if (!fs::exists(path, error)) continue;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* reason = dlerror();
      why = reason ? reason : "dlopen failed";
      return nullptr;
    }
    using Entry = MediaCodecs* (*)();
    auto entry = reinterpret_cast<Entry>(dlsym(handle, kMediaCodecsEntry));
    if (!entry) {
      why = path.string() + " has no " + kMediaCodecsEntry;
      return nullptr;
    }
    return entry();  // the module stays open for the rest of the run
  }
  why = std::string("no ") + kMediaCodecsModule + " beside " +
        candidates.front().parent_path().string() + " or in " +
        candidates.back().parent_path().string();
  return nullptr;
}

}  // namespace

void useBuiltInMediaCodecs(MediaCodecs* codecs) { builtIn = codecs; }

MediaCodecs* mediaCodecs() {
  if (MediaCodecs* codecs = builtIn.load()) return codecs;
  static std::once_flag once;
  static MediaCodecs* loaded = nullptr;
  std::call_once(once, [] {
    std::string why;
    loaded = openModule(why);
    if (!loaded) logText("Media codecs not loaded (no movies, sound or video):", why.c_str());
  });
  return loaded;
}

double probeMediaFileLength(const std::string& path, NodeKind kind) {
  if (kind != NodeKind::AudioClip && kind != NodeKind::MovieTexture) return -1;
  MediaCodecs* codecs = mediaCodecs();
  return codecs ? codecs->mediaFileLength(path, kind) : -1;
}

}  // namespace kestrel
