#include "viewer/shell/window/prism_doc.h"

#include <QFileInfo>
#include <cstdlib>

#include "viewer/engine/state_file.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/shell/window/dialogs.h"
#include "viewer/shell/window/prism_view.h"

CPrismDoc::CPrismDoc(CPrismView& view, QObject* parent)
    : QObject(parent), exitProgram([](int code) { std::exit(code); }), view_(view) {}

bool CPrismDoc::openDocument(const QString& path) {
  kestrel::logLine("got on open document");
  QFileInfo info(path);
  if (!info.exists() || !info.isReadable()) return false;
  openFile(path);
  return true;
}

void CPrismDoc::openFile(const QString& path) {
  view_.engine().builders().openFile(path.toStdString());
}

bool CPrismDoc::saveStateAs(const QString& path) {
  kestrel::logText("filename is:", path.toUtf8().constData());
  return kestrel::saveState(view_.engine().registry(), path.toStdString());
}

void CPrismDoc::labelObject(const QString& label) {
  kestrel::logText("got the label: ", label.toUtf8().constData());
  if (kestrel::VisualObject* object = view_.engine().registry().currentObject()) {
    object->setInfoText(label.toStdString());
  }
}

CVisibilityDialog* CPrismDoc::makeVisibilityDialog(QWidget* parent) const {
  const kestrel::VisualObjectRegistry& r = view_.engine().registry();
  std::vector<QString> names;
  std::vector<bool> shown;
  for (int k = 0; k < CVisibilityDialog::kBoxes; ++k) {
    names.push_back(QString::fromStdString(r.nameAt(k)));
    shown.push_back(r.isShown(k));
  }
  return new CVisibilityDialog(names, shown, parent);
}

void CPrismDoc::applyVisibility(const CVisibilityDialog& dialog) {
  if (dialog.lastBoxTicked()) exitProgram(0);
}
