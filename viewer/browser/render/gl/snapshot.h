// One frame of a scene rendered off screen (EGL, no display needed) and
// written as a PNG file.
#pragma once

#include <string>

#include "viewer/browser/render/gl/image_io.h"
#include "viewer/browser/scene.h"
#include "viewer/browser/vrml_browser.h"

namespace kestrel {

// Renders the browser's scene (or SCENE) from its bound or the default
// viewpoint into a WIDTH x HEIGHT PNG at PNGPATH; movies show the browser's
// frame for its clock (for SCENE their first frame). Returns 0 on success;
// otherwise 1 and ERROR (when not null) says why. Texture URLs resolve
// with RENDERROOT as the browser's resolver does. Call on the thread that
// owns the browser; it makes and drops its own OpenGL context.
int renderSnapshot(CVrmlBrowser& browser, int width, int height, const std::string& pngPath,
                   std::string* error);
int renderSnapshot(const Scene& scene, int width, int height, const std::string& pngPath,
                   std::string* error, const std::string& renderRoot = {});
// Renders FRAMES frames (at least one) with one context and renderer, each
// read back and written to PNGPATH, as a viewer writing a snapshot every
// frame would; for timing the whole pipeline. Returns as renderSnapshot.
int renderSnapshotFrames(const Scene& scene, int width, int height, const std::string& pngPath,
                         int frames, std::string* error, const std::string& renderRoot = {});
// The same frame as pixels, for callers that want no file.
bool renderImage(const Scene& scene, int width, int height, RgbaImage& image,
                 std::string* error, const std::string& renderRoot = {});

}  // namespace kestrel
