// The library's entry: registers JSatFix with the host when loaded.
#include "modules/common/jregistry.h"
#include "modules/satfix/jsatfix.h"

KESTREL_MODULE_ENTRY(kestrel::JSatFix)
