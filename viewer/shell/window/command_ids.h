// The window's command ids, with their status-bar prompts and tool tips
// ("prompt\ntip"), declared once. The enabling rule: ids 32772 to 32799
// need scene content, 32771 needs none, the others are always enabled.
#pragma once


namespace kestrel::shell {

struct CommandInfo {
  int id;
  const char* text;    // menu text, or a short name for toolbar-only commands
  const char* prompt;  // status-bar prompt and tool tip, separated by "\n"
};

inline constexpr int kFileOpen = 57601;
inline constexpr int kFileSaveAs = 57604;
inline constexpr int kAppExit = 57665;
inline constexpr int kViewToolbar = 59392;
inline constexpr int kViewStatusBar = 59393;
inline constexpr int kLabelObject = 32791;
inline constexpr int kVisibility = 133;
inline constexpr int kClearSpace = 32772;
inline constexpr int kAppAbout = 57664;
inline constexpr int kAddCube = 32771;
inline constexpr int kSearch = 32800;

inline constexpr CommandInfo kCommands[] = {
    {57601, "&Open", "Open a VRML file\nOpen a VRML file"},
    {57604, "&Save As", ""},
    {57665, "E&xit", "Quit the application; prompts to save documents\nExit"},
    {59392, "&Toolbar", "Show or hide the toolbar\nToggle ToolBar"},
    {59393, "&Status Bar", "Show or hide the status bar\nToggle StatusBar"},
    {32791, "&Label Object...", ""},
    {133, "&Visibility...", ""},
    {32772, "Clear space!", "Clear 3D space"},
    {57664, "&About Kestrel...", "Display program information, version number and copyright\nAbout"},
    {32771, "Add cube", "add cube"},
    {32800, "Search", ""},
    {32773, "Down", "Move object down\nMove down"},
    {32774, "Up", "Move object up\nMove up"},
    {32775, "Right", "Move object right\nMove right"},
    {32776, "Left", "Move object left\nMove left"},
    {32777, "Zoom in", "Zoom in\nZoom in"},
    {32778, "Zoom out", "Zoom out\nZoom out"},
    {32780, "Change color", "Change object color\nChange color"},
    {32781, "Taller", "Taller\nTaller"},
    {32782, "Shorter", "Shorter\nShorter"},
    {32783, "Fatter", "Fatter\nFatter\n"},
    {32784, "Thinner", "Thinner\nThinner"},
    {32785, "Cycle", "Cycle to next Object\nCycle to next Object"},
    {32788, "Fade Out", "Fade Out\nFade Out"},
    {32789, "Fade In", "Fade In\nFade In"},
    {32792, "Rotate Left", "Rotate Left\nRotate Left"},
    {32793, "Rotate Right", "Rotate Right\nRotate Right"},
    {32794, "Rotate Towards", "Rotate Towards\nRotate Towards"},
    {32795, "Rotate Away", "Rotate Away\nRotate Away"},
    {32796, "Rotate Left (z)", "Rotate Left\nRotate Left"},
    {32797, "Rotate Right (z)", "Rotate Right\nRotate Right"},
    {32798, "Jiggle", "Jiggle Current Object\nJiggle Current Object"},
    {32799, "Move to Marker", "Move to Marker\nMove to Marker"},
};

// Toolbar buttons in order; 0 is a gap.
inline constexpr int kToolbar[] = {
    32777, 32778, 32773, 32774, 32775, 32776, 0,     32781, 32782, 32783, 32784, 0,    32792,
    32793, 32794, 32795, 32796, 32797, 0,     32788, 32789, 32780, 32785, 32798, 32799, 57664};

inline const CommandInfo* commandInfo(int id) {
  for (const CommandInfo& c : kCommands) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

// Whether command ID is enabled while the scene content flag is CONTENT.
inline bool commandEnabled(int id, bool content) {
  if (id >= 32772 && id <= 32799) return content;
  if (id == 32771) return !content;
  return true;
}

}  // namespace kestrel::shell
