// Colours, rectangles and the drawing surface a module's face is drawn on.
//
// JGraphics is an interface: the host decides where drawing goes. The
// recording implementation keeps every call as text, which is what `loom`
// shows for a face and what tests compare.
#pragma once

#include <string>
#include <vector>

#include "modules/common/export.h"
#include "modules/common/jstring.h"

namespace kestrel {

struct KESTREL_API JColor {
  int r = 192, g = 192, b = 192;

  constexpr JColor() = default;
  constexpr JColor(int red, int grn, int blue) : r(red), g(grn), b(blue) {}
  // The colour made lighter, as a raised surface shows it.
  JColor brighter() const;
  bool operator==(const JColor&) const = default;

  static const JColor green;
  static const JColor lightGray;
};

struct KESTREL_API JRect {
  int x = 0, y = 0, width = 0, height = 0;

  constexpr JRect() = default;
  constexpr JRect(int left, int top, int w, int h) : x(left), y(top), width(w), height(h) {}
  bool operator==(const JRect&) const = default;
};

struct KESTREL_API JPoint {
  int x = 0, y = 0;
  bool operator==(const JPoint&) const = default;
};

class KESTREL_API JGraphics {
 public:
  virtual ~JGraphics();
  virtual void setColor(const JColor& color) = 0;
  // Draws the text fitted into the rectangle; how it clips is the surface's.
  virtual void drawText(const JString& text, const JRect& box) = 0;
  virtual void fill3DRect(const JRect& box, int raised) = 0;
};

// Records drawing as lines of text, one per call.
class KESTREL_API JRecordingGraphics : public JGraphics {
 public:
  void setColor(const JColor& color) override;
  void drawText(const JString& text, const JRect& box) override;
  void fill3DRect(const JRect& box, int raised) override;

  const std::vector<std::string>& calls() const { return calls_; }
  // The texts given to drawText, in order.
  const std::vector<std::string>& texts() const { return texts_; }

 private:
  std::vector<std::string> calls_;
  std::vector<std::string> texts_;
};

}  // namespace kestrel
