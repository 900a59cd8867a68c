// Standard MIDI Files made into sound for AudioClip: FluidSynth plays the
// file offline (its sequencer driven by the samples rendered, no audio
// driver and no thread of its own) through a General MIDI SoundFont into
// 16-bit stereo PCM, exactly as long as the file plays (midi_file.h).
//
// The SoundFont is $KESTREL_SOUNDFONT when set, else Debian's default
// General MIDI SoundFont (/usr/share/sounds/sf2/default-GM.sf2, chosen by
// alternatives) or TimGM6mb (timgm6mb-soundfont). A file whose sound would
// exceed kMaxSoundSamples is refused before anything is rendered.
#pragma once

#include <string>

#include "viewer/media/audio_clip_decoder.h"

namespace kestrel {

// Frames a second of rendered MIDI: 12 minutes fit kMaxSoundSamples.
inline constexpr int kMidiRate = 22050;

// The SoundFont's path, or empty with WHY set (one line) when there is none.
std::string generalMidiSoundFont(std::string& why);

// Renders the Standard MIDI File in BYTES into CLIP; false with WHY set
// (one line) for broken MIDI data, a file too long, or no SoundFont.
bool renderMidi(const std::string& bytes, AudioClipData& clip, std::string& why);

}  // namespace kestrel
