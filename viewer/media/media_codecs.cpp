#include "viewer/media/media_codecs.h"

#include <atomic>
#include <mutex>

#include "viewer/intake/diagnostic_log.h"
#include "viewer/media/program_modules.h"

namespace kestrel {
namespace {

std::atomic<MediaCodecs*> builtIn{nullptr};

MediaCodecs* openModule(std::string& why) {
  using Entry = MediaCodecs* (*)();
  auto entry =
      reinterpret_cast<Entry>(openProgramModule(kMediaCodecsModule, kMediaCodecsEntry, why));
  return entry ? entry() : nullptr;
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
