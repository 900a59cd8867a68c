#include "viewer/media/midi_file.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kestrel {
namespace {

constexpr uint32_t kDefaultTempo = 500000;  // microseconds a quarter note (120 bpm)

struct TempoChange {
  uint64_t tick;
  uint32_t tempo;
};

// A bounds-checked cursor over the bytes of one chunk.
class ByteCursor {
 public:
  ByteCursor(const std::string& bytes, size_t from, size_t to)
      : bytes_(bytes), pos_(from), end_(to) {}
  bool atEnd() const { return pos_ >= end_; }
  bool byte(uint8_t& out) {
    if (atEnd()) return false;
    out = uint8_t(bytes_[pos_++]);
    return true;
  }
  bool skip(uint64_t n) {
    if (n > end_ - pos_) return false;
    pos_ += size_t(n);
    return true;
  }
  // A variable-length quantity: at most four bytes of seven bits.
  bool varLength(uint32_t& out) {
    out = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b = 0;
      if (!byte(b)) return false;
      out = (out << 7) | (b & 0x7f);
      if (!(b & 0x80)) return true;
    }
    return false;
  }
  bool bigEndian(int n, uint32_t& out) {
    out = 0;
    for (int i = 0; i < n; ++i) {
      uint8_t b = 0;
      if (!byte(b)) return false;
      out = (out << 8) | b;
    }
    return true;
  }

 private:
  const std::string& bytes_;
  size_t pos_, end_;
};

// Data bytes after a channel message's status byte.
int channelDataBytes(uint8_t status) {
  const uint8_t kind = status & 0xf0;
  return kind == 0xc0 || kind == 0xd0 ? 1 : 2;
}

// One meta event after its 0xFF; a tempo change is kept, the end of the
// track reported through END.
bool readMeta(ByteCursor& c, uint64_t tick, std::vector<TempoChange>& tempi, bool& end) {
  uint8_t type = 0;
  uint32_t length = 0;
  if (!c.byte(type) || !c.varLength(length)) return false;
  if (type == 0x51 && length == 3) {
    uint32_t tempo = 0;
    if (!c.bigEndian(3, tempo)) return false;
    tempi.push_back({tick, std::max<uint32_t>(tempo, 1)});
    return true;
  }
  end = type == 0x2f;
  return c.skip(length);
}

// One event after its delta time, STATUS its first byte; false with WHY
// empty when the track ends inside it.
bool readEvent(ByteCursor& c, uint8_t status, uint8_t& running, uint64_t tick,
               std::vector<TempoChange>& tempi, bool& end, std::string& why) {
  if (status < 0x80) {  // running status: the byte read is the first data byte
    if (!running) why = "MIDI event without a status byte";
    return running && c.skip(uint64_t(channelDataBytes(running) - 1));
  }
  if (status < 0xf0) {
    running = status;
    return c.skip(uint64_t(channelDataBytes(status)));
  }
  if (status == 0xff) return readMeta(c, tick, tempi, end);
  if (status == 0xf0 || status == 0xf7) {
    uint32_t length = 0;
    return c.varLength(length) && c.skip(length);
  }
  why = "MIDI track holds a status byte no file may hold";
  return false;
}

// Walks one track's events; its last tick goes to LAST. A track may stop
// without its end-of-track event, but not inside an event.
bool readTrack(ByteCursor c, std::vector<TempoChange>& tempi, uint64_t& last, std::string& why) {
  uint64_t tick = 0;
  uint8_t running = 0;
  for (bool end = false; !end && !c.atEnd();) {
    uint32_t delta = 0;
    uint8_t status = 0;
    const bool whole = c.varLength(delta) && c.byte(status) &&
                       readEvent(c, status, running, tick + delta, tempi, end, why);
    if (!whole) {
      if (why.empty()) why = "MIDI track cut short";
      return false;
    }
    tick += delta;
    last = std::max(last, tick);
  }
  return true;
}

