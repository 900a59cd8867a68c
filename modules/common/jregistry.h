// JModuleRegistry: the process-wide table of module classes, one prototype
// per class name, filled by Register() when a module library is loaded.
//
// Thread safety: every operation takes the registry's mutex. Prototypes
// whose code lives in a plug-in must be removed before that plug-in is
// unloaded (the host's loader does this).
//
// KESTREL_MODULE_ENTRY(Class) defines the one exported entry of a module
// library: it constructs one instance, registers it, keeps the returned
// class name in a static and destroys the instance. The entry returns that
// name, empty when nothing was registered.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "modules/common/export.h"
#include "modules/common/jmodule.h"
#include "viewer/intake/thread_annotations.h"

namespace kestrel {

// Name of the exported entry every module library defines.
inline constexpr const char* kModuleEntrySymbol = "kestrelModuleEntry";
using ModuleEntry = const char* (*)();

class KESTREL_API JModuleRegistry {
 public:
  static JModuleRegistry& global();

  // Takes the prototype; false (and the prototype destroyed) when its class
  // name is empty or already registered.
  bool add(std::unique_ptr<JAddObj> prototype);
  bool contains(std::string_view className) const;
  // A new module made by clone() of the prototype, or null for an unknown class.
  std::unique_ptr<JAddObj> create(std::string_view className) const;
  // The registered class names, in name order.
  std::vector<std::string> classNames() const;
  void remove(std::string_view className);

 private:
  mutable Mutex mutex_;
  std::vector<std::unique_ptr<JAddObj>> prototypes_ GUARDED_BY(mutex_);  // sorted by name
};

}  // namespace kestrel

#define KESTREL_MODULE_ENTRY(ModuleClass)                                \
  extern "C" __attribute__((visibility("default"))) const char*         \
  kestrelModuleEntry() {                                                 \
    static ::kestrel::JString registered;                                \
    {                                                                    \
      ModuleClass instance;                                              \
      registered = instance.Register();                                  \
    }                                                                    \
    return registered.c_str();                                           \
  }
