// CPrismDoc: the document. It holds no data of its own; it opens files
// through the engine's loaders, saves the state file, and runs the label,
// visibility and search dialogs on the view's engine.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class CPrismView;
class CVisibilityDialog;

class CPrismDoc : public QObject {
  Q_OBJECT
 public:
  explicit CPrismDoc(CPrismView& view, QObject* parent = nullptr);

  // A file named on the command line.
  bool openDocument(const QString& path);
  void openFile(const QString& path);
  // Save As: the state file of every object at PATH; false when it cannot
  // be written.
  bool saveStateAs(const QString& path);
  void labelObject(const QString& label);
  // OK of the visibility dialog: a tick in its last box ends the program.
  void applyVisibility(const CVisibilityDialog& dialog);
  CVisibilityDialog* makeVisibilityDialog(QWidget* parent) const;

  // How the program ends; tests replace it.
  std::function<void(int)> exitProgram;

 private:
  CPrismView& view_;
};
