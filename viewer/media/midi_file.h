// Standard MIDI Files (format 0, 1 and 2, "MThd" then "MTrk" chunks) read
// far enough to check them and to know how long they play: every event is
// walked, tempo changes from all tracks are merged, and the length is the
// time of the last track's end; chunks of unknown types are skipped. No
// sound is made here (midi_synth.h).
#pragma once

#include <string>

namespace kestrel {

// Whether BYTES begin like a Standard MIDI File (the "MThd" magic) or a
// RIFF MIDI file (.rmi: "RIFF", size, "RMID", the former in a "data"
// chunk); the name of the file does not matter.
bool isMidiBytes(const std::string& bytes);

// What playing a Standard MIDI File needs to know.
struct MidiSong {
  double seconds = 0;  // from the first event to the last track's end
  // The file with its header and track chunks only: chunks of other types
  // (which readers are to skip) are left out, as FluidSynth stops at them.
  std::string tracksOnly;
};

// Walks the Standard MIDI File in BYTES (or in a RIFF MIDI file's data
// chunk) into SONG; false with WHY set (one
// line) when the file is cut short, has broken events or a time division
// that cannot be played.
bool readMidi(const std::string& bytes, MidiSong& song, std::string& why);

}  // namespace kestrel
