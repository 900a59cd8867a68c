// JFleetTap's face: port placement, the body and the three face texts.
#include <cstdio>

#include "modules/fleettap/jfleettap.h"
#include "modules/fleettap/kv_olog.h"

namespace kestrel {
namespace {

const void* self(const JFleetTap* module) { return static_cast<const void*>(module); }

}  // namespace

bool JFleetTap::inputAllowed(int port) const {
  fleetLog().printf("JFleetTap::inputAllowed() %p\n", self(this));
  return inputSet(port).empty();
}

bool JFleetTap::outputAllowed(int) const {
  fleetLog().printf("JFleetTap::outputAllowed() %p\n", self(this));
  return true;
}

int JFleetTap::inputFace(int port) const {
  fleetLog().printf("JFleetTap::inputFace() n=%d %p\n", port, self(this));
  return 1;
}

int JFleetTap::outputFace(int port) const {
  fleetLog().printf("JFleetTap::outputFace() n=%d %p\n", port, self(this));
  return 2;
}

JRect JFleetTap::inputArea(int port) const {
  fleetLog().printf("JFleetTap::inputArea() n=%d %p\n", port, self(this));
  return topArea(port, 0, 2, 0.25, 0.5, 6);
}

JPoint JFleetTap::inputPoint(int port, const JLinkObj* link) const {
  fleetLog().printf("JFleetTap::innputPoinnt() n=%d %p\n", port, self(this));
  return topPoint(port, link, 0, 2, 0.25, 0.5);
}

JRect JFleetTap::outputArea(int port) const {
  fleetLog().printf("JFleetTap::outputArea() n=%d %p\n", port, self(this));
  if (port < 0 || port >= ogm) return rightArea(1, 0, 17, 0.01, 0.99, 6);
  return rightArea(port, 0, kItemsPerNode * num_nodes_ + 1, 0.01, 0.99, 6);
}

JPoint JFleetTap::outputPoint(int port, const JLinkObj* link) const {
  fleetLog().printf("JFleetTap::outputPoint() n=%d %p\n", port, self(this));
  if (port < 0 || port >= ogm) return rightPoint(1, link, 0, 17, 0.01, 0.99);
  return rightPoint(port, link, 0, kItemsPerNode * num_nodes_ + 1, 0.01, 0.99);
}

void JFleetTap::paint(JGraphics& graphics, double scaleX, double scaleY) {
  fleetLog().printf("JFleetTap::paint() %p\n", self(this));
  JAddObj::paint(graphics, scaleX, scaleY);
  const JRect extent = getIExtent(scaleX, scaleY);
  graphics.setColor(color);
  graphics.fill3DRect(JRect(extent.x + depth2, extent.y + depth2, depth2, depth2), 3);
}

void JFleetTap::draw(JGraphics& graphics, int x, int y, int w, int h) {
  fleetLog().printf("JFleetTap::draw() %p\n", self(this));
  char ports[32];
  char nodes[32];
  std::snprintf(ports, sizeof ports, "%d ports", registry_ ? registry_->portCount() : 0);
  std::snprintf(nodes, sizeof nodes, "%u nodes", registry_ ? registry_->nodeCount() : 0u);
  const int third = h / 3;
  drawText(graphics, JString("ROV"), JRect(x, y + h / 12, w, third));
  drawText(graphics, JString(ports), JRect(x, y + h / 3, w, third));
  drawText(graphics, JString(nodes), JRect(x, y + (2 * h) / 3 - h / 12, w, third));
}

}  // namespace kestrel
