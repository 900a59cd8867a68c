// The window's command ids, with their status-bar prompts and tool tips
// ("prompt\ntip"), declared once, and the rule that enables them.
#pragma once

namespace kestrel::shell {

struct CommandInfo {
  int id;
  const char* text;    // menu text, or a short name for toolbar-only commands
  const char* prompt;  // status-bar prompt and tool tip, separated by "\n"
};

// The menu and framework commands.
inline constexpr int kFileOpen = 57601;
inline constexpr int kFileSaveAs = 57604;
inline constexpr int kAppExit = 57665;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;
inline constexpr int kAppAbout = 57664;
inline constexpr int kVisibility = 133;
inline constexpr int kLabelObject = 32791;
inline constexpr int kSearch = 32800;
// The commands on the scene: the toolbar's, "Add cube" and "Clear space!".
inline constexpr int kAddCube = 32771;
inline constexpr int kClearSpace = 32772;
inline constexpr int kMoveDown = 32773;
inline constexpr int kMoveUp = 32774;
inline constexpr int kMoveRight = 32775;
inline constexpr int kMoveLeft = 32776;
inline constexpr int kZoomIn = 32777;
inline constexpr int kZoomOut = 32778;
inline constexpr int kChangeColor = 32780;
inline constexpr int kTaller = 32781;
inline constexpr int kShorter = 32782;
inline constexpr int kFatter = 32783;
inline constexpr int kThinner = 32784;
inline constexpr int kCycle = 32785;
inline constexpr int kFadeOut = 32788;
inline constexpr int kFadeIn = 32789;
inline constexpr int kRotateLeft = 32792;
inline constexpr int kRotateRight = 32793;
inline constexpr int kRotateTowards = 32794;
inline constexpr int kRotateAway = 32795;
inline constexpr int kRotateLeftZ = 32796;
inline constexpr int kRotateRightZ = 32797;
inline constexpr int kJiggle = 32798;
inline constexpr int kMoveToMarker = 32799;

// The enabling rule's range: the commands from kClearSpace to kMoveToMarker
// act on the scene and need scene content; kAddCube needs an empty scene.
inline constexpr int kFirstSceneCommand = kClearSpace;
inline constexpr int kLastSceneCommand = kMoveToMarker;

inline constexpr CommandInfo kCommands[] = {
    {kFileOpen, "&Open", "Open a VRML file\nOpen a VRML file"},
    {kFileSaveAs, "&Save As", ""},
    {kAppExit, "E&xit", "Quit the application; prompts to save documents\nExit"},
    {kViewToolbar, "&Toolbar", "Show or hide the toolbar\nToggle ToolBar"},
    {kViewStatusBar, "&Status Bar", "Show or hide the status bar\nToggle StatusBar"},
    {kLabelObject, "&Label Object...", ""},
    {kVisibility, "&Visibility...", ""},
    {kClearSpace, "Clear space!", "Clear 3D space"},
    {kAppAbout, "&About Kestrel...", "Display program information, version number and copyright\nAbout"},
    {kAddCube, "Add cube", "add cube"},
    {kSearch, "Search", ""},
    {kMoveDown, "Down", "Move object down\nMove down"},
    {kMoveUp, "Up", "Move object up\nMove up"},
    {kMoveRight, "Right", "Move object right\nMove right"},
    {kMoveLeft, "Left", "Move object left\nMove left"},
    {kZoomIn, "Zoom in", "Zoom in\nZoom in"},
    {kZoomOut, "Zoom out", "Zoom out\nZoom out"},
    {kChangeColor, "Change color", "Change object color\nChange color"},
    {kTaller, "Taller", "Taller\nTaller"},
    {kShorter, "Shorter", "Shorter\nShorter"},
    {kFatter, "Fatter", "Fatter\nFatter\n"},
    {kThinner, "Thinner", "Thinner\nThinner"},
    {kCycle, "Cycle", "Cycle to next Object\nCycle to next Object"},
    {kFadeOut, "Fade Out", "Fade Out\nFade Out"},
    {kFadeIn, "Fade In", "Fade In\nFade In"},
    {kRotateLeft, "Rotate Left", "Rotate Left\nRotate Left"},
    {kRotateRight, "Rotate Right", "Rotate Right\nRotate Right"},
    {kRotateTowards, "Rotate Towards", "Rotate Towards\nRotate Towards"},
    {kRotateAway, "Rotate Away", "Rotate Away\nRotate Away"},
    {kRotateLeftZ, "Rotate Left (z)", "Rotate Left\nRotate Left"},
    {kRotateRightZ, "Rotate Right (z)", "Rotate Right\nRotate Right"},
    {kJiggle, "Jiggle", "Jiggle Current Object\nJiggle Current Object"},
    {kMoveToMarker, "Move to Marker", "Move to Marker\nMove to Marker"},
};

// Toolbar buttons in order; 0 is a gap.
inline constexpr int kToolbar[] = {
    kZoomIn, kZoomOut, kMoveDown, kMoveUp, kMoveRight, kMoveLeft, 0, kTaller, kShorter, kFatter,
    kThinner, 0, kRotateLeft, kRotateRight, kRotateTowards, kRotateAway, kRotateLeftZ,
    kRotateRightZ, 0, kFadeOut, kFadeIn, kChangeColor, kCycle, kJiggle, kMoveToMarker,
    kAppAbout};

inline constexpr bool onToolbar(int id) {
  for (int button : kToolbar) {
    if (button == id && id != 0) return true;
  }
  return false;
}

constexpr bool commandIdsAreUnique() {
  for (const CommandInfo& a : kCommands) {
    int seen = 0;
    for (const CommandInfo& b : kCommands) seen += a.id == b.id ? 1 : 0;
    if (seen != 1) return false;
  }
  return true;
}
static_assert(commandIdsAreUnique(), "two window commands share an id");

inline const CommandInfo* commandInfo(int id) {
  for (const CommandInfo& c : kCommands) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

// Whether command ID is enabled while the scene content flag is CONTENT.
inline bool commandEnabled(int id, bool content) {
  if (id >= kFirstSceneCommand && id <= kLastSceneCommand) return content;
  if (id == kAddCube) return !content;
  return true;
}

}  // namespace kestrel::shell
