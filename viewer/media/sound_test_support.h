// Sound files for tests, written byte by byte: canonical 16-bit PCM WAV
// and Standard MIDI Files.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

inline std::string le32(uint32_t v) {
  return {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff), char(v >> 24)};
}
inline std::string le16(uint32_t v) { return {char(v & 0xff), char((v >> 8) & 0xff)}; }

// A WAV file of SAMPLES (interleaved, CHANNELS) at RATE frames a second.
inline std::string wavBytes(int channels, int rate, const std::vector<int16_t>& samples) {
  const auto data = uint32_t(samples.size() * 2);
  std::string w = "RIFF" + le32(36 + data) + "WAVEfmt " + le32(16) + le16(1) +
                  le16(uint32_t(channels)) + le32(uint32_t(rate)) +
                  le32(uint32_t(rate * channels * 2)) + le16(uint32_t(channels * 2)) + le16(16) +
                  "data" + le32(data);
  for (int16_t s : samples) w += le16(uint16_t(s));
  return w;
}

// SECONDS of a HZ sine tone at half of full scale, mono.
inline std::vector<int16_t> tone(int rate, double seconds, double hz) {
  std::vector<int16_t> s(size_t(rate * seconds));
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = int16_t(16000 * std::sin(2 * M_PI * hz * double(i) / rate));
  return s;
}

inline std::string be32(uint32_t v) {
  return {char(v >> 24), char((v >> 16) & 0xff), char((v >> 8) & 0xff), char(v & 0xff)};
}
inline std::string be16(uint32_t v) { return {char((v >> 8) & 0xff), char(v & 0xff)}; }

// A MIDI variable-length quantity (at most 0x0FFFFFFF).
inline std::string midiVarLength(uint32_t v) {
  std::string out(1, char(v & 0x7f));
  while (v >>= 7) out.insert(out.begin(), char(0x80 | (v & 0x7f)));
  return out;
}

// A tempo change (microseconds a quarter note) DELTA ticks after the event before.
inline std::string midiTempo(uint32_t delta, uint32_t tempo) {
  return midiVarLength(delta) + "\xff\x51\x03" + be32(tempo).substr(1);
}

// A note of KEY on channel 0 starting DELTA ticks after the event before
// and lasting LENGTH ticks; its end is a note-on of velocity 0 in running
// status.
inline std::string midiNote(uint32_t delta, int key, uint32_t length) {
  return midiVarLength(delta) + "\x90" + char(key) + "\x64" + midiVarLength(length) + char(key) +
         std::string(1, '\0');
}

// A track chunk of EVENTS closed by an end-of-track event END ticks later.
inline std::string midiTrack(const std::string& events, uint32_t end = 0) {
  const std::string body = events + midiVarLength(end) + "\xff\x2f" + std::string(1, '\0');
  return "MTrk" + be32(uint32_t(body.size())) + body;
}

// A Standard MIDI File of FORMAT (0 or 1) with DIVISION ticks a quarter note.
inline std::string midiFile(int format, int division, const std::vector<std::string>& tracks) {
  std::string out = "MThd" + be32(6) + be16(uint32_t(format)) + be16(uint32_t(tracks.size())) +
                    be16(uint32_t(division));
  for (const std::string& t : tracks) out += t;
  return out;
}

// The Standard MIDI File SMF wrapped as a RIFF MIDI file (.rmi), after an
// INFO list of odd length (so padded).
inline std::string riffMidi(const std::string& smf) {
  const std::string chunks = "LIST" + le32(5) + "INFOx" + std::string(1, '\0') + "data" +
                             le32(uint32_t(smf.size())) + smf;
  return "RIFF" + le32(uint32_t(4 + chunks.size())) + "RMID" + chunks;
}

// Three quarter notes (C, E, G) at 120 beats a minute, 480 ticks a quarter
// after a change to program 0 (piano): 1.5 seconds, in one track.
inline std::string threeNoteMidi() {
  const std::string events = midiTempo(0, 500000) + std::string("\x00\xc0\x00", 3) +
                             midiNote(0, 60, 480) + midiNote(0, 64, 480) + midiNote(0, 67, 480);
  return midiFile(0, 480, {midiTrack(events)});
}

}  // namespace kestrel
