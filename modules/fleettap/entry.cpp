// The library's entry: creates the shared trace log, then registers the
// JFleetTap prototype with the host.
#include "modules/common/jregistry.h"
#include "modules/fleettap/jfleettap.h"
#include "modules/fleettap/kv_olog.h"

extern "C" __attribute__((visibility("default"))) const char* kestrelModuleEntry() {
  static ::kestrel::JString registered;
  fleetLog();
  {
    ::kestrel::JFleetTap instance;
    registered = instance.Register();
  }
  return registered.c_str();
}
