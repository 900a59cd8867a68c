#include "viewer/media/midi_synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string_view>

#include "viewer/media/midi_file.h"

namespace kestrel {
namespace {

constexpr const char* kSoundFonts[] = {"/usr/share/sounds/sf2/default-GM.sf2",
                                       "/usr/share/sounds/sf2/TimGM6mb.sf2"};
constexpr size_t kBlockFrames = 4096;

bool isSoundFontFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// Whether PATH begins like a SoundFont 2 ("RIFF", size, "sfbk"). Anything
// else is refused here: FluidSynth would hand it to other loaders, which
// complain on standard error.
bool hasSoundFontMagic(const std::string& path) {
  char head[12] = {};
  std::ifstream in(path, std::ios::binary);
  return in.read(head, sizeof head) && std::string_view(head, 4) == "RIFF" &&
         std::string_view(head + 8, 4) == "sfbk";
}

// FluidSynth writes its messages to standard error by default; the reasons
// that matter are given by the callers in their own words.
void quietFluidSynth() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
      fluid_set_log_function(level, nullptr, nullptr);
  });
}

struct SettingsDeleter {
  void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
};
struct SynthDeleter {
  void operator()(fluid_synth_t* s) const { delete_fluid_synth(s); }
};
struct PlayerDeleter {
  void operator()(fluid_player_t* p) const {
    fluid_player_stop(p);
    delete_fluid_player(p);
  }
};

// A synthesizer with the SoundFont loaded and a player whose clock is the
// samples rendered. Members are destroyed player first, settings last.
class OfflineSynth {
 public:
  bool open(const std::string& soundFont, const std::string& midi, std::string& why) {
    quietFluidSynth();
    settings_.reset(new_fluid_settings());
    if (!settings_) return fail("FluidSynth cannot start", why);
    fluid_settings_setnum(settings_.get(), "synth.sample-rate", kMidiRate);
    fluid_settings_setint(settings_.get(), "synth.cpu-cores", 1);
    fluid_settings_setint(settings_.get(), "synth.lock-memory", 0);
    fluid_settings_setstr(settings_.get(), "player.timing-source", "sample");
    synth_.reset(new_fluid_synth(settings_.get()));
    if (!synth_) return fail("FluidSynth cannot start", why);
    if (!hasSoundFontMagic(soundFont) ||
        fluid_synth_sfload(synth_.get(), soundFont.c_str(), 1) == FLUID_FAILED)
      return fail("not a SoundFont FluidSynth can load: " + soundFont, why);
    player_.reset(new_fluid_player(synth_.get()));
    if (!player_ || fluid_player_add_mem(player_.get(), midi.data(), midi.size()) != FLUID_OK ||
        fluid_player_play(player_.get()) != FLUID_OK)
      return fail("FluidSynth cannot play the MIDI data", why);
    return true;
  }

  // Renders FRAMES stereo frames into OUT (interleaved), advancing the song.
  void render(int16_t* out, size_t frames) {
    fluid_synth_write_s16(synth_.get(), int(frames), out, 0, 2, out, 1, 2);
  }
  bool playerGaveUp() const { return fluid_player_get_status(player_.get()) == FLUID_PLAYER_DONE; }

 private:
  static bool fail(const std::string& reason, std::string& why) {
    why = reason;
    return false;
  }
  std::unique_ptr<fluid_settings_t, SettingsDeleter> settings_;
  std::unique_ptr<fluid_synth_t, SynthDeleter> synth_;
  std::unique_ptr<fluid_player_t, PlayerDeleter> player_;
};

}  // namespace

std::string generalMidiSoundFont(std::string& why) {
  if (const char* chosen = std::getenv("KESTREL_SOUNDFONT"); chosen && *chosen) {
    if (isSoundFontFile(chosen)) return chosen;
    why = std::string("no General MIDI SoundFont installed: KESTREL_SOUNDFONT names ") + chosen +
          ", which is no file";
    return {};
  }
  for (const char* path : kSoundFonts)
    if (isSoundFontFile(path)) return path;
  why = "no General MIDI SoundFont installed (timgm6mb-soundfont, or set KESTREL_SOUNDFONT)";
  return {};
}

bool renderMidi(const std::string& bytes, AudioClipData& clip, std::string& why) {
  MidiSong song;
  if (!readMidi(bytes, song, why)) return false;
  // Bounded before anything is rendered: a file of hours is refused at once.
  if (song.seconds * kMidiRate * 2 > double(kMaxSoundSamples)) {
    why = "more than " + std::to_string(kMaxSoundSamples) + " samples of sound";
    return false;
  }
  const auto frames = size_t(std::ceil(song.seconds * kMidiRate));
  if (frames == 0) {
    why = "no sound in the file";
    return false;
  }
  const std::string soundFont = generalMidiSoundFont(why);
  OfflineSynth synth;
  if (soundFont.empty() || !synth.open(soundFont, song.tracksOnly, why)) return false;
  std::vector<int16_t> samples(frames * 2);
  for (size_t done = 0; done < frames;) {
    const size_t n = std::min(kBlockFrames, frames - done);
    synth.render(samples.data() + done * 2, n);
    done += n;
    // The player reads the file on its first tick and stops when it cannot.
    if (done == n && done < frames && synth.playerGaveUp()) {
      why = "FluidSynth cannot play the MIDI data";
      return false;
    }
  }
  clip.channels = 2;
  clip.rate = kMidiRate;
  clip.samples = std::move(samples);
  return true;
}

}  // namespace kestrel
