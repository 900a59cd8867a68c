#include "viewer/media/audio_movie_lengths.h"

#include "viewer/media/audio_clip_decoder.h"
#include "viewer/media/movie_decoder.h"

namespace kestrel {

double mediaFileLength(const std::string& path, NodeKind kind) {
  if (kind == NodeKind::AudioClip) return audioClipDuration(path);
  if (kind == NodeKind::MovieTexture) return movieDuration(path);
  return -1;
}

}  // namespace kestrel
