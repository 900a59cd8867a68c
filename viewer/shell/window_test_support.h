// Test helper for the real window: runs the Qt event loop until a
// condition holds.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

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
