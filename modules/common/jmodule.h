// The module classes of the host contract: JObject, JViewObj, JModuleObj and
// JAddObj, the base every plug-in module derives from, and JHost, the host's
// side of broadcast() and repaint().
//
// Threads: a module is called only on the host's thread. A module belongs to
// the host that created it (through clone() of a registered prototype); it
// keeps a non-owning pointer to that host, set before startup().
//
// Virtual operations, in slot order: writeContent, readContent, destructor,
// className, clone, startup, reset, close, paint, getProperties,
// updateProperty, inputTag, outputTag, inputType, outputType, draw, access,
// inputAllowed, outputAllowed, inputArea, outputArea, inputFace, outputFace,
// inputPoint, outputPoint, engine, addButton.
#pragma once

#include <vector>

#include "modules/common/export.h"
#include "modules/common/jcontent.h"
#include "modules/common/jdata.h"
#include "modules/common/jgraphics.h"
#include "modules/common/jlink.h"
#include "modules/common/jproperty.h"
#include "modules/common/jstring.h"

namespace kestrel {

class JComponent;
class JModuleObj;

// What a module asks of its host. Implemented by the host, called by
// modules on the host's thread.
class KESTREL_API JHost {
 public:
  virtual ~JHost();
  // The value of the output changed: deliver it to every linked input now.
  virtual void broadcast(JModuleObj& source, int port) = 0;
  // The face of the module should be drawn again.
  virtual void repaint(JModuleObj& module) = 0;
};

class KESTREL_API JObject {
 public:
  JObject() = default;
  JObject(const JObject&) = default;
  JObject& operator=(const JObject&) = default;

  virtual void writeContent(JContent& out) const;
  virtual void readContent(const JContent& in);
  virtual ~JObject();
  virtual JString className() const = 0;
  // A new instance made by the copy constructor; the caller owns it.
  virtual JObject* clone() const = 0;
};

class KESTREL_API JViewObj : public JObject {
 public:
  JViewObj() = default;
  JViewObj(const JViewObj&) = default;
  JViewObj& operator=(const JViewObj&) = default;

  virtual void startup() {}
  virtual void reset() {}
  virtual void close() {}
  // Draws the body in the module's colour; overriders call this first.
  // Scale factors map the extent to the surface.
  virtual void paint(JGraphics& graphics, double scaleX, double scaleY);
  virtual JArray getProperties();
  // Takes one property matched by its name; true when taken.
  virtual bool updateProperty(const JProperty& property);

  // The module's extent on the host's canvas, scaled and rounded.
  JRect getIExtent(double scaleX, double scaleY) const;
  void moveTo(int x, int y);
  const JRect& extent() const { return extent_; }
  const JColor& bodyColor() const { return color; }

 protected:
  JColor color = JColor::lightGray;
  JRect extent_{0, 0, 80, 48};
};

class KESTREL_API JModuleObj : public JViewObj {
 public:
  // Width of the body's raised border.
  static constexpr int depth2 = 4;
  // Side of a port's sensitive square.
  static constexpr int portSize = 6;

  JModuleObj() = default;
  // A copy has the same ports and settings but no links and no host.
  JModuleObj(const JModuleObj& other);
  JModuleObj& operator=(const JModuleObj& other);
  ~JModuleObj() override;

  // The body, then the face drawn by draw() inside its border.
  void paint(JGraphics& graphics, double scaleX, double scaleY) override;

  virtual JString inputTag(int port) const;
  virtual JString outputTag(int port) const;
  virtual int inputType(int port) const;
  virtual int outputType(int port) const;
  virtual void draw(JGraphics& graphics, int x, int y, int w, int h);
  // Writes the value of the output into the wrapper.
  virtual void access(int port, JLinkObj& link, JData& data);
  virtual bool inputAllowed(int port) const;
  virtual bool outputAllowed(int port) const;
  virtual JRect inputArea(int port) const;
  virtual JRect outputArea(int port) const;
  // Side of a port: 0 left, 1 top, 2 right.
  virtual int inputFace(int port) const;
  virtual int outputFace(int port) const;
  virtual JPoint inputPoint(int port, const JLinkObj* link) const;
  virtual JPoint outputPoint(int port, const JLinkObj* link) const;
  // The input changed; the module pulls its value with link.access().
  virtual void engine(int port, JLinkObj& link);
  virtual void addButton(JComponent& component);

  int inputCount() const { return igm; }
  int outputCount() const { return ogm; }
  // Links into an input, or out of an output; empty for ports without links.
  const std::vector<JLinkObj*>& inputSet(int port) const;
  const std::vector<JLinkObj*>& outputSet(int port) const;

  // Host side: attach and detach links, set the host.
  void attachInput(int port, JLinkObj* link);
  void attachOutput(int port, JLinkObj* link);
  void detach(JLinkObj* link);
  void setHost(JHost* host) { host_ = host; }
  JHost* host() const { return host_; }

 protected:
  // Port placement on a side: the port's place among count ports starting at
  // first, spread over the fraction span of the side starting at fraction
  // from. Areas are squares of the given size centred on the point.
  JRect leftArea(int port, int first, int count, double from, double span, int size) const;
  JRect topArea(int port, int first, int count, double from, double span, int size) const;
  JRect rightArea(int port, int first, int count, double from, double span, int size) const;
  JPoint leftPoint(int port, const JLinkObj* link, int first, int count, double from,
                   double span) const;
  JPoint topPoint(int port, const JLinkObj* link, int first, int count, double from,
                  double span) const;
  JPoint rightPoint(int port, const JLinkObj* link, int first, int count, double from,
                    double span) const;

  int igm = 0;  // input count
  int ogm = 0;  // output count
  JHost* host_ = nullptr;

 private:
  std::vector<std::vector<JLinkObj*>> inputs_;
  std::vector<std::vector<JLinkObj*>> outputs_;
};

class KESTREL_API JAddObj : public JModuleObj {
 public:
  JAddObj() = default;
  JAddObj(const JAddObj&) = default;
  JAddObj& operator=(const JAddObj&) = default;

  // Registers a clone of this instance as the prototype of its class with
  // the process-wide registry and returns the class name (empty when the
  // name was taken already).
  JString Register() const;

  void writeContent(JContent& out) const override;
  void readContent(const JContent& in) override;

 protected:
  void broadcast(int port);
  void repaint();
  void addModuleButton(JComponent& component, const JModuleObj& prototype);
  void drawText(JGraphics& graphics, const JString& text, const JRect& box);
};

}  // namespace kestrel
