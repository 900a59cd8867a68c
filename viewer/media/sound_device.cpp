#include "viewer/media/sound_device.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <algorithm>

#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

constexpr int kMostSources = 32;

}  // namespace

std::unique_ptr<SoundDevice> SoundDevice::open() {
  ALCdevice* device = alcOpenDevice(nullptr);
  if (!device) {
    logText("Sound off:", "no audio output device");
    return nullptr;
  }
  ALCcontext* context = alcCreateContext(device, nullptr);
  if (!context || !alcMakeContextCurrent(context)) {
    if (context) alcDestroyContext(context);
    alcCloseDevice(device);
    logText("Sound off:", "the audio device does not start");
    return nullptr;
  }
  ALCint mono = 0;
  alcGetIntegerv(device, ALC_MONO_SOURCES, 1, &mono);
  // The viewer computes each Sound's gain from its ellipsoids itself.
  alDistanceModel(AL_NONE);
  int sources = mono > 0 ? std::min(mono, kMostSources) : kMostSources;
  return std::unique_ptr<SoundDevice>(new SoundDevice(device, context, sources));
}

SoundDevice::~SoundDevice() {
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(context_);
  alcCloseDevice(device_);
}

}  // namespace kestrel
