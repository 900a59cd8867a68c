#include "viewer/shell/window/viewpoint_choice.h"

#include <algorithm>

#include "viewer/browser/anchor_links.h"
#include "viewer/browser/render/core/traversal.h"

std::vector<kestrel::NodePtr> ViewpointChoice::viewpoints() const {
  return kestrel::viewpointsOf(browser_->scene().rootNodes());
}

std::vector<std::string> ViewpointChoice::labels() const {
  std::vector<std::string> out;
  std::vector<kestrel::NodePtr> all = viewpoints();
  for (size_t i = 0; i < all.size(); ++i) out.push_back(kestrel::viewpointLabel(*all[i], i));
  return out;
}

bool ViewpointChoice::choose(size_t index) {
  std::vector<kestrel::NodePtr> all = viewpoints();
  if (index >= all.size()) return false;
  kestrel::Cascade cascade = browser_->cascade();
  if (!kestrel::bindViewpoint(all[index], cascade)) return false;
  chosen_ = all[index];
  return true;
}

int ViewpointChoice::current() const {
  std::vector<kestrel::NodePtr> all = viewpoints();
  const kestrel::Node* now = chosen_.lock().get();
  if (!now || std::find_if(all.begin(), all.end(), [&](auto& v) { return v.get() == now; }) ==
                  all.end()) {
    now = kestrel::findBindings(browser_->scene().rootNodes()).viewpoint;
  }
  auto at = std::find_if(all.begin(), all.end(), [&](auto& v) { return v.get() == now; });
  if (at != all.end()) return int(at - all.begin());
  return all.empty() ? -1 : 0;
}

bool ViewpointChoice::step(int steps) {
  int count = int(viewpoints().size());
  if (count == 0) return false;
  int from = current();
  return choose(size_t(((from + steps) % count + count) % count));
}
