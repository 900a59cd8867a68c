#include "viewer/media/model_formats.h"

#include <atomic>
#include <mutex>

#include "viewer/media/program_modules.h"

namespace kestrel {
namespace {

std::atomic<ModelFormats*> builtIn{nullptr};

struct LoadedFormats {
  ModelFormats* formats = nullptr;
  std::string why;  // when FORMATS is null
};

const LoadedFormats& loadedFormats() {
  static std::once_flag once;
  static LoadedFormats loaded;
  std::call_once(once, [] {
    using Entry = ModelFormats* (*)();
    auto entry = reinterpret_cast<Entry>(
        openProgramModule(kModelFormatsModule, kModelFormatsEntry, loaded.why));
    if (entry) loaded.formats = entry();
    if (!loaded.formats) loaded.why = "model formats not loaded: " + loaded.why;
  });
  return loaded;
}

}  // namespace

void useBuiltInModelFormats(ModelFormats* formats) { builtIn = formats; }

bool importModelFile(const std::string& path, const ModelImportOptions& options,
                     ModelVrml& model, std::string& why) {
  ModelFormats* formats = builtIn.load();
  if (!formats) {
    const LoadedFormats& loaded = loadedFormats();
    formats = loaded.formats;
    if (!formats) {
      why = loaded.why;
      return false;
    }
  }
  return formats->importModel(path, options, model, why);
}

}  // namespace kestrel
