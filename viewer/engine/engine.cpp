#include "viewer/engine/engine.h"

#include "viewer/browser/text_origin.h"
#include "viewer/engine/journal.h"
#include "viewer/engine/text_values.h"
#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

std::string textOf(const QueuedCommand& entry) { return entry.takeText(); }

}  // namespace

Engine::Engine(InternalCommandQueue& primary, InternalCommandQueue& secondary,
               std::string renderRoot)
    : EngineLoop(primary, secondary),
      browser_(std::move(renderRoot)),
      operations_(registry_),
      view_(browser_, operations_, currentName_) {
  view_.AttachEngine();
}

Engine::~Engine() = default;

std::string Engine::currentImageFile() const {
  MutexLock lock(imageMutex_);
  return currentImageFile_;
}

void Engine::setCurrentImageFile(const std::string& path) {
  MutexLock lock(imageMutex_);
  currentImageFile_ = path;
}

void Engine::cycleObjects() {
  registry_.cycle();
  functions_.execute(primary(), "jiggle", commandFileDepth());
}

void Engine::execute(QueuedCommand& entry, InternalCommandQueue& queue) {
  switch (entry.code) {
    case cmd::kStartData:
    case cmd::kModelSet:
      runDataBlock(entry, queue);
      return;
    case cmd::kStartTemplate:
      runTemplateBlock(entry, queue);
      return;
    case cmd::kStartFunction:
      runFunctionBlock(entry, queue);
      return;
    case cmd::kFast:
      setFastMode(true);
      return;
    case cmd::kSlow:
      setFastMode(false);
      return;
    case cmd::kDebugBoth:
      primary().setDebug(true);
      secondary().setDebug(true);
      return;
    case cmd::kSetInfo:
      runSetInfo(entry.text(), entry.argument());
      return;
    case cmd::kCall:
      logText("Call:", entry.text());
      functions_.execute(primary(), textOf(entry), commandFileDepth());
      return;
    case cmd::kCycle:
      cycleObjects();
      return;
    case cmd::kLoad:
      logText("Loading", entry.text());
      if (journal() != nullptr) {
        journal()->recordFile(describeFile(builders_->localPath(textOf(entry))),
                              isPrimary(queue), stepTime());
      }
      builders_->openFile(textOf(entry));
      return;
    default:
      if (!dispatchObjectCommand(entry)) dispatchSceneCommand(entry);
  }
}

// Commands that act on the registry's objects, most on the current one.
bool Engine::dispatchObjectCommand(const QueuedCommand& entry) {
  ObjectOperations& r = operations_;
  int code = entry.code;
  switch (code) {
    case cmd::kShow: r.show(); break;
    case cmd::kHide: r.hide(); break;
    case cmd::kLink: r.link(entry.text(), entry.argument()); break;
    case cmd::kModelSwitch: r.switchInstance(); break;
    case cmd::kLeft: r.move(0, -0.2f); break;
    case cmd::kRight: r.move(0, 0.2f); break;
    case cmd::kUp: r.move(1, 0.2f); break;
    case cmd::kDown: r.move(1, -0.2f); break;
    case cmd::kIn: r.move(2, 0.2f); break;
    case cmd::kOut: r.move(2, -0.2f); break;
    case cmd::kRx: case cmd::kRy: case cmd::kRz:
      r.rotate((code - cmd::kRx) / 2, true);
      break;
    case cmd::kRxcc: case cmd::kRycc: case cmd::kRzcc:
      r.rotate((code - cmd::kRxcc) / 2, false);
      break;
    case cmd::kMarkX: case cmd::kMarkY: case cmd::kMarkZ:
      r.markTo(code - cmd::kMarkX, textOf(entry));
      break;
    case cmd::kSpaceX: case cmd::kSpaceY: case cmd::kSpaceZ:
      r.spaceInstances(code - cmd::kSpaceX, textOf(entry));
      break;
    case cmd::kSetMarker: r.setMarker(); break;
    case cmd::kTaller: case cmd::kShorter: case cmd::kBigger:
    case cmd::kSmaller: case cmd::kFatter: case cmd::kThinner:
      r.scaleCommand(code);
      break;
    case cmd::kSetGroup: r.setGroup(); break;
    case cmd::kFadeOut: r.fadeOut(); break;
    case cmd::kFadeIn: r.fadeIn(); break;
    case cmd::kSetObject: r.selectObject(textOf(entry)); break;
    case cmd::kSetProperty: r.setProperty(textOf(entry)); break;
    case cmd::kSetValue: r.setValue(textOf(entry)); break;
    case cmd::kInlineAttributes: r.bindTransparency(view_.TestNode(textOf(entry))); break;
    default: return false;
  }
  return true;
}

