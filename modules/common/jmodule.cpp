#include "modules/common/jmodule.h"

#include <algorithm>
#include <cmath>

#include "modules/common/jcomponent.h"
#include "modules/common/jregistry.h"

namespace kestrel {
namespace {

const std::vector<JLinkObj*> kNoLinks;

const std::vector<JLinkObj*>& portLinks(const std::vector<std::vector<JLinkObj*>>& ports,
                                         int port) {
  if (port < 0 || port >= static_cast<int>(ports.size())) return kNoLinks;
  return ports[static_cast<std::size_t>(port)];
}

void addLink(std::vector<std::vector<JLinkObj*>>& ports, int port, JLinkObj* link) {
  if (port < 0) return;
  if (port >= static_cast<int>(ports.size())) ports.resize(static_cast<std::size_t>(port) + 1);
  ports[static_cast<std::size_t>(port)].push_back(link);
}

void dropLink(std::vector<std::vector<JLinkObj*>>& ports, JLinkObj* link) {
  for (auto& links : ports) links.erase(std::remove(links.begin(), links.end(), link), links.end());
}

// Fraction along a side of the centre of a port's slot.
double slot(int port, int first, int count, double from, double span) {
  if (count < 1) count = 1;
  return from + span * (port - first + 0.5) / count;
}

int round(double v) { return static_cast<int>(std::lround(v)); }

JRect around(JPoint p, int size) { return JRect(p.x - size / 2, p.y - size / 2, size, size); }

}  // namespace

JHost::~JHost() = default;

// JObject

void JObject::writeContent(JContent&) const {}
void JObject::readContent(const JContent&) {}
JObject::~JObject() = default;

// JViewObj

void JViewObj::paint(JGraphics& graphics, double scaleX, double scaleY) {
  graphics.setColor(color);
  graphics.fill3DRect(getIExtent(scaleX, scaleY), 1);
}

JArray JViewObj::getProperties() { return JArray(); }

bool JViewObj::updateProperty(const JProperty&) { return false; }

JRect JViewObj::getIExtent(double scaleX, double scaleY) const {
  return JRect(round(extent_.x * scaleX), round(extent_.y * scaleY),
               round(extent_.width * scaleX), round(extent_.height * scaleY));
}

void JViewObj::moveTo(int x, int y) {
  extent_.x = x;
  extent_.y = y;
}

// JModuleObj

JModuleObj::JModuleObj(const JModuleObj& other)
    : JViewObj(other), igm(other.igm), ogm(other.ogm) {}

JModuleObj& JModuleObj::operator=(const JModuleObj& other) {
  if (this != &other) {
    JViewObj::operator=(other);
    igm = other.igm;
    ogm = other.ogm;
  }
  return *this;
}

JModuleObj::~JModuleObj() = default;

JString JModuleObj::inputTag(int) const { return JString("in"); }
JString JModuleObj::outputTag(int) const { return JString("out"); }
int JModuleObj::inputType(int) const { return JIntegerData::id; }
int JModuleObj::outputType(int) const { return JIntegerData::id; }

void JModuleObj::draw(JGraphics& graphics, int x, int y, int w, int h) {
  graphics.drawText(className(), JRect(x, y, w, h));
}

void JModuleObj::paint(JGraphics& graphics, double scaleX, double scaleY) {
  JViewObj::paint(graphics, scaleX, scaleY);
  JRect box = getIExtent(scaleX, scaleY);
  draw(graphics, box.x + depth2, box.y + depth2, std::max(0, box.width - 2 * depth2),
       std::max(0, box.height - 2 * depth2));
}

void JModuleObj::access(int, JLinkObj&, JData&) {}
bool JModuleObj::inputAllowed(int) const { return true; }
bool JModuleObj::outputAllowed(int) const { return true; }
JRect JModuleObj::inputArea(int port) const { return leftArea(port, 0, igm, 0.1, 0.8, portSize); }
JRect JModuleObj::outputArea(int port) const {
  return rightArea(port, 0, ogm, 0.1, 0.8, portSize);
}
int JModuleObj::inputFace(int) const { return 0; }
int JModuleObj::outputFace(int) const { return 2; }
JPoint JModuleObj::inputPoint(int port, const JLinkObj* link) const {
  return leftPoint(port, link, 0, igm, 0.1, 0.8);
}
JPoint JModuleObj::outputPoint(int port, const JLinkObj* link) const {
  return rightPoint(port, link, 0, ogm, 0.1, 0.8);
}
void JModuleObj::engine(int, JLinkObj&) {}
void JModuleObj::addButton(JComponent& component) { component.addModuleButton(*this); }

const std::vector<JLinkObj*>& JModuleObj::inputSet(int port) const {
  return portLinks(inputs_, port);
}
const std::vector<JLinkObj*>& JModuleObj::outputSet(int port) const {
  return portLinks(outputs_, port);
}
void JModuleObj::attachInput(int port, JLinkObj* link) { addLink(inputs_, port, link); }
void JModuleObj::attachOutput(int port, JLinkObj* link) { addLink(outputs_, port, link); }
void JModuleObj::detach(JLinkObj* link) {
  dropLink(inputs_, link);
  dropLink(outputs_, link);
}

JRect JModuleObj::leftArea(int port, int first, int count, double from, double span,
                           int size) const {
  return around(leftPoint(port, nullptr, first, count, from, span), size);
}
JRect JModuleObj::topArea(int port, int first, int count, double from, double span,
                          int size) const {
  return around(topPoint(port, nullptr, first, count, from, span), size);
}
JRect JModuleObj::rightArea(int port, int first, int count, double from, double span,
                            int size) const {
  return around(rightPoint(port, nullptr, first, count, from, span), size);
}
JPoint JModuleObj::leftPoint(int port, const JLinkObj*, int first, int count, double from,
                             double span) const {
  return JPoint{extent_.x, extent_.y + round(extent_.height * slot(port, first, count, from, span))};
}
JPoint JModuleObj::topPoint(int port, const JLinkObj*, int first, int count, double from,
                            double span) const {
  return JPoint{extent_.x + round(extent_.width * slot(port, first, count, from, span)), extent_.y};
}
JPoint JModuleObj::rightPoint(int port, const JLinkObj*, int first, int count, double from,
                              double span) const {
  return JPoint{extent_.x + extent_.width,
                extent_.y + round(extent_.height * slot(port, first, count, from, span))};
}

// JAddObj

JString JAddObj::Register() const {
  JObject* copy = clone();
  auto* prototype = dynamic_cast<JAddObj*>(copy);
  if (!prototype) {
    delete copy;
    return JString();
  }
  JString name = prototype->className();
  if (!JModuleRegistry::global().add(std::unique_ptr<JAddObj>(prototype))) return JString();
  return name;
}

void JAddObj::writeContent(JContent& out) const {
  out.putInteger("x", extent_.x);
  out.putInteger("y", extent_.y);
}

void JAddObj::readContent(const JContent& in) {
  moveTo(in.getInteger("x", extent_.x), in.getInteger("y", extent_.y));
}

void JAddObj::broadcast(int port) {
  if (host_) host_->broadcast(*this, port);
}

void JAddObj::repaint() {
  if (host_) host_->repaint(*this);
}

void JAddObj::addModuleButton(JComponent& component, const JModuleObj& prototype) {
  component.addModuleButton(prototype);
}

void JAddObj::drawText(JGraphics& graphics, const JString& text, const JRect& box) {
  graphics.drawText(text, box);
}

}  // namespace kestrel
