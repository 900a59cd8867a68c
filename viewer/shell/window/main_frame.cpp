#include "viewer/shell/window/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "viewer/shell/window/command_ids.h"
#include "viewer/shell/window/dialogs.h"
#include "viewer/shell/window/prism_doc.h"
#include "viewer/shell/window/prism_view.h"
#include "viewer/shell/window/scene_picture.h"
#include "viewer/shell/window/toolbar_icons.h"

using namespace kestrel::shell;

CMainFrame::CMainFrame(CPrismView* view, CPrismDoc* doc) : view_(view), doc_(doc) {
  setWindowTitle("Kestrel");
  setCentralWidget(view_);
  createActions();
  createMenus();
  createToolBars();
  createStatusBar();
  connect(view_, &CPrismView::sceneContentChanged, this, &CMainFrame::updateEnabling);
  updateEnabling(view_->sceneContent());
  resize(900, 650);
}

QAction* CMainFrame::makeAction(int id) {
  const CommandInfo* info = commandInfo(id);
  auto* action = new QAction(QString::fromUtf8(info->text), this);
  action->setObjectName(QString("command%1").arg(id));
  QString prompt = QString::fromUtf8(info->prompt);
  QStringList parts = prompt.split('\n');
  action->setStatusTip(parts.value(0));
  action->setToolTip(parts.size() > 1 && !parts[1].isEmpty() ? parts[1] : parts.value(0));
  if (onToolbar(id)) action->setIcon(toolbarIcon(id));
  connect(action, &QAction::triggered, this, [this, id] { onCommand(id); });
  actions_[id] = action;
  addAction(action);  // reachable even without a menu item or button
  return action;
}

void CMainFrame::createActions() {
  for (const CommandInfo& info : kCommands) makeAction(info.id);
  actions_[kFileOpen]->setShortcut(QKeySequence::Open);
  actions_[kAppExit]->setShortcut(QKeySequence::Quit);
  actions_[kViewToolbar]->setCheckable(true);
  actions_[kViewToolbar]->setChecked(true);
  actions_[kViewStatusBar]->setCheckable(true);
  actions_[kViewStatusBar]->setChecked(true);
}

void CMainFrame::createMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->addAction(actions_[kFileOpen]);
  file->addAction(actions_[kFileSaveAs]);
  file->addSeparator();
  file->addAction(actions_[kAppExit]);
  QMenu* view = menuBar()->addMenu("&View");
  view->addAction(actions_[kViewToolbar]);
  view->addAction(actions_[kViewStatusBar]);
  view->addSeparator();
  view->addAction(actions_[kLabelObject]);
  view->addAction(actions_[kVisibility]);
  view->addAction(actions_[kClearSpace]);
  view->addSeparator();
  viewpointMenu_ = view->addMenu("Vie&wpoints");
  viewpointMenu_->setObjectName("viewpointMenu");
  connect(viewpointMenu_, &QMenu::aboutToShow, this, &CMainFrame::fillViewpointMenu);
  fillViewpointMenu();
  QMenu* help = menuBar()->addMenu("&Help");
  help->addAction(actions_[kAppAbout]);
}

void CMainFrame::fillViewpointMenu() {
  ViewpointChoice& choice = view_->picture().viewpoints();
  viewpointMenu_->clear();
  std::vector<std::string> labels = choice.labels();
  int current = choice.current();
  for (size_t i = 0; i < labels.size(); ++i) {
    QAction* a = viewpointMenu_->addAction(QString::fromStdString(labels[i]));
    a->setCheckable(true);
    a->setChecked(int(i) == current);
    connect(a, &QAction::triggered, this, [&choice, i] { choice.choose(i); });
  }
  if (labels.empty()) {
    viewpointMenu_->addAction("(the world has no viewpoints)")->setEnabled(false);
    return;
  }
  viewpointMenu_->addSeparator();
  connect(viewpointMenu_->addAction("Next viewpoint\tPgDown"), &QAction::triggered, this,
          [&choice] { choice.step(1); });
  connect(viewpointMenu_->addAction("Previous viewpoint\tPgUp"), &QAction::triggered, this,
          [&choice] { choice.step(-1); });
}

void CMainFrame::createToolBars() {
  toolbar_ = addToolBar("Toolbar");
  toolbar_->setObjectName("toolbar128");
  for (int id : kToolbar) {
    if (id == 0) {
      toolbar_->addSeparator();
    } else {
      toolbar_->addAction(actions_[id]);
    }
  }
}

void CMainFrame::createStatusBar() {
  for (const char* pane : {"CAP", "NUM", "SCRL"}) {
    statusBar()->addPermanentWidget(new QLabel(pane, this));
  }
  statusBar()->showMessage("Ready");
}

QAction* CMainFrame::action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::updateEnabling(bool sceneContent) {
  for (auto& [id, action] : actions_) action->setEnabled(commandEnabled(id, sceneContent));
}

void CMainFrame::onCommand(int id) {
  switch (id) {
    case kFileOpen: {
      QString path = QFileDialog::getOpenFileName(this, "Open");
      if (!path.isEmpty()) doc_->openFile(path);
      break;
    }
    case kFileSaveAs: {
      QString path = QFileDialog::getSaveFileName(this, "Save As");
      if (!path.isEmpty()) doc_->saveStateAs(path);
      break;
    }
    case kAppExit: close(); break;
    case kViewToolbar: toolbar_->setVisible(actions_[id]->isChecked()); break;
    case kViewStatusBar: statusBar()->setVisible(actions_[id]->isChecked()); break;
    case kLabelObject: {
      CLabelDialog dialog(this);
      if (dialog.exec() == QDialog::Accepted) doc_->labelObject(dialog.label());
      break;
    }
    case kVisibility: {
      std::unique_ptr<CVisibilityDialog> dialog(doc_->makeVisibilityDialog(this));
      if (dialog->exec() == QDialog::Accepted) doc_->applyVisibility(*dialog);
      break;
    }
    case kAppAbout: {
      CAboutDialog dialog(this);
      dialog.exec();
      break;
    }
    case kAddCube:
      view_->engine().view().ChooseImageTexture([this]() -> std::optional<std::string> {
        QString path = QFileDialog::getOpenFileName(this, "Open", QString(),
                                                    "jpg Files (*.jpg);;All Files (*.*)");
        if (path.isEmpty()) return std::nullopt;
        return path.toStdString();
      });
      break;
    case kSearch: {
      CSearchDialog dialog(this);
      if (dialog.exec() != QDialog::Accepted) break;
      // An unreachable service changes nothing and says nothing; the
      // request is bounded by the endpoint's timeout.
      view_->search(dialog.text().toStdString());
      break;
    }
    default: view_->runCommand(id);
  }
}
