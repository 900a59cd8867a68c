// Sound files of AudioClip nodes decoded with libsndfile (WAV, AIFF, AU,
// FLAC, Ogg Vorbis and whatever else it reads) into 16-bit PCM; Standard
// MIDI Files (known by their "MThd" magic) are played by FluidSynth
// (midi_synth.h).
//
// The file is read whole through readRegularFile (FIFOs and devices are
// refused, at most kMaxSoundFileBytes) and decoded from memory; the
// decoded samples are capped too, so a small file claiming hours of sound
// is refused rather than filling memory. Reasons are one line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

// Largest sound file read.
inline constexpr size_t kMaxSoundFileBytes = size_t{64} << 20;
// Most samples (all channels) decoded from one file: 64 MiB of PCM.
inline constexpr size_t kMaxSoundSamples = size_t{32} << 20;

struct AudioClipData {
  int channels = 0;  // 1 or 2 (of a file with more, the first two)
  int rate = 0;      // frames a second
  std::vector<int16_t> samples;  // interleaved
  double duration() const {
    return channels > 0 && rate > 0 ? double(samples.size()) / channels / rate : 0;
  }
};

// Decodes the sound file at PATH into CLIP; false with WHY set when it
// cannot (the file's problem in one line).
bool decodeAudioClip(const std::string& path, AudioClipData& clip, std::string& why);
// The same for a whole file's bytes.
bool decodeAudioBytes(const std::string& bytes, AudioClipData& clip, std::string& why);

// Whether PATH is a regular file that begins like a MIDI file (midi_file.h).
bool isMidiFile(const std::string& path);

// The length in seconds of the sound file at PATH from its header (no
// decoding; a MIDI file's events are walked, not played), -1 when it
// cannot be read.
double audioClipDuration(const std::string& path);

}  // namespace kestrel
