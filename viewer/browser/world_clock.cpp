#include "viewer/browser/world_clock.h"

#include <cmath>

#include "viewer/browser/vrml_browser.h"

namespace kestrel {

void runClockTo(CVrmlBrowser& browser, double seconds, double step) {
  const double from = browser.now();
  if (!(seconds > from)) return;
  if (!(step > 0)) step = seconds - from;
  // Counted steps from the start: no drift from adding STEP over and over.
  const double steps = std::ceil((seconds - from) / step);
  for (double i = 1; i < steps; ++i) browser.advanceTime(from + i * step);
  browser.advanceTime(seconds);
}

}  // namespace kestrel
