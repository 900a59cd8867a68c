// Small helpers the built-in modules share for taking properties.
#pragma once

#include "modules/common/jproperty.h"

namespace kestrel {

// Takes an integer property of that name when its value lies in [low, high].
inline bool takeInteger(const JProperty& p, const char* name, int low, int high, int& target) {
  const JIntegerProperty* i = p.asInteger();
  if (p.getName() != name || !i || i->getValue() < low || i->getValue() > high) return false;
  target = i->getValue();
  return true;
}

// Takes a string (or file) property of that name.
inline bool takeText(const JProperty& p, const char* name, JString& target) {
  if (p.getName() != name) return false;
  if (const JStringProperty* s = p.asString()) {
    target = s->getText();
    return true;
  }
  if (const JFileProperty* f = p.asFile()) {
    target = f->getPath();
    return true;
  }
  return false;
}

}  // namespace kestrel
