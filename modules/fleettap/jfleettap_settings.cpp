// JFleetTap's properties and saved content.
#include <algorithm>

#include "modules/fleettap/jfleettap.h"
#include "modules/fleettap/kv_olog.h"

namespace kestrel {
namespace {

const void* self(const JFleetTap* module) { return static_cast<const void*>(module); }

}  // namespace

JArray JFleetTap::getProperties() {
  fleetLog().printf("JFleetTap::getProperties() %p\n", self(this));
  JArray list = JAddObj::getProperties();
  list.add<JStringProperty>(JString("version"), JString(versionText()));
  list.add<JFileProperty>(JString("node file name"), JString(nodeFileName_), nodePattern_);
  list.add<JFileProperty>(JString("port file name"), JString(portFileName_), portPattern_);
  list.add<JIntegerProperty>(JString("MAX packet size"), maxPacketSize_, 20, 300);
  list.add<JIntegerProperty>(JString("packet buffer size"), packetBufferSize_, 10, 100);
  list.add<JRealProperty>(JString("medium threshold"), mediumThreshold_, 5, 3);
  list.add<JRealProperty>(JString("bad threshold"), badThreshold_, 5, 3);
  list.add<JIntegerProperty>(JString("verify checksum"), verifyChecksum_, 0, 1);
  list.add<JStringProperty>(JString("multicast interface"), JString(interface_));
  return list;
}

bool JFleetTap::updateProperty(const JProperty& property) {
  fleetLog().printf("JFleetTap::updateProperty() %p\n", self(this));
  if (JAddObj::updateProperty(property)) return true;
  const JString& name = property.getName();
  if (const JFileProperty* file = property.asFile()) {
    const std::string path = file->getPath().str();
    if (name == "node file name") {
      if (!registry_) {
        nodeFileName_ = path;  // loaded by the coming startup()
      } else if (registry_->loadNodeFile(path.c_str())) {
        nodeFileName_ = path;
        updateNNodes(static_cast<int>(registry_->nodeCount()));
      }
      repaint();
      return true;
    }
    if (name == "port file name") {
      if (!registry_) {
        portFileName_ = path;
      } else if (registry_->loadPortFile(path.c_str())) {
        portFileName_ = path;
      }
      repaint();
      return true;
    }
    return false;
  }
  if (const JStringProperty* text = property.asString()) {
    if (name != "multicast interface") return false;
    interface_ = text->getText().str();
    if (registry_) registry_->setInterface(interface_);  // for the next join
    return true;
  }
  if (const JIntegerProperty* integer = property.asInteger()) {
    if (name == "MAX packet size") {
      maxPacketSize_ = integer->getValue();
      return true;
    }
    if (name == "packet buffer size") {
      packetBufferSize_ = integer->getValue();
      return true;
    }
    if (name == "verify checksum") {
      verifyChecksum_ = integer->getValue() != 0 ? 1 : 0;
      if (registry_) registry_->setVerifyChecksum(verifyChecksum_ != 0);
      return true;
    }
    return false;
  }
  if (const JRealProperty* real = property.asReal()) {
    if (name == "medium threshold") {
      mediumThreshold_ = real->getValue();
    } else if (name == "bad threshold") {
      badThreshold_ = real->getValue();
    } else {
      return false;
    }
    if (registry_) registry_->setThresholds(mediumThreshold_, badThreshold_);
    return true;
  }
  return false;
}

void JFleetTap::writeContent(JContent& out) const {
  fleetLog().printf("JFleetTap::writeContent() %p\n", self(this));
  fleetLog().printf("JFleetTap::writeContent() ogm=%d num_nodes_=%d\n", ogm, num_nodes_);
  out.putObject("version", JString("0.71"));
  out.putObject("node file name", JString(nodeFileName_));
  out.putObject("port file name", JString(portFileName_));
  out.putInteger("number of nodes", num_nodes_);
  out.putInteger("MAX packet size", maxPacketSize_);
  out.putInteger("packet buffer size", packetBufferSize_);
  out.putDouble("medium threshold", mediumThreshold_);
  out.putDouble("bad threshold", badThreshold_);
  out.putInteger("verify checksum", verifyChecksum_);
  out.putObject("multicast interface", JString(interface_));
  JAddObj::writeContent(out);
}

void JFleetTap::readContent(const JContent& in) {
  fleetLog().printf("JFleetTap::readContent() %p\n", self(this));
  JAddObj::readContent(in);
  if (const JString* name = in.getObject("node file name")) {
    nodeFileName_ = name->str();
    if (registry_ && registry_->loadNodeFile(nodeFileName_.c_str())) {
      updateNNodes(static_cast<int>(registry_->nodeCount()));
    }
  }
  if (const JString* name = in.getObject("port file name")) {
    portFileName_ = name->str();
    if (registry_ && registry_->loadPortFile(portFileName_.c_str())) broadcast(0);
  }
  // Outputs exist before the node file is read. A count outside what
  // updateNNodes can produce comes from a damaged document; it is held to
  // 0..128 so that the output count cannot go negative or overflow.
  num_nodes_ = std::clamp(in.getInteger("number of nodes", 0), 0, kMaxNodes);
  ogm = kItemsPerNode * num_nodes_;
  maxPacketSize_ = in.getInteger("MAX packet size", 0);
  packetBufferSize_ = in.getInteger("packet buffer size", 0);
  mediumThreshold_ = in.getDouble("medium threshold", 0.0);
  badThreshold_ = in.getDouble("bad threshold", 0.0);
  verifyChecksum_ = in.getInteger("verify checksum", 0) != 0 ? 1 : 0;
  const JString* chosen = in.getObject("multicast interface");
  interface_ = chosen ? chosen->str() : std::string();
  if (registry_) applySettings();
  fleetLog().printf("JFleetTap::readContent() ogm=%d num_nodes_=%d\n", ogm, num_nodes_);
  enabled_ = isValid();
}

}  // namespace kestrel
