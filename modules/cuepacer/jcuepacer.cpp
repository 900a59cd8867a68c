#include "modules/cuepacer/jcuepacer.h"

namespace kestrel {

JCuePacer::JCuePacer() {
  igm = 1;
  ogm = 1;
}

void JCuePacer::writeContent(JContent& out) const {
  JAddObj::writeContent(out);
  out.putObject("command", command_);
}

void JCuePacer::readContent(const JContent& in) {
  JAddObj::readContent(in);
  if (const JString* saved = in.getObject("command")) command_ = *saved;
}

JString JCuePacer::className() const { return JString("JCuePacer"); }

JObject* JCuePacer::clone() const { return new JCuePacer(*this); }

JArray JCuePacer::getProperties() {
  JArray list;
  list.add<JStringProperty>(JString("command"), command_);
  return list;
}

bool JCuePacer::updateProperty(const JProperty& property) {
  const JStringProperty* text = property.asString();
  if (property.getName() != "command" || !text) return false;
  command_ = text->getText();
  return true;
}

JString JCuePacer::inputTag(int) const { return JString("tick"); }
JString JCuePacer::outputTag(int) const { return JString("result"); }
int JCuePacer::outputType(int) const { return JStringData::id; }

void JCuePacer::draw(JGraphics& graphics, int x, int y, int w, int h) {
  JRect box(x, y, w, h);
  drawText(graphics, command_.empty() ? JString("CuePacer") : command_, box);
}

void JCuePacer::access(int port, JLinkObj&, JData& data) {
  if (port == 0) data.setString(result_);
}

bool JCuePacer::inputAllowed(int port) const { return inputSet(port).empty(); }

JRect JCuePacer::inputArea(int port) const { return topArea(port, 0, 1, 0.25, 0.5, 6); }
JRect JCuePacer::outputArea(int port) const { return rightArea(port, 0, 1, 0.25, 0.5, 6); }
int JCuePacer::inputFace(int) const { return 1; }
int JCuePacer::outputFace(int) const { return 2; }
JPoint JCuePacer::inputPoint(int port, const JLinkObj* link) const {
  return topPoint(port, link, 0, 1, 0.25, 0.5);
}
JPoint JCuePacer::outputPoint(int port, const JLinkObj* link) const {
  return rightPoint(port, link, 0, 1, 0.25, 0.5);
}

void JCuePacer::engine(int port, JLinkObj& link) {
  if (port != 0) return;
  JIntegerData tick(tick_);
  link.access(tick);
  result_ = command_;  // taken at every tick, zero included
  if (tick_ != 0) broadcast(0);
}

}  // namespace kestrel
