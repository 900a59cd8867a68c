#include "modules/host/plugin_set.h"

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "modules/common/jregistry.h"

namespace kestrel {
namespace {

std::string lastLoaderError(const char* fallback) {
  const char* e = dlerror();
  return e ? std::string(e) : std::string(fallback);
}

std::string resolve(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

}  // namespace

PluginSet::~PluginSet() {
  for (auto it = libraries_.rbegin(); it != libraries_.rend(); ++it) {
    for (const auto& name : it->classes) JModuleRegistry::global().remove(name);
    dlclose(it->handle);
  }
}

PluginLoad PluginSet::load(const std::string& path) {
  PluginLoad result;
  const std::string real = resolve(path);
  for (const auto& lib : libraries_) {
    if (lib.realPath == real) {
      result.ok = true;
      result.classes = lib.classes;
      return result;
    }
  }
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    result.message = lastLoaderError("cannot be loaded");
    return result;
  }
  auto entry = reinterpret_cast<ModuleEntry>(dlsym(handle, kModuleEntrySymbol));
  if (!entry) {
    result.message = lastLoaderError("no module entry") + " (exports no module)";
    dlclose(handle);
    return result;
  }
  const std::vector<std::string> before = JModuleRegistry::global().classNames();
  const char* named = entry();
  for (const auto& name : JModuleRegistry::global().classNames()) {
    if (!std::binary_search(before.begin(), before.end(), name)) result.classes.push_back(name);
  }
  if (result.classes.empty()) {
    if (named && *named) {
      result.message = path + ": exports no module";
    } else {
      result.message = path + ": exports no module (its class is registered already?)";
    }
    dlclose(handle);
    return result;
  }
  result.ok = true;
  libraries_.push_back(Library{path, real, handle, result.classes});
  return result;
}

std::vector<std::pair<std::string, PluginLoad>> PluginSet::loadDirectory(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name.size() > 6 && name.rfind("lib", 0) == 0 &&
          name.compare(name.size() - 3, 3, ".so") == 0) {
        names.push_back(name);
      }
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::pair<std::string, PluginLoad>> results;
  for (const auto& name : names) {
    std::string path = dir + "/" + name;
    results.emplace_back(path, load(path));
  }
  return results;
}

std::string PluginSet::pathFor(const std::string& dir, const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  return dir + "/lib" + name + ".so";
}

std::vector<std::string> PluginSet::loadedPaths() const {
  std::vector<std::string> paths;
  for (const auto& lib : libraries_) paths.push_back(lib.path);
  return paths;
}

}  // namespace kestrel
