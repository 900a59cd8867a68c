// The settings of the operations that `setinfo` changes.
#include "viewer/engine/object_operations.h"
#include "viewer/engine/text_values.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

void ObjectOperations::setBound(const std::string& name, const std::string& text) {
  static const char* const kNames[6] = {"xmin", "xmax", "ymin", "ymax", "zmin", "zmax"};
  static const char* const kMessages[6] = {"XMIN now set", "XMAX now set", "YMIN now set",
                                           "YMAX now set", "ZMIN now set", "ZMAX now set"};
  for (int i = 0; i < 6; ++i) {
    if (name != kNames[i]) continue;
    bounds_[i] = realValue(text.c_str());
    logReal(kMessages[i], bounds_[i]);
  }
}

void ObjectOperations::setFadeStep(const char* text) {
  if (text != nullptr) fadeStep_ = integerValue(text);
}

void ObjectOperations::setScaleStep(const char* text) {
  if (text != nullptr) scaleStep_ = integerValue(text);
}

}  // namespace kestrel
