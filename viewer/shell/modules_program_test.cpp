// The kestrel program links none of the big libraries: the window (Qt), the
// model formats (assimp) and the media codecs (FFmpeg, OpenAL, libsndfile,
// FluidSynth) are modules it opens only when a run needs them. A run that
// reads VRML maps none of them; a missing or broken window module is refused with one
// clear line and a non-zero status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/test_support.h"
#include "viewer/media/model_samples.h"

namespace kestrel {
namespace {

using testing::ChildProcess;
namespace fs = std::filesystem;

std::string kestrelPath() { return testing::programPath("viewer/shell/kestrel"); }

// The loader names every shared object it maps, dlopen'ed ones too.
const std::vector<std::string> kTracedEnv{"LD_DEBUG=files"};
// Rendering runs are not leak-checked (Mesa's drivers keep a little).
const std::vector<std::string> kTracedRenderingEnv{"LD_DEBUG=files",
                                                   "ASAN_OPTIONS=detect_leaks=0"};

// The libraries of the modules (and the modules) that LOADER_TRACE maps.
std::vector<std::string> mappedModuleLibraries(const std::string& loaderTrace) {
  std::vector<std::string> found;
  for (const char* name : {"libkestrel_window", "libQt6", "libkestrel_model_formats",
                           "libassimp", "libkestrel_media_codecs", "libavcodec", "libavformat",
                           "libopenal", "libsndfile", "libfluidsynth"}) {
    if (loaderTrace.find(name) != std::string::npos) found.push_back(name);
  }
  return found;
}

using Names = std::vector<std::string>;

void writeScenes(const testing::TempDir& dir) {
  dir.write("plain.wrl", "#VRML V2.0 utf8\nShape { geometry Box {} }\n");
  dir.write("tri.gltf", testing::kTriangleGltf);
}

TEST(ProgramModules, AVrmlRunMapsNoModule) {
  testing::TempDir dir(false);
  writeScenes(dir);
  ChildProcess check(kestrelPath(), {"--check", dir.file("plain.wrl")}, "", kTracedEnv);
  ASSERT_EQ(check.wait(30000), 0) << check.output();
  EXPECT_NE(check.output().find(dir.file("plain.wrl") + ": ok"), std::string::npos);
  EXPECT_EQ(mappedModuleLibraries(check.output()), Names{}) << check.output();

  ChildProcess print(kestrelPath(), {"--print", dir.file("plain.wrl")}, "", kTracedEnv);
  ASSERT_EQ(print.wait(30000), 0) << print.output();
  EXPECT_EQ(mappedModuleLibraries(print.output()), Names{}) << print.output();

  ChildProcess snapshot(kestrelPath(), {"--snapshot", dir.file("plain.png"), "--size", "64x48",
                                        "-C", dir.path(), dir.file("plain.wrl")},
                        "", kTracedRenderingEnv);
  ASSERT_EQ(snapshot.wait(30000), 0) << snapshot.output();
  EXPECT_TRUE(fs::exists(dir.file("plain.png")));
  EXPECT_EQ(mappedModuleLibraries(snapshot.output()), Names{}) << snapshot.output();
}

TEST(ProgramModules, AModelMapsTheModelFormatsOnly) {
  testing::TempDir dir(false);
  writeScenes(dir);
  ChildProcess check(kestrelPath(), {"--check", dir.file("tri.gltf")}, "", kTracedEnv);
  ASSERT_EQ(check.wait(30000), 0) << check.output();
  EXPECT_NE(check.output().find(dir.file("tri.gltf") + ": ok"), std::string::npos);
  EXPECT_EQ(mappedModuleLibraries(check.output()),
            (Names{"libkestrel_model_formats", "libassimp"}))
      << check.output();
}

// The program alone in DIR/bin, without modules beside it or in lib/kestrel.
std::string lonelyProgram(const testing::TempDir& dir) {
  fs::create_directory(dir.file("bin"));
  const std::string lonely = dir.file("bin/kestrel");
  fs::copy_file(kestrelPath(), lonely);
  return lonely;
}

TEST(ProgramModules, AWindowWithoutItsModuleIsRefusedClearly) {
  testing::TempDir dir(false);
  const std::string lonely = lonelyProgram(dir);

  ChildProcess missing(lonely, {"-C", dir.path()});
  EXPECT_EQ(missing.wait(30000), 2) << missing.output();
  EXPECT_EQ(missing.output(), "kestrel: cannot run the window: no libkestrel_window.so beside " +
                                  dir.file("bin") + " or in " + dir.file("lib/kestrel") + "\n");

  // A file that is no shared object: dlopen's reason, which names it.
  const std::string module = dir.write("bin/libkestrel_window.so", "not a shared object\n");
  ChildProcess broken(lonely, {"-C", dir.path()});
  EXPECT_EQ(broken.wait(30000), 2) << broken.output();
  EXPECT_EQ(broken.output().rfind("kestrel: cannot run the window: " + module + ": ", 0), 0u)
      << broken.output();

  // A module without the window's entry point (another module).
  fs::remove(module);
  fs::copy_file(testing::programPath("viewer/shell/libkestrel_model_formats.so"), module);
  ChildProcess foreign(lonely, {"-C", dir.path()});
  EXPECT_EQ(foreign.wait(30000), 2) << foreign.output();
  EXPECT_EQ(foreign.output(),
            "kestrel: cannot run the window: " + module + " has no kestrel_run_window\n");
}

TEST(ProgramModules, AModelWithoutItsModuleIsAFileThatCannotBeRead) {
  testing::TempDir dir(false);
  writeScenes(dir);
  const std::string lonely = lonelyProgram(dir);
  ChildProcess check(lonely, {"--check", dir.file("plain.wrl"), dir.file("tri.gltf")});
  EXPECT_EQ(check.wait(30000), 1) << check.output();
  EXPECT_EQ(check.output(), dir.file("plain.wrl") + ": ok\n" + dir.file("tri.gltf") +
                                ": model formats not loaded: no libkestrel_model_formats.so"
                                " beside " + dir.file("bin") + " or in " +
                                dir.file("lib/kestrel") + "\n");
}

}  // namespace
}  // namespace kestrel
