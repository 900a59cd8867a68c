// Where tests find the build's programs and plug-ins, and a temporary
// directory of their own.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace kestrel::testing {

inline std::string binaryDir() {
  const char* dir = std::getenv("KESTREL_BINARY_DIR");
  return dir ? dir : ".";
}
inline std::string sourceDir() {
  const char* dir = std::getenv("KESTREL_SOURCE_DIR");
  return dir ? dir : ".";
}
inline std::string pluginDir() { return binaryDir() + "/modules/plugins"; }
inline std::string testPluginDir() { return binaryDir() + "/modules/testplugins"; }
inline std::string loomProgram() { return binaryDir() + "/modules/host/loom"; }

// A fresh directory removed with everything in it at the end of the scope.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "loomtest.XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  std::string write(const std::string& name, const std::string& text) const {
    std::ofstream(file(name), std::ios::binary) << text;
    return file(name);
  }
  std::string read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string path_;
};

}  // namespace kestrel::testing
