#include "modules/common/jgraphics.h"

#include <algorithm>
#include <cstdio>

namespace kestrel {

const JColor JColor::green{0, 255, 0};
const JColor JColor::lightGray{192, 192, 192};

JColor JColor::brighter() const {
  auto up = [](int c) { return std::min(255, c < 3 ? 3 : c * 10 / 7); };
  return JColor(up(r), up(g), up(b));
}

JGraphics::~JGraphics() = default;

void JRecordingGraphics::setColor(const JColor& color) {
  char line[64];
  std::snprintf(line, sizeof line, "color %d %d %d", color.r, color.g, color.b);
  calls_.emplace_back(line);
}

void JRecordingGraphics::drawText(const JString& text, const JRect& box) {
  char line[64];
  std::snprintf(line, sizeof line, "text %d %d %d %d ", box.x, box.y, box.width, box.height);
  calls_.push_back(line + text.str());
  texts_.push_back(text.str());
}

void JRecordingGraphics::fill3DRect(const JRect& box, int raised) {
  char line[80];
  std::snprintf(line, sizeof line, "rect3d %d %d %d %d %d", box.x, box.y, box.width, box.height,
                raised);
  calls_.emplace_back(line);
}

}  // namespace kestrel