double ticksToSeconds(uint64_t ticks, unsigned division, std::vector<TempoChange> tempi) {
  std::stable_sort(tempi.begin(), tempi.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  double seconds = 0;
  uint64_t at = 0;
  uint32_t tempo = kDefaultTempo;
  for (const TempoChange& t : tempi) {
    if (t.tick >= ticks) break;
    seconds += double(t.tick - at) * tempo / 1e6 / division;
    at = t.tick;
    tempo = t.tempo;
  }
  return seconds + double(ticks - at) * tempo / 1e6 / division;
}

struct MidiHeader {
  uint32_t length = 0, format = 0, tracks = 0, division = 0;
};

bool readHeader(const std::string& bytes, MidiHeader& h, std::string& why) {
  ByteCursor c(bytes, 0, bytes.size());
  if (bytes.compare(0, 4, "MThd") != 0 || !c.skip(4) || !c.bigEndian(4, h.length) || h.length < 6 ||
      !c.bigEndian(2, h.format) || !c.bigEndian(2, h.tracks) || !c.bigEndian(2, h.division) ||
      !c.skip(h.length - 6)) {
    why = "MIDI file header cut short";
    return false;
  }
  if (h.format > 2) {
    why = "MIDI file of unknown format " + std::to_string(h.format);
    return false;
  }
  if (h.division & 0x8000 || h.division == 0) {
    why = "MIDI file timed in SMPTE frames or with no time division, which is not played";
    return false;
  }
  return true;
}

std::string bigEndianBytes(uint32_t value, int count) {
  std::string out;
  for (int i = count - 1; i >= 0; --i) out += char((value >> (8 * i)) & 0xff);
  return out;
}

bool readStandardMidi(const std::string& bytes, MidiSong& song, std::string& why) {
  MidiHeader header;
  if (!readHeader(bytes, header, why)) return false;
  std::vector<TempoChange> tempi;
  uint64_t last = 0;
  song.tracksOnly = "MThd" + bigEndianBytes(6, 4) + bigEndianBytes(header.format, 2) +
                    bigEndianBytes(header.tracks, 2) + bigEndianBytes(header.division, 2);
  size_t pos = 8 + header.length;
  for (uint32_t found = 0; found < header.tracks;) {
    ByteCursor chunk(bytes, pos, bytes.size());
    uint32_t length = 0;
    if (!chunk.skip(4) || !chunk.bigEndian(4, length) || length > bytes.size() - pos - 8) {
      why = "MIDI file cut short: " + std::to_string(found) + " of " +
            std::to_string(header.tracks) + " tracks";
      return false;
    }
    if (bytes.compare(pos, 4, "MTrk") == 0) {  // other chunks are skipped
      if (!readTrack(ByteCursor(bytes, pos + 8, pos + 8 + length), tempi, last, why)) return false;
      song.tracksOnly.append(bytes, pos, 8 + size_t(length));
      ++found;
    }
    pos += 8 + size_t(length);
  }
  song.seconds = ticksToSeconds(last, header.division, std::move(tempi));
  return true;
}

// A RIFF MIDI file (RMID), the Standard MIDI File wrapped in RIFF chunks.
bool isRiffMidi(const std::string& bytes) {
  return bytes.size() >= 12 && bytes.compare(0, 4, "RIFF") == 0 && bytes.compare(8, 4, "RMID") == 0;
}

// The "data" chunk of a RIFF MIDI file; empty when it has none whole.
std::string riffMidiData(const std::string& bytes) {
  for (size_t pos = 12; pos + 8 <= bytes.size();) {
    uint32_t length = 0;
    for (int i = 3; i >= 0; --i) length = (length << 8) | uint8_t(bytes[pos + 4 + size_t(i)]);
    if (length > bytes.size() - pos - 8) return {};
    if (bytes.compare(pos, 4, "data") == 0) return bytes.substr(pos + 8, length);
    pos += 8 + size_t(length) + (length & 1);  // chunks are padded to even sizes
  }
  return {};
}

}  // namespace

bool isMidiBytes(const std::string& bytes) {
  return bytes.compare(0, 4, "MThd") == 0 || isRiffMidi(bytes);
}

bool readMidi(const std::string& bytes, MidiSong& song, std::string& why) {
  if (!isRiffMidi(bytes)) return readStandardMidi(bytes, song, why);
  const std::string data = riffMidiData(bytes);
  if (data.compare(0, 4, "MThd") != 0) {
    why = "RIFF MIDI file without a whole MIDI data chunk";
    return false;
  }
  return readStandardMidi(data, song, why);
}

}  // namespace kestrel
