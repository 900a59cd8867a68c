// Standard MIDI Files (format 0, 1 and 2, "MThd" then "MTrk" chunks) read
// far enough to check them and to know how long they play: every event is
// walked, tempo changes from all tracks are merged, and the length is the
// time of the last track's end. No sound is made here (midi_synth.h).
#pragma once

#include <string>

namespace kestrel {

// Whether BYTES begin like a Standard MIDI File (the "MThd" magic; the
// name of the file does not matter).
bool isMidiBytes(const std::string& bytes);

// The playing time in seconds of the Standard MIDI File in BYTES; false
// with WHY set (one line) when the file is cut short, has broken events or
// a time division that cannot be played.
bool midiLength(const std::string& bytes, double& seconds, std::string& why);

}  // namespace kestrel
