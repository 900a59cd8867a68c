// ViewpointChoice: the world's Viewpoints as the user picks them from the
// View menu or steps through them with Page Up / Page Down. Choosing one
// sends it set_bind TRUE. GUI thread only.
#pragma once

#include <string>
#include <vector>

#include "viewer/browser/vrml_browser.h"

class ViewpointChoice {
 public:
  explicit ViewpointChoice(kestrel::CVrmlBrowser& browser) : browser_(&browser) {}
  // Lists BROWSER's Viewpoints from now on (a replay's fresh engine).
  void show(kestrel::CVrmlBrowser& browser) {
    browser_ = &browser;
    chosen_.reset();
  }

  // The menu's entries: each Viewpoint's description (else its DEF name,
  // else "Viewpoint N"), in the world's order.
  std::vector<std::string> labels() const;
  // Binds the INDEXth Viewpoint; false when there is no such Viewpoint.
  bool choose(size_t index);
  // Binds the Viewpoint STEPS places after (before, when negative) the
  // current one, going round; false when the world has none.
  bool step(int steps);
  // The index of the current Viewpoint: the last one chosen, else the bound
  // one; -1 when the world has none.
  int current() const;

 private:
  std::vector<kestrel::NodePtr> viewpoints() const;

  kestrel::CVrmlBrowser* browser_;
  std::weak_ptr<kestrel::Node> chosen_;
};
