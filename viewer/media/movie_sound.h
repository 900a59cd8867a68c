// The sound track of a movie file, for a Sound whose source is a
// MovieTexture: decoded with FFmpeg (the container read as the picture
// decoder reads it, movie_container.h) into 16-bit PCM of one or two
// channels, as an AudioClip's file is. At most kMaxSoundSamples samples
// are kept: a longer track is refused rather than filling memory. Reasons
// are one line.
#pragma once

#include <string>

#include "viewer/media/audio_clip_decoder.h"

namespace kestrel {

// Decodes the first sound track of the movie at PATH into CLIP; false with
// WHY set when it cannot ("no sound in the file", ...).
bool decodeMovieSound(const std::string& path, AudioClipData& clip, std::string& why);

}  // namespace kestrel
