// The audio output: an OpenAL (OpenAL Soft) device and its context.
//
// No device (a headless machine, CI, a remote desktop without sound)
// means silence: open() writes one line to the log and returns null, and
// the viewer goes on without sound. One device per process at a time; the
// window thread owns it.
#pragma once

#include <memory>

struct ALCdevice_struct;
struct ALCcontext_struct;

namespace kestrel {

class SoundDevice {
 public:
  // The default output device with its context made current, or null
  // (after one log line) when there is none.
  static std::unique_ptr<SoundDevice> open();
  ~SoundDevice();
  SoundDevice(const SoundDevice&) = delete;
  SoundDevice& operator=(const SoundDevice&) = delete;

  // How many sources may play at once (the device's mono sources, at most 32).
  int maxSources() const { return maxSources_; }

 private:
  SoundDevice(ALCdevice_struct* device, ALCcontext_struct* context, int maxSources)
      : device_(device), context_(context), maxSources_(maxSources) {}
  ALCdevice_struct* device_;
  ALCcontext_struct* context_;
  int maxSources_;
};

}  // namespace kestrel
