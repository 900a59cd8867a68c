#include "viewer/shell/window/window_run.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <csignal>
#include <filesystem>

#include "viewer/intake/diagnostic_log.h"
#include "viewer/shell/replay_session.h"
#include "viewer/shell/window/main_frame.h"
#include "viewer/shell/window/prism_doc.h"
#include "viewer/shell/window/prism_view.h"
#include "viewer/shell/window/stop_signals.h"

namespace kestrel {

namespace {

// A journal named as the file to open is replayed in the window.
ViewerOptions replayingNamedJournal(ViewerOptions options) {
  if (options.replayPath.empty() && !options.files.empty() &&
      looksLikeJournal(options.files.front())) {
    options.replayPath = std::filesystem::absolute(options.files.front()).string();
    options.files.clear();
  }
  return options;
}

}  // namespace

int runWindow(const ViewerOptions& given, int argc, char** argv) {
  const ViewerOptions options = replayingNamedJournal(given);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Kestrel");
  std::signal(SIGPIPE, SIG_IGN);
  auto* view = new CPrismView(options);
  CPrismDoc doc(*view);
  CMainFrame frame(view, &doc);
  // Before the ports are served: a signal from then on ends the run cleanly.
  StopSignals stopSignals([&frame] { frame.close(); });
  std::string error;
  if (!view->start(&error)) {
    std::string message = options.replayPath.empty() ? "cannot listen on a command port: " + error
                                                     : error;
    errorLine(message.c_str());
    std::fprintf(stderr, "kestrel: %s\n", message.c_str());
    return 2;
  }
  if (!options.files.empty() && !doc.openDocument(QString::fromStdString(options.files[0]))) {
    std::fprintf(stderr, "kestrel: cannot open %s\n", options.files[0].c_str());
    return 1;
  }
  frame.show();
  int status = app.exec();
  // Closing the window ends the run as a stop signal ends a headless one:
  // what is queued still runs and --save-state is written.
  if (!view->finish()) return 1;
  return status;
}

}  // namespace kestrel
