// JComponent: the host's user-interface side as modules see it.
//
// debug() is the host's echo for module diagnostics; by default lines go to
// standard error as "debug: <line>". A host (or a test) may install its own
// sink. The sink is guarded by a mutex, so debug() may be called from any
// thread; the sink itself runs under that mutex and must not call debug().
//
// A component also collects module buttons: the palette a host builds from
// its registered prototypes through their addButton().
#pragma once

#include <string>
#include <vector>

#include "modules/common/export.h"
#include "modules/common/jstring.h"

namespace kestrel {

class JModuleObj;

class KESTREL_API JComponent {
 public:
  using DebugSink = void (*)(void* context, const JString& line);

  static void debug(const JString& line);
  // Installs a sink; null restores the default. Returns the previous sink.
  static DebugSink setDebugSink(DebugSink sink, void* context);

  // Adds a button that creates modules of the prototype's class.
  void addModuleButton(const JModuleObj& prototype);
  const std::vector<std::string>& buttons() const { return buttons_; }

 private:
  std::vector<std::string> buttons_;
};

}  // namespace kestrel
