#include "modules/common/jdata.h"

#include <cmath>
#include <limits>

namespace kestrel {

const char* typeName(int typeId) {
  switch (typeId) {
    case kAnyTypeId: return "any";
    case JIntegerData::id: return "integer";
    case JRealData::id: return "real";
    case JStringData::id: return "string";
    case JBlockData::id: return "bytes";
    default: return "unknown";
  }
}

JData::~JData() = default;

void JIntegerData::setReal(double v) {
  // Out of range and NaN would be undefined in a plain cast; clamp instead.
  if (std::isnan(v)) {
    value_ = 0;
  } else if (v >= static_cast<double>(std::numeric_limits<int>::max())) {
    value_ = std::numeric_limits<int>::max();
  } else if (v <= static_cast<double>(std::numeric_limits<int>::min())) {
    value_ = std::numeric_limits<int>::min();
  } else {
    value_ = static_cast<int>(v);
  }
}

}  // namespace kestrel
