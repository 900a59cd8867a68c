// Where the host's tests find the build's programs and plug-ins.
#pragma once

#include <string>

#include "testing/test_support.h"

namespace kestrel::testing {

inline std::string pluginDir() { return programPath("modules/plugins"); }
inline std::string testPluginDir() { return programPath("modules/testplugins"); }
inline std::string loomProgram() { return programPath("modules/host/loom"); }

}  // namespace kestrel::testing
