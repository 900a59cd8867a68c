// Any script text runs or fails with a log line, and any field values sent
// into a script's eventIns reach it or are refused; nothing may crash, hang
// past the call budget or leak. The input is the program, a NUL byte, and
// bytes that become the values sent (floats, integers, strings).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "viewer/browser/vrml_browser.h"
#include "viewer/intake/diagnostic_log.h"

namespace {

// The Script every input runs in: eventIns of several types, eventOuts
// and fields of every kind of value, routes to nodes and back.
const char* kWorld = R"(
DEF T Transform { children [ DEF G Group {} ] }
DEF S Script {
  directOutput TRUE
  eventIn SFFloat sffloat  eventIn SFVec3f sfvec3f  eventIn SFRotation sfrotation
  eventIn SFImage sfimage  eventIn MFString mfstring  eventIn MFVec3f mfvec3f
  eventIn SFNode sfnode    eventIn MFNode mfnode    eventIn SFColor sfcolor
  eventOut SFVec3f out3    eventOut MFNode outNodes  eventOut SFImage outImage
  eventOut MFFloat outFloats  eventOut SFString outText  eventOut SFRotation outTurn
  field SFNode group USE G  field MFInt32 ints [ 1 2 3 ]  field SFTime when 0
  url "javascript: )";

// Reads the next value of type T from the bytes, zero when they run out.
template <class T>
T take(std::string_view& bytes) {
  T v{};
  if (bytes.size() >= sizeof v) {
    std::memcpy(&v, bytes.data(), sizeof v);
    bytes.remove_prefix(sizeof v);
  }
  return v;
}

kestrel::Vec3f takeVec(std::string_view& b) {
  return {take<float>(b), take<float>(b), take<float>(b)};
}

void sendValues(kestrel::CVrmlBrowser& browser, std::string_view bytes) {
  using kestrel::FieldType;
  using kestrel::FieldValue;
  kestrel::NodeHandle script, group;
  browser.findNode("S", script);
  browser.findNode("G", group);
  auto send = [&](const char* member, FieldValue v) {
    kestrel::FieldHandle h;
    if (browser.field(script, member, h)) h.set(std::move(v));
  };
  while (!bytes.empty()) {
    switch (take<uint8_t>(bytes) % 9) {
      case 0: send("sffloat", {FieldType::SFFloat, take<float>(bytes)}); break;
      case 1: send("sfvec3f", {FieldType::SFVec3f, takeVec(bytes)}); break;
      case 2: send("sfcolor", {FieldType::SFColor, takeVec(bytes)}); break;
      case 3: {
        kestrel::Vec3f a = takeVec(bytes);
        send("sfrotation", {FieldType::SFRotation, kestrel::Rotation{a.x, a.y, a.z, take<float>(bytes)}});
        break;
      }
      case 4: {
        kestrel::Image image{1, 1, take<uint8_t>(bytes) % 5, {take<uint32_t>(bytes)}};
        send("sfimage", {FieldType::SFImage, image});
        break;
      }
      case 5: {
        size_t n = take<uint8_t>(bytes) % 16;
        std::string text(bytes.substr(0, n));
        bytes.remove_prefix(std::min(n, bytes.size()));
        send("mfstring", {FieldType::MFString, std::vector<std::string>{text, text}});
        break;
      }
      case 6: send("mfvec3f", {FieldType::MFVec3f, std::vector<kestrel::Vec3f>{takeVec(bytes)}}); break;
      case 7: send("sfnode", {FieldType::SFNode, group.node()}); break;
      default: send("mfnode", {FieldType::MFNode, std::vector<kestrel::NodePtr>{group.node()}}); break;
    }
  }
}

}  // namespace

// Script errors write log lines; keep them out of the working directory.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kestrel::openLogIn("/tmp");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t nul = input.find('\0');
  std::string_view program = input.substr(0, nul);
  std::string_view values = nul == std::string_view::npos ? std::string_view{} : input.substr(nul + 1);
  // The program sits inside a VRML string: quotes and backslashes escaped.
  std::string world = kWorld;
  for (char c : program) {
    if (c == '"' || c == '\\') world += '\\';
    world += c;
  }
  world += "\" }\nROUTE S.out3 TO T.set_translation\nROUTE S.outTurn TO T.set_rotation\n"
           "ROUTE S.outNodes TO G.addChildren\n";
  kestrel::CVrmlBrowser browser("/nonexistent-kestrel-fuzz");
  kestrel::VrmlContent content;
  if (!browser.createFromString(world, content)) return 0;
  browser.appendToRoot(content);
  sendValues(browser, values);
  browser.advanceTime(1);
  browser.removeAllRoots();
  return 0;
}
