// A Script's own fields and eventOuts as globals of its heap: reading one
// gives its value, assigning stores it (converted to the member's type, or
// a TypeError), and an assigned eventOut is marked to be sent. A field
// holding an object (an SFVec3f, an MF array) hands out the same object
// until it is assigned, and what the script changes through it is taken
// back after each call.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <duktape.h>

#include "viewer/browser/node.h"

namespace kestrel {

class ScriptGlobals {
 public:
  explicit ScriptGlobals(const NodePtr& script);

  // Defines the globals in CTX, whose ScriptContext points here.
  void define(duk_context* ctx);
  // Stores what the script changed through the objects it read.
  void takeBackObjects(duk_context* ctx);
  // Calls SEND(member) for each eventOut assigned since the last time.
  template <class Send>
  void forEachAssigned(Send&& send) {
    for (size_t i = 0; i < assigned_.size(); ++i) {
      if (!assigned_[i]) continue;
      assigned_[i] = 0;
      send(static_cast<int>(i));
    }
  }

 private:
  static duk_ret_t get(duk_context* ctx);
  static duk_ret_t set(duk_context* ctx);
  static ScriptGlobals& of(duk_context* ctx);

  std::weak_ptr<Node> script_;
  void* fieldObjects_ = nullptr;  // the heap's array of the objects handed out, by member
  std::vector<uint8_t> assigned_;  // eventOuts assigned since they were last sent
  std::vector<uint8_t> touched_;   // fields whose objects the script has read
  bool anyTouched_ = false;
};

}  // namespace kestrel
