// The length of the file an AudioClip or MovieTexture plays, read from the
// file itself: the browser's media probe (CVrmlBrowser::setMediaProbe).
#pragma once

#include <string>

#include "viewer/browser/node_type.h"

namespace kestrel {

// Seconds of sound (AudioClip) or film (MovieTexture) in the file at PATH;
// -1 when it cannot be read or KIND is neither.
double mediaFileLength(const std::string& path, NodeKind kind);

}  // namespace kestrel
