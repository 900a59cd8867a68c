#include "viewer/shell/vrml_text_builders.h"

#include "viewer/engine/engine.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/shell/scene_block.h"
#include "viewer/shell/scene_generators.h"
#include "viewer/shell/text_format.h"

namespace kestrel {
namespace {

constexpr const char* kLabelFormat =
    "Transform { children [  Shape { appearance Appearance { material DEF Mat_%s Material "
    "{\tdiffuseColor .8 0.3 .30 transparency .3\t} } geometry Text3D { string [ \"%s\" ] }}]}";

// The Windows path is written with its backslashes escaped, so that the
// url field holds c:\corvid\render\terrain\FILE as typed (a lone backslash
// would be dropped by the VRML string syntax).
constexpr const char* kInlineFormat =
    "Transform { children [  Inline { url \"c:\\\\corvid\\\\render\\\\terrain\\\\%s\" } ] }";

// TEXT as it may stand inside a VRML string.
std::string escapedForString(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

VrmlTextBuilders::VrmlTextBuilders(Engine& engine, InternalCommandQueue& primary)
    : engine_(engine), primary_(primary) {}

void VrmlTextBuilders::label(const std::string& text) {
  Template* custom = engine_.templates().findTemplate("label");
  std::string format = custom ? custom->body : kLabelFormat;
  std::string name = "label_" + std::to_string(++labelCounter_);
  engine_.setCurrentObjectName(name);
  std::string scene = formatText(format, {name, text});
  logLine(scene.c_str());
  engine_.view().AddSceneObject(scene, std::nullopt, name);
}

void VrmlTextBuilders::inlineScene(const std::string& file) {
  std::string scene;
  if (Template* custom = engine_.templates().findTemplate("inline")) {
    const std::string pattern = "VAR_basepath";
    std::optional<std::string> base = engine_.info().lookupText("basepath");
    size_t at = custom->body.find(pattern);
    // The template itself changes: later inlines keep the first base path.
    if (base && at != std::string::npos) custom->body.replace(at, pattern.size(), *base);
    scene = formatText(custom->body, {file});
  } else {
    scene = formatText(kInlineFormat, {escapedForString(file)});
  }
  logLine(scene.c_str());
  engine_.view().AddSceneObject(scene, std::string(), std::string());
}

void VrmlTextBuilders::flatMap(const std::string& name) {
  Template* custom = engine_.templates().findTemplate("flatmap");
  if (custom == nullptr) return;
  MapInputs m = mapSource_ ? mapSource_() : MapInputs{};
  long long w = m.width, h = m.height;
  std::vector<FormatArg> args{name};
  for (int i = 0; i < 4; ++i) {
    args.insert(args.end(), {w / 100, w % 100, h / 100, h % 100});
  }
  args.insert(args.end(), {name, engine_.currentImageFile(), m.longitudeStart, m.longitudeEnd,
                           m.latitudeStart, m.latitudeEnd});
  args.insert(args.end(), {w / 100, w % 100, w / 100, w % 100, h / 100, h % 100, h / 100, h % 100});
  args.insert(args.end(), {m.longitudeLetter, m.latitudeLetter});
  std::string scene = formatText(custom->body, args);
  logLine(scene.c_str());
  engine_.view().AddSceneObject(scene, std::string(), name);
}

void VrmlTextBuilders::starLine(const std::string& text) {
  logLine("entered dwHandle");
  if (std::optional<SceneBlock> block = generateBlock(text)) {
    queueSceneBlock(primary_, BlockRoute::kSuspended, *block);
  }
  logLine("exitted dwHandle");
}

}  // namespace kestrel
