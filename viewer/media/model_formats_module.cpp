// The model importer wrapped in model_formats.h's interface. Built into the
// module libkestrel_model_formats.so, and into programs that link the
// importer directly (model_formats_builtin.cpp).
#include "viewer/media/model_formats_module.h"

namespace kestrel {
namespace {

class AssimpFormats final : public ModelFormats {
 public:
  bool importModel(const std::string& path, const ModelImportOptions& options, ModelVrml& model,
                   std::string& why) override {
    return kestrel::importModel(path, options, model, why);
  }
};

}  // namespace

ModelFormats* theModelFormats() {
  static AssimpFormats formats;
  return &formats;
}

}  // namespace kestrel

extern "C" kestrel::ModelFormats* kestrel_model_formats() { return kestrel::theModelFormats(); }
