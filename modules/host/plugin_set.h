// PluginSet: the module libraries a host has loaded.
//
// Each library is opened with dlopen(RTLD_NOW | RTLD_LOCAL) and must export
// the module entry (kestrelModuleEntry), which registers its classes with
// the global JModuleRegistry. A library that fails to open, lacks the entry
// or registers nothing is reported with the loader's message and closed
// again at once.
//
// Lifetime: destroying the set removes the classes its libraries registered
// and closes the libraries, newest first. Every module made from those
// classes must be destroyed before. Not thread-safe; the host's thread only.
#pragma once

#include <string>
#include <vector>

namespace kestrel {

struct PluginLoad {
  bool ok = false;
  std::string message;               // the loader's message when not ok
  std::vector<std::string> classes;  // classes the library registered
};

class PluginSet {
 public:
  PluginSet() = default;
  PluginSet(const PluginSet&) = delete;
  PluginSet& operator=(const PluginSet&) = delete;
  ~PluginSet();

  // Loads the library at path; loading the same file twice gives its
  // classes again without a second load.
  PluginLoad load(const std::string& path);
  // Loads every lib*.so file of the directory, in name order.
  std::vector<std::pair<std::string, PluginLoad>> loadDirectory(const std::string& dir);
  // The path of the named module library in a plug-in directory:
  // DIR/libNAME.so. A name holding a '/' is a path already.
  static std::string pathFor(const std::string& dir, const std::string& name);
  // The paths given to load() that succeeded, in load order.
  std::vector<std::string> loadedPaths() const;

 private:
  struct Library {
    std::string path;      // as given
    std::string realPath;  // resolved, to recognise the same file
    void* handle;
    std::vector<std::string> classes;
  };
  std::vector<Library> libraries_;
};

}  // namespace kestrel
