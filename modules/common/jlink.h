// JLinkObj: one link from an output port of a module to an input port of
// another (or the same) module.
//
// The host owns links; both ends keep raw pointers to them for as long as
// the link is attached. A link does not own either module.
#pragma once

#include "modules/common/export.h"

namespace kestrel {

class JData;
class JModuleObj;

class KESTREL_API JLinkObj {
 public:
  JLinkObj(JModuleObj* from, int fromPort, JModuleObj* to, int toPort)
      : from_(from), fromPort_(fromPort), to_(to), toPort_(toPort) {}
  JLinkObj(const JLinkObj&) = delete;
  JLinkObj& operator=(const JLinkObj&) = delete;

  // Pulls the value of the source output into the wrapper: the source
  // module's access() writes it. Runs on the host's thread.
  void access(JData& data);

  JModuleObj* from() const { return from_; }
  int fromPort() const { return fromPort_; }
  JModuleObj* to() const { return to_; }
  int toPort() const { return toPort_; }
  // The type id of the source output.
  int type() const;

 private:
  JModuleObj* from_;
  int fromPort_;
  JModuleObj* to_;
  int toPort_;
};

}  // namespace kestrel
