// VisualObjectRegistry: the named visual objects of the scene in creation
// order, and the current object. What the command language does with them
// is in ObjectOperations (object_operations.h).
//
// Threads: everything runs on the engine's thread, except nameAt(), isShown(),
// size() and names(), which the web server's threads may call at any time;
// the registry's shared mutex makes those reads safe. The engine thread
// reads without the lock (it is the only writer) and writes under it; its
// reading members are marked ENGINE_THREAD_READ, exempt from clang's lock
// analysis for that reason.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "viewer/browser/visual_object.h"
#include "viewer/intake/thread_annotations.h"

// Reads of guarded members by their only writer, the engine thread.
#define ENGINE_THREAD_READ NO_THREAD_SAFETY_ANALYSIS

namespace kestrel {

class VisualObjectRegistry {
 public:
  static constexpr int kCapacity = 1000;

  VisualObjectRegistry() = default;
  VisualObjectRegistry(const VisualObjectRegistry&) = delete;
  VisualObjectRegistry& operator=(const VisualObjectRegistry&) = delete;

  // Takes OBJECT under NAME, shown, with its initial snapshot, and makes it
  // current. False (and a log line) when the registry is full.
  bool registerObject(std::unique_ptr<VisualObject> object, const std::string& name);
  bool full() const { return count() >= kCapacity; }
  // The index of the first object registered under NAME, or -1.
  int find(const std::string& name) const ENGINE_THREAD_READ;
  // Removes every object; none is current.
  void clear();
  // Puts every object back as it was registered.
  void restoreAll() ENGINE_THREAD_READ;

  // Read side, safe from any thread.
  std::string nameAt(int index) const;
  bool isShown(int index) const;
  int size() const;
  // Every name, in registry order, read at one moment.
  std::vector<std::string> names() const;

  // The current object: its index (-1 for none) and the object (null for
  // none).
  int currentIndex() const { return current_; }
  VisualObject* currentObject() const { return objectAt(current_); }
  VisualObject* objectAt(int index) const ENGINE_THREAD_READ;
  void setCurrent(int index) { current_ = index; }
  // The first object named NAME becomes current; none when there is none.
  void setCurrentByName(const std::string& name) { current_ = find(name); }
  // The next object in registry order becomes current, the first after the
  // last (logged); nothing in an empty registry.
  void cycle() ENGINE_THREAD_READ;
  // Whether the object at INDEX counts as shown (show and hide scale it).
  void setShown(int index, bool shown);

 private:
  int count() const ENGINE_THREAD_READ { return static_cast<int>(objects_.size()); }

  mutable SharedMutex mutex_;
  std::vector<std::unique_ptr<VisualObject>> objects_ GUARDED_BY(mutex_);  // its shape
  std::vector<std::string> names_ GUARDED_BY(mutex_);
  // Name -> index of the first object registered under it.
  std::unordered_map<std::string, int> firstByName_ GUARDED_BY(mutex_);
  std::vector<bool> shown_ GUARDED_BY(mutex_);
  int current_ = -1;
};

}  // namespace kestrel
