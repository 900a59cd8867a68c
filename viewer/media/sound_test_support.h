// Sound files for tests, written byte by byte: canonical 16-bit PCM WAV.
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

}  // namespace kestrel
