#include "modules/host/builtin_modules.h"

#include "modules/common/jregistry.h"
#include "modules/host/byte_source.h"
#include "modules/host/clock_modules.h"
#include "modules/host/formatter.h"
#include "modules/host/line_sender.h"
#include "modules/host/printer.h"

namespace kestrel {
namespace {

template <class Module>
void registerOne() {
  Module instance;
  if (!JModuleRegistry::global().contains(instance.className().view())) instance.Register();
}

}  // namespace

void registerBuiltinModules() {
  registerOne<JByteSource>();
  registerOne<JClock>();
  registerOne<JConstant>();
  registerOne<JFormat>();
  registerOne<JLineSender>();
  registerOne<JPrinter>();
  registerOne<JCounter>();
}

}  // namespace kestrel
