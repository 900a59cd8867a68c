#include "viewer/media/sound_player.h"

#include <AL/al.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>
#include <vector>

#include "viewer/browser/render/core/traversal.h"
#include "viewer/browser/url_resolver.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/media/audio_clip_decoder.h"
#include "viewer/media/movie_sound.h"
#include "viewer/media/sound_device.h"
#include "viewer/media/sound_gain.h"

namespace kestrel {

// What decoding a clip's url list gave: the first file that decodes.
struct SoundPlayer::DecodedClip {
  AudioClipData pcm;
  size_t attempts = 0;  // files tried
};

struct SoundPlayer::Clip {
  ALuint buffer = 0;
  double duration = 0;
  std::vector<std::string> urls;  // what was decoded
  std::future<DecodedClip> rendering;  // a MIDI file rendered on a thread of its own
};

struct SoundPlayer::Voice {
  ALuint source = 0;
  const Node* clip = nullptr;
};

// A Sound that would play this frame.
struct SoundPlayer::Wanted {
  const PlacedSound* placed;
  const Node* clip;
  const Clip* data;
  float gain, priority;
};

namespace {

template <class T>
T member(const Node& n, const char* name, T fallback) {
  const FieldValue* v = n.field(name);
  const T* t = v ? v->as<T>() : nullptr;
  return t ? *t : fallback;
}

SoundShape shapeOf(const Node& s) {
  SoundShape shape;
  shape.location = member(s, "location", shape.location);
  shape.direction = member(s, "direction", shape.direction);
  shape.minFront = member(s, "minFront", shape.minFront);
  shape.maxFront = member(s, "maxFront", shape.maxFront);
  shape.minBack = member(s, "minBack", shape.minBack);
  shape.maxBack = member(s, "maxBack", shape.maxBack);
  shape.intensity = member(s, "intensity", shape.intensity);
  return shape;
}

bool isMovie(const Node& clip) { return clip.type->kind == NodeKind::MovieTexture; }

// How fast the clip plays: an AudioClip's pitch, a movie's speed.
float rateOf(const Node& clip) {
  return isMovie(clip) ? member(clip, "speed", 1.0f) : member(clip, "pitch", 1.0f);
}

// The sound of the file at PATH: an AudioClip's sound file, or the sound
// track of a MovieTexture's movie (MOVIE).
bool decodeSound(bool movie, const std::string& path, AudioClipData& pcm, std::string& why) {
  return movie ? decodeMovieSound(path, pcm, why) : decodeAudioClip(path, pcm, why);
}

ALuint bufferOf(const AudioClipData& pcm) {
  ALuint buffer = 0;
  alGenBuffers(1, &buffer);
  alBufferData(buffer, pcm.channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16,
               pcm.samples.data(), ALsizei(pcm.samples.size() * sizeof(int16_t)), pcm.rate);
  if (alGetError() != AL_NO_ERROR) {
    alDeleteBuffers(1, &buffer);
    return 0;
  }
  return buffer;
}

}  // namespace

SoundPlayer::SoundPlayer(SoundDevice* device, std::string renderRoot)
    : device_(device), renderRoot_(std::move(renderRoot)) {}

SoundPlayer::~SoundPlayer() { reset(); }

bool SoundPlayer::playing(const Node& sound) const { return voices_.count(&sound) != 0; }

void SoundPlayer::reset() {
  for (auto& [node, v] : voices_) {
    alSourceStop(v.source);
    alDeleteSources(1, &v.source);
  }
  voices_.clear();
  for (auto& [node, c] : clips_)
    if (c.buffer) alDeleteBuffers(1, &c.buffer);
  clips_.clear();
}

const SoundPlayer::Clip& SoundPlayer::clipFor(const Node& clip, const std::string& dir) {
  auto urls = member(clip, "url", std::vector<std::string>{});
  auto [it, added] = clips_.try_emplace(&clip);
  Clip& c = it->second;
  if (!added && c.urls == urls) {
    if (c.rendering.valid() &&
        c.rendering.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
      adopt(c, c.rendering.get());
    return c;
  }
  if (!added) {
    // Another file (a script or route set the url): its voices start over
    // with the new buffer, and the old one can go once no source holds it.
    silence(clip);
    if (c.buffer) alDeleteBuffers(1, &c.buffer);
    c = Clip{};
  }
  c.urls = std::move(urls);
  UrlResolver resolver(renderRoot_);
  std::vector<std::string> paths;
  for (const std::string& url : c.urls) {
    std::string path;
    if (resolver.resolve(url, dir, path)) paths.push_back(path);
  }
  // Rendering MIDI takes a while (about 0.8 s of CPU for a 3-minute song):
  // it runs beside the window, and the clip joins in at the clock's
  // position once its buffer is there.
  const bool movie = isMovie(clip);
  if (!movie && std::any_of(paths.begin(), paths.end(), isMidiFile))
    c.rendering = std::async(std::launch::async, decodeFirst, movie, std::move(paths));
  else
    adopt(c, decodeFirst(movie, paths));
  return c;
}

SoundPlayer::DecodedClip SoundPlayer::decodeFirst(bool movie,
                                                   const std::vector<std::string>& paths) {
  DecodedClip out;
  for (const std::string& path : paths) {
    std::string why;
    AudioClipData pcm;
    ++out.attempts;
    if (decodeSound(movie, path, pcm, why)) {
      out.pcm = std::move(pcm);
      break;
    }
    logTexts("Sound not played:", path.c_str(), why.c_str());
  }
  return out;
}

void SoundPlayer::adopt(Clip& c, const DecodedClip& decoded) {
  decoded_ += decoded.attempts;
  if (decoded.pcm.samples.empty()) return;
  c.buffer = bufferOf(decoded.pcm);
  c.duration = decoded.pcm.duration();
}

void SoundPlayer::silence(const Node& clip) {
  for (auto v = voices_.begin(); v != voices_.end();) {
    if (v->second.clip != &clip) {
      ++v;
      continue;
    }
    alSourceStop(v->second.source);
    alDeleteSources(1, &v->second.source);
    v = voices_.erase(v);
  }
}

void SoundPlayer::start(Voice& v, const Wanted& w, const CVrmlBrowser& browser) {
  alGenSources(1, &v.source);
  v.clip = w.clip;
  alSourcei(v.source, AL_BUFFER, ALint(w.data->buffer));
  alSourcei(v.source, AL_SOURCE_RELATIVE, AL_TRUE);
  alSourcei(v.source, AL_LOOPING, member(*w.clip, "loop", false) ? AL_TRUE : AL_FALSE);
  alSourcef(v.source, AL_PITCH, std::max(rateOf(*w.clip), 0.01f));
  // A clip that started before this frame (or before the viewer looked)
  // joins where the clock says it is.
  double at = browser.mediaPosition(*w.clip);
  if (w.data->duration > 0) at = std::fmod(std::max(at, 0.0), w.data->duration);
  alSourcef(v.source, AL_SEC_OFFSET, float(at));
}

void SoundPlayer::place(const Voice& v, const Wanted& w, const Camera& camera) const {
  const Node& s = *w.placed->sound;
  Vec3f eye{0, 0, 0};
  if (member(s, "spatialize", true)) {
    Vec3f world = w.placed->model.transformPoint(member(s, "location", Vec3f{}));
    eye = camera.view.transformPoint(world);
  }
  alSource3f(v.source, AL_POSITION, eye.x, eye.y, eye.z);
  alSourcef(v.source, AL_GAIN, w.gain);
}

void SoundPlayer::update(const CVrmlBrowser& browser, const Camera& camera) {
  if (!device_) return;
  // Only nodes leaving the scene matter (their addresses can be reused); a
  // mesh changing each frame must not restart the sources or decode again.
  if (browser.changes().detached != seenDetached_) {
    seenDetached_ = browser.changes().detached;
    reset();
  }
  const Scene& scene = browser.scene();
  const std::vector<PlacedSound> sounds = findSounds(scene.rootNodes(), scene.baseDir, camera.viewer);
  std::vector<Wanted> wanted;
  for (const PlacedSound& p : sounds) {
    const Node* clip = actualNode(member(*p.sound, "source", NodePtr{}).get());
    if (!clip || !clip->extras().sensorActive) continue;
    if (clip->type->kind != NodeKind::AudioClip && clip->type->kind != NodeKind::MovieTexture)
      continue;
    if (isMovie(*clip) && rateOf(*clip) <= 0) continue;  // a movie backwards or still: silent
    if (std::any_of(wanted.begin(), wanted.end(), [&](const Wanted& w) { return w.placed->sound == p.sound; }))
      continue;  // a Sound USEd twice plays once, where it is first met
    const Clip& data = clipFor(*clip, p.baseDir);
    if (!data.buffer) continue;
    Vec3f listener = p.model.inverse().transformPoint(camera.viewer.position);
    const float gain = soundGain(shapeOf(*p.sound), listener);
    if (gain <= 0) continue;  // out of earshot; rejoins at the clock's position
    wanted.push_back({&p, clip, &data, gain, member(*p.sound, "priority", 0.0f)});
  }
  std::stable_sort(wanted.begin(), wanted.end(), [](const Wanted& a, const Wanted& b) {
    return a.priority != b.priority ? a.priority > b.priority : a.gain > b.gain;
  });
  const auto most = size_t(std::max(std::min(device_->maxSources(), limit_), 0));
  if (wanted.size() > most) wanted.resize(most);
  std::unordered_map<const Node*, Voice> next;
  for (const Wanted& w : wanted) {
    auto old = voices_.find(w.placed->sound);
    Voice v;
    bool fresh = old == voices_.end() || old->second.clip != w.clip;
    if (!fresh) {
      v = old->second;
      voices_.erase(old);
    } else {
      start(v, w, browser);
    }
    place(v, w, camera);
    if (fresh) alSourcePlay(v.source);
    next.emplace(w.placed->sound, v);
  }
  for (auto& [node, v] : voices_) {  // no longer wanted
    alSourceStop(v.source);
    alDeleteSources(1, &v.source);
  }
  voices_ = std::move(next);
}

}  // namespace kestrel
