// A typical 3-minute General MIDI song (120 bpm; melody in eighths, bass in
// quarters, string chords, drums; four tracks, about 2000 notes): what its
// length costs an AudioClip (the events walked, nothing rendered) and what
// rendering it whole through FluidSynth costs.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "viewer/media/audio_clip_decoder.h"
#include "viewer/media/sound_test_support.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kQuarter = 480;
constexpr int kBeats = 360;  // 3 minutes at 120 bpm

// Notes starting together (KEYS on CHANNEL) that last LENGTH ticks, DELTA
// ticks after the event before.
std::string chord(uint32_t delta, int channel, const std::vector<int>& keys, uint32_t length) {
  std::string out;
  for (size_t i = 0; i < keys.size(); ++i)
    out += midiVarLength(i ? 0 : delta) + char(0x90 | channel) + char(keys[i]) + "\x60";
  for (size_t i = 0; i < keys.size(); ++i)
    out += midiVarLength(i ? 0 : length) + char(0x80 | channel) + char(keys[i]) + "\x40";
  return out;
}

std::string program(int channel, int number) {
  return std::string(1, '\0') + char(0xc0 | channel) + char(number);
}

std::string songTrack(int channel, int programNumber, uint32_t step, const std::vector<int>& keys,
                      size_t perStep) {
  std::string events = channel == 9 ? std::string() : program(channel, programNumber);
  const uint32_t steps = kBeats * kQuarter / step;
  for (uint32_t i = 0; i < steps; ++i) {
    std::vector<int> notes;
    for (size_t k = 0; k < perStep; ++k) notes.push_back(keys[(i + k * 2) % keys.size()]);
    events += chord(0, channel, notes, step);
  }
  return midiTrack(events);
}

std::string song() {
  const std::vector<int> scale = {60, 62, 64, 65, 67, 69, 71, 72};
  return midiFile(1, kQuarter,
                  {midiTrack(midiTempo(0, 500000)),
                   songTrack(0, 0, kQuarter / 2, scale, 1),             // piano melody
                   songTrack(1, 33, kQuarter, {36, 43, 41, 38}, 1),     // bass
                   songTrack(2, 48, kQuarter * 4, {60, 64, 67, 69}, 3),  // strings
                   songTrack(9, 0, kQuarter / 2, {36, 42, 38, 42}, 1)});  // drums
}

const std::string& songPath() {
  static const std::string path = [] {
    const fs::path p = fs::temp_directory_path() / "kestrel-midi-bench.mid";
    std::ofstream(p, std::ios::binary) << song();
    return p.string();
  }();
  return path;
}

void BM_MidiLength(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(audioClipDuration(songPath()));
  state.counters["seconds"] = audioClipDuration(songPath());
}
BENCHMARK(BM_MidiLength)->Unit(benchmark::kMillisecond);

void BM_MidiRender(benchmark::State& state) {
  AudioClipData clip;
  std::string why;
  for (auto _ : state) {
    if (!decodeAudioClip(songPath(), clip, why)) state.SkipWithError(why.c_str());
  }
  state.counters["seconds"] = clip.duration();
}
BENCHMARK(BM_MidiRender)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace kestrel

BENCHMARK_MAIN();
