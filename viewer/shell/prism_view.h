// CPrismView: the view of the window. It owns the engine (and through it
// the browser and the scene), starts the command port threads and ticks the
// engine from a 1 ms timer on the GUI thread, and handles the toolbar's
// object commands exactly as the command language does.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "viewer/engine/engine.h"
#include "viewer/intake/command_port_thread.h"
#include "viewer/shell/shell_builders.h"
#include "viewer/shell/viewer_options.h"
#include "viewer/shell/viewer_services.h"

class CPrismView : public QWidget {
  Q_OBJECT
 public:
  explicit CPrismView(const kestrel::ViewerOptions& options, QWidget* parent = nullptr);
  ~CPrismView() override;

  // Binds the command ports and starts their threads and the engine timer;
  // false with the reason in *error when a port is taken.
  bool start(std::string* error);
  kestrel::Engine& engine() { return engine_; }

  // The command ids of the toolbar (and "Clear space!", the colour change).
  void runCommand(int id);
  bool sceneContent() const { return engine_.view().hasSceneContent(); }
  // The Search command's request for TEXT; false when the service is not there.
  bool search(const std::string& text) { return services_.search(engine_, text); }
  kestrel::ViewerServices& services() { return services_; }

 signals:
  // The scene-content flag changed: the frame enables its commands anew.
  void sceneContentChanged(bool content);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void onTimer();

  kestrel::ViewerOptions options_;
  kestrel::Engine engine_;
  kestrel::ShellBuilders builders_;
  kestrel::CommandPortThread primary_;
  kestrel::CommandPortThread secondary_;
  kestrel::ViewerServices services_;
  QTimer timer_;
  unsigned ticks_ = 0;
  bool lastContent_ = false;
  double startSeconds_ = 0;
};
