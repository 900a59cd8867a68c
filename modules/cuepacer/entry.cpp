// The library's entry: registers JCuePacer with the host when loaded.
#include "modules/common/jregistry.h"
#include "modules/cuepacer/jcuepacer.h"

KESTREL_MODULE_ENTRY(kestrel::JCuePacer)
