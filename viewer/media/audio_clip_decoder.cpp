#include "viewer/media/audio_clip_decoder.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "viewer/browser/file_input.h"
#include "viewer/media/midi_file.h"
#include "viewer/media/midi_synth.h"

namespace kestrel {
namespace {

struct MemoryFile {
  const std::string& bytes;
  sf_count_t pos = 0;
};

sf_count_t length(void* user) { return sf_count_t(static_cast<MemoryFile*>(user)->bytes.size()); }

sf_count_t seek(sf_count_t offset, int whence, void* user) {
  auto* f = static_cast<MemoryFile*>(user);
  const auto size = sf_count_t(f->bytes.size());
  sf_count_t to = whence == SEEK_CUR ? f->pos + offset : whence == SEEK_END ? size + offset : offset;
  f->pos = std::clamp<sf_count_t>(to, 0, size);
  return f->pos;
}

sf_count_t read(void* out, sf_count_t count, void* user) {
  auto* f = static_cast<MemoryFile*>(user);
  sf_count_t n = std::clamp<sf_count_t>(sf_count_t(f->bytes.size()) - f->pos, 0, count);
  std::memcpy(out, f->bytes.data() + f->pos, size_t(n));
  f->pos += n;
  return n;
}

sf_count_t write(const void*, sf_count_t, void*) { return 0; }
sf_count_t tell(void* user) { return static_cast<MemoryFile*>(user)->pos; }

// An open libsndfile reader over bytes in memory.
class SoundReader {
 public:
  explicit SoundReader(const std::string& bytes) : file_{bytes} {
    SF_VIRTUAL_IO io{length, seek, read, write, tell};
    sf_ = sf_open_virtual(&io, SFM_READ, &info_, &file_);
  }
  ~SoundReader() {
    if (sf_) sf_close(sf_);
  }
  SoundReader(const SoundReader&) = delete;
  SoundReader& operator=(const SoundReader&) = delete;

  bool ok() const { return sf_ && info_.channels > 0 && info_.samplerate > 0 && info_.frames >= 0; }
  const SF_INFO& info() const { return info_; }
  SNDFILE* get() { return sf_; }

 private:
  MemoryFile file_;
  SF_INFO info_{};
  SNDFILE* sf_ = nullptr;
};

bool readFile(const std::string& path, std::string& bytes, std::string& why) {
  FileRead r = readRegularFile(path, kMaxSoundFileBytes, bytes);
  if (r == FileRead::kOk) return true;
  why = refusalText(r, kMaxSoundFileBytes);
  if (why.empty()) why = "cannot be read";
  return false;
}

}  // namespace

bool decodeAudioBytes(const std::string& bytes, AudioClipData& clip, std::string& why) {
  if (isMidiBytes(bytes)) return renderMidi(bytes, clip, why);
  SoundReader reader(bytes);
  if (!reader.ok()) {
    why = "not a sound file libsndfile can read";
    return false;
  }
  const SF_INFO& info = reader.info();
  const auto channels = size_t(info.channels);
  const auto frames = size_t(info.frames);
  if (frames > kMaxSoundSamples / channels) {
    why = "more than " + std::to_string(kMaxSoundSamples) + " samples of sound";
    return false;
  }
  std::vector<int16_t> all(frames * channels);
  auto got = size_t(std::max<sf_count_t>(sf_readf_short(reader.get(), all.data(), sf_count_t(frames)), 0));
  if (got == 0) {
    why = "no sound in the file";
    return false;
  }
  // OpenAL plays one or two channels: keep the first two of more.
  clip.channels = int(std::min<size_t>(channels, 2));
  clip.rate = info.samplerate;
  clip.samples.resize(got * size_t(clip.channels));
  for (size_t f = 0; f < got; ++f)
    for (size_t c = 0; c < size_t(clip.channels); ++c)
      clip.samples[f * size_t(clip.channels) + c] = all[f * channels + c];
  return true;
}

bool decodeAudioClip(const std::string& path, AudioClipData& clip, std::string& why) {
  std::string bytes;
  return readFile(path, bytes, why) && decodeAudioBytes(bytes, clip, why);
}

bool isMidiFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;  // no waiting on a FIFO
  std::string head(12, '\0');
  std::ifstream in(path, std::ios::binary);
  in.read(head.data(), std::streamsize(head.size()));
  head.resize(size_t(in.gcount()));
  return isMidiBytes(head);
}

double audioClipDuration(const std::string& path) {
  std::string bytes, why;
  if (!readFile(path, bytes, why)) return -1;
  if (isMidiBytes(bytes)) {
    MidiSong song;
    return readMidi(bytes, song, why) ? song.seconds : -1;
  }
  SoundReader reader(bytes);
  if (!reader.ok()) return -1;
  return double(reader.info().frames) / reader.info().samplerate;
}

}  // namespace kestrel
