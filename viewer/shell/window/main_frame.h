// CMainFrame: the main window "Kestrel" with its menus, toolbar and status
// bar. Every command id is one QAction with its prompt as status tip and
// tool tip, enabled by the scene-content rule.
#pragma once

#include <QMainWindow>
#include <map>

class QAction;
class CPrismDoc;
class CPrismView;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  CMainFrame(CPrismView* view, CPrismDoc* doc);

  QAction* action(int id) const;
  // The View menu's Viewpoints submenu (filled when it opens).
  QMenu* viewpointMenu() const { return viewpointMenu_; }
  // Enables every command by the scene-content rule.
  void updateEnabling(bool sceneContent);

 private:
  void createActions();
  void createMenus();
  void createToolBars();
  void createStatusBar();
  QAction* makeAction(int id);
  void onCommand(int id);
  // The View menu's list of the world's Viewpoints, made when it opens.
  void fillViewpointMenu();

  CPrismView* view_;
  CPrismDoc* doc_;
  std::map<int, QAction*> actions_;
  class QToolBar* toolbar_ = nullptr;
  class QMenu* viewpointMenu_ = nullptr;
};
