// Test helpers for the real window: options for a view that takes no fixed
// port, and running the Qt event loop until a condition holds.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include "viewer/shell/viewer_options.h"

// Command ports on any free port and no web server, so that windows of
// tests running at once never meet on a port.
inline kestrel::ViewerOptions windowTestOptions() {
  kestrel::ViewerOptions options;
  options.commandPort = 0;
  options.secondaryPort = 0;
  options.webPort = 0;
  return options;
}

// Processes events until CONDITION() is true; false after TIMEOUT_MS.
template <typename Condition>
bool processUntil(Condition condition, int timeoutMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QTest::qWait(1);
  }
  return true;
}
