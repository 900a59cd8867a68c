// Any bytes walked as a Standard MIDI File: the walk ends, and either gives
// a finite length of at least zero and a tracks-only copy no longer than
// the file, or refuses the bytes with a one-line reason; bytes without the
// MThd magic are always refused.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "viewer/media/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  kestrel::MidiSong song;
  std::string why;
  if (kestrel::readMidi(bytes, song, why)) {
    if (!kestrel::isMidiBytes(bytes) || !std::isfinite(song.seconds) || song.seconds < 0 ||
        !kestrel::isMidiBytes(song.tracksOnly) || song.tracksOnly.size() > bytes.size())
      __builtin_trap();
  } else if (why.empty() || why.find('\n') != std::string::npos) {
    __builtin_trap();
  }
  return 0;
}
