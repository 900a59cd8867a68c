// Command codes: the numbers that name one executable command. Other parts
// of the viewer store codes directly, so the numbers are fixed.
#pragma once

namespace kestrel {

namespace cmd {
inline constexpr int kLoad = 0;
inline constexpr int kMapRequest = 1;  // direct put by the web page
inline constexpr int kLoadMap = 2;
inline constexpr int kReset = 3;
inline constexpr int kShow = 4;
inline constexpr int kHide = 5;
inline constexpr int kClear = 6;
inline constexpr int kInfoDimension = 7;
inline constexpr int kLink = 8;
inline constexpr int kStarLine = 9;
inline constexpr int kStartData = 10;
inline constexpr int kModelSet = 11;
inline constexpr int kModelSwitch = 12;
inline constexpr int kEndData = 13;
inline constexpr int kDataLine = 14;
inline constexpr int kLeft = 15;
inline constexpr int kRight = 16;
inline constexpr int kUp = 17;
inline constexpr int kDown = 18;
inline constexpr int kIn = 19;
inline constexpr int kOut = 20;
inline constexpr int kRx = 21;
inline constexpr int kRxcc = 22;
inline constexpr int kRy = 23;
inline constexpr int kRycc = 24;
inline constexpr int kRz = 25;
inline constexpr int kRzcc = 26;
inline constexpr int kMarkX = 27;
inline constexpr int kMarkY = 28;
inline constexpr int kMarkZ = 29;
inline constexpr int kSpaceX = 30;
inline constexpr int kSpaceY = 31;
inline constexpr int kSpaceZ = 32;
inline constexpr int kSetMarker = 33;
inline constexpr int kTaller = 34;
inline constexpr int kShorter = 35;
inline constexpr int kBigger = 36;
inline constexpr int kSmaller = 37;
inline constexpr int kFatter = 38;
inline constexpr int kThinner = 39;
inline constexpr int kScale = 40;
inline constexpr int kSetGroup = 41;
inline constexpr int kClearGroup = 42;
inline constexpr int kSetMax = 43;
inline constexpr int kCycle = 44;
inline constexpr int kFadeOut = 45;
inline constexpr int kFadeIn = 46;
inline constexpr int kInline = 47;
inline constexpr int kDebugBoth = 48;  // no verb: debug on in both queues
inline constexpr int kLabel = 49;
inline constexpr int kStartTemplate = 50;
inline constexpr int kEndTemplate = 51;
inline constexpr int kTemplateLine = 52;
inline constexpr int kStartFunction = 53;
inline constexpr int kEndFunction = 54;
inline constexpr int kCall = 55;
inline constexpr int kFunctionLine = 56;
inline constexpr int kSetInfo = 57;
inline constexpr int kInlineAttributes = 58;
inline constexpr int kFast = 59;
inline constexpr int kSlow = 60;
inline constexpr int kSetObject = 61;
inline constexpr int kSetProperty = 62;
inline constexpr int kSetValue = 63;
inline constexpr int kCount = 64;
}  // namespace cmd

// The display name of CODE for the debug log, or "unknown" (after logging
// the line unknown "CODE").
const char* commandName(int code);

}  // namespace kestrel
