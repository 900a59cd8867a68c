#include "viewer/browser/anchor_links.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "viewer/browser/render/core/node_fields.h"
#include "viewer/browser/scene.h"

namespace kestrel {
namespace {

std::string lowered(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return out;
}

bool namesVrmlFile(std::string_view url) {
  std::string path = lowered(url.substr(0, url.find_first_of("#?")));
  for (std::string_view end : {".wrl", ".wrz", ".wrl.gz"})
    if (path.ends_with(end)) return true;
  return false;
}

void collectViewpoints(const std::vector<NodePtr>& roots, std::vector<NodePtr>& out,
                       std::unordered_set<const Node*>& seen, int depth) {
  if (depth > 16) return;
  forEachNode(roots, [&](const NodePtr& n) {
    if (kindOf(*n) == NodeKind::Viewpoint && seen.insert(n.get()).second) out.push_back(n);
    const NodeExtras& extras = n->extras();
    if (!extras.protoBody.empty()) collectViewpoints(extras.protoBody, out, seen, depth + 1);
    if (extras.inlineScene) {
      collectViewpoints(extras.inlineScene->rootNodes(), out, seen, depth + 1);
    }
  });
}

}  // namespace

AnchorLink anchorLink(const Node& anchor) {
  AnchorLink link;
  link.description = fieldOr(anchor, "description", std::string{});
  const auto& urls = listOf<std::string>(anchor, "url");
  if (urls.empty() || urls.front().empty()) return link;
  const std::string& url = urls.front();
  if (url.front() == '#') {
    link.target = AnchorLink::Target::Viewpoint;
    link.url = url.substr(1);
  } else {
    link.target = namesVrmlFile(url) ? AnchorLink::Target::World : AnchorLink::Target::Elsewhere;
    link.url = url;
  }
  return link;
}

bool bindViewpoint(const NodePtr& viewpoint, Cascade& cascade) {
  if (!viewpoint || kindOf(*viewpoint) != NodeKind::Viewpoint) return false;
  return cascade.send(viewpoint, viewpoint->type->findField("set_bind"),
                      {FieldType::SFBool, true});
}

std::vector<NodePtr> viewpointsOf(const std::vector<NodePtr>& roots) {
  std::vector<NodePtr> out;
  std::unordered_set<const Node*> seen;
  collectViewpoints(roots, out, seen, 0);
  return out;
}

std::string viewpointLabel(const Node& viewpoint, size_t index) {
  std::string description = fieldOr(viewpoint, "description", std::string{});
  if (!description.empty()) return description;
  if (!viewpoint.name.empty()) return viewpoint.name.str();
  return "Viewpoint " + std::to_string(index + 1);
}

}  // namespace kestrel
