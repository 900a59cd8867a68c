// SIGINT and SIGTERM for the window: a handler may do nothing but write a
// byte, so it writes one into a socket pair whose other end the Qt event
// loop watches; the loop then runs the given action (closing the window),
// and the run ends as if the user had closed it.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

class StopSignals : public QObject {
  Q_OBJECT
 public:
  // Installs the handlers; ON_STOP runs on the GUI thread after a signal.
  explicit StopSignals(std::function<void()> onStop, QObject* parent = nullptr);
  ~StopSignals() override;  // puts the default handlers back

 private:
  void onReadable();

  std::function<void()> onStop_;
  QSocketNotifier* notifier_ = nullptr;
};
