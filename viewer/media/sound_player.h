// Plays the scene's Sound nodes through a SoundDevice, once per frame.
//
// Each Sound whose source AudioClip runs (isActive, the browser clock)
// gets an OpenAL source playing the clip's decoded file from the clip's
// position, with the clip's pitch and loop. A MovieTexture as the source
// plays its movie's sound track the same way, at the movie's speed (a
// movie played backwards or stopped is silent). The listener is the viewer:
// a spatialized Sound is placed relative to the eye (its location through
// the Transforms above it and the view), one with spatialize FALSE plays
// at the listener. Loudness is computed here each frame from the
// Sound's ellipsoids and intensity (sound_gain.h); OpenAL's own distance
// model is off. When more Sounds play than the device has sources, the
// highest priority wins, then the louder. Sound files that cannot be
// decoded are logged once each. MIDI files are rendered on a thread of
// their own; reset() and the destructor wait for renderings under way.
//
// Without a device (null) update() does nothing. Window thread only.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "viewer/browser/render/core/camera.h"
#include "viewer/browser/vrml_browser.h"

namespace kestrel {

class SoundDevice;

class SoundPlayer {
 public:
  // DEVICE (may be null) must outlive the player. RENDERROOT: where
  // "c:/corvid/render/" URLs lead, as for the browser.
  explicit SoundPlayer(SoundDevice* device, std::string renderRoot = {});
  ~SoundPlayer();
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  // Starts, moves and stops sources for BROWSER's scene at its clock, heard
  // from CAMERA's eye. Call after advancing the clock.
  void update(const CVrmlBrowser& browser, const Camera& camera);
  // Stops every source and forgets decoded clips (the scene was emptied or
  // lost nodes).
  void reset();
  // Sources playing now, and whether SOUND has one.
  size_t playing() const { return voices_.size(); }
  bool playing(const Node& sound) const;
  // Plays at most LIMIT Sounds at once (fewer when the device has fewer sources).
  void setSourceLimit(int limit) { limit_ = limit; }
  // Sound files decoded so far: each clip's once, again after its url
  // changed or the player was reset (a MIDI file is rendered each time).
  size_t filesDecoded() const { return decoded_; }

 private:
  struct Clip;
  struct DecodedClip;
  struct Voice;
  struct Wanted;
  // CLIP's decoded file, decoded again when its url changed. A MIDI file
  // is rendered on a thread of its own: until it is done the clip has no
  // buffer.
  const Clip& clipFor(const Node& clip, const std::string& dir);
  // Decodes the files at PATHS (sound files, or movies when MOVIE) in order
  // until one decodes, logging the others. Any thread.
  static DecodedClip decodeFirst(bool movie, const std::vector<std::string>& paths);
  // Makes a buffer of what was decoded for C.
  void adopt(Clip& c, const DecodedClip& decoded);
  // Stops and forgets the sources playing CLIP.
  void silence(const Node& clip);
  void start(Voice& v, const Wanted& w, const CVrmlBrowser& browser);
  void place(const Voice& v, const Wanted& w, const Camera& camera) const;

  SoundDevice* device_;
  std::string renderRoot_;
  std::unordered_map<const Node*, Clip> clips_;    // by AudioClip or MovieTexture node
  std::unordered_map<const Node*, Voice> voices_;  // by Sound node
  uint64_t seenDetached_ = 0;
  int limit_ = 1 << 30;
  size_t decoded_ = 0;
};

}  // namespace kestrel