// Commands that change the scene or open files, served by the view and the
// builders. Codes that do nothing (infodimension, scale, cleargroup, setmax,
// block lines met outside their block, unknown codes) end here too.
bool Engine::dispatchSceneCommand(const QueuedCommand& entry) {
  switch (entry.code) {
    case cmd::kMapRequest:
      builders_->mapRequest(textOf(entry));
      return true;
    case cmd::kLoadMap: {
      setCurrentImageFile(textOf(entry));
      std::string name = "map_" + std::to_string(nextMapNumber());
      builders_->loadMap(name);
      return true;
    }
    case cmd::kReset:
      view_.AttachEngine();
      return true;
    case cmd::kClear:
      view_.ClearScene();
      lastCommandFile_.reset();
      operations_.clear();
      return true;
    case cmd::kStarLine:
      builders_->starLine(textOf(entry));
      return true;
    case cmd::kInline:
      currentName_ = "terrain";
      builders_->inlineScene(textOf(entry));
      return true;
    case cmd::kLabel:
      logText("execute time, got param: ", entry.text());
      builders_->label(textOf(entry));
      return true;
    default:
      return false;
  }
}

void Engine::runDataBlock(QueuedCommand& entry, InternalCommandQueue& queue) {
  std::string name = textOf(entry);
  // A block a file loader made names its file after its own name.
  std::optional<TextOrigin> origin;
  if (std::optional<std::string> file = takeBlockOrigin(name)) origin = TextOrigin{*file, 1};
  currentName_ = name;
  logText("Creating: ", name.c_str());
  bool modelSet = entry.code == cmd::kModelSet;
  int instances = modelSet ? integerValue(entry.argument()) : 0;

  std::string body;
  while (std::optional<QueuedCommand> line = takeBlockLine(queue)) {
    if (line->code == cmd::kEndData) break;
    if (line->code == cmd::kDataLine) {
      body += line->text() ? line->text() : "";
      body += '\n';
    }
  }
  std::string sceneText = body;
  if (Template* transform = templates_.findTemplate("transform")) {
    sceneText = expandTemplate(*transform, body, info_);
  } else {
    logLine("NO transform template");
  }
  if (origin) origin->firstLine = lineOfPart(sceneText, body);
  std::optional<std::string> info = info_.lookupText("info");
  if (!modelSet) {
    view_.AddSceneObject(sceneText, info, name, origin);
    return;
  }
  std::string base = name.substr(0, 99);
  for (int i = 0; i < instances; ++i) {
    if (registry_.full()) {
      logText("object registry full, model set cut short:", base.c_str());
      break;
    }
    currentName_ = base + "_" + std::to_string(i);
    view_.AddSceneObject(sceneText, info, currentName_, origin);
  }
  operations_.addModelSet(base, instances);
}

void Engine::runTemplateBlock(QueuedCommand& entry, InternalCommandQueue& queue) {
  std::string name = textOf(entry);
  currentName_ = name;
  bool created = templates_.createTemplate(name);
  while (std::optional<QueuedCommand> line = takeBlockLine(queue)) {
    if (line->code != cmd::kTemplateLine) break;
    if (created) templates_.appendToLast(line->text() ? line->text() : "");
  }
}

void Engine::runFunctionBlock(QueuedCommand& entry, InternalCommandQueue& queue) {
  CommandFunction function(textOf(entry));
  while (std::optional<QueuedCommand> line = takeBlockLine(queue)) {
    if (line->code != cmd::kFunctionLine) break;
    function.addLine(line->text() ? line->text() : "");
  }
  functions_.add(std::move(function));
}

void Engine::runSetInfo(const char* name, const char* value) {
  std::string key = name ? name : "";
  std::string text = value ? value : "";
  if (key == "info") infoText_ = text;
  info_.setInfo(key, text);
  if (key == "fade_units") {
    logText("Setting fade_units to", value);
    operations_.setFadeStep(value);
  } else if (key == "scale_units") {
    logText("Setting scale units to", value);
    operations_.setScaleStep(value);
  } else if (key.size() == 4 && (key[0] == 'x' || key[0] == 'y' || key[0] == 'z') &&
             (key.substr(1) == "min" || key.substr(1) == "max")) {
    operations_.setBound(key, text);
  }
}

}  // namespace kestrel
