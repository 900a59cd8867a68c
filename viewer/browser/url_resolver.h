// Turns the URLs found in scenes into local file paths and reads them.
//
// Windows paths under "c:/corvid/render/" (drive letter and path in either
// case, '/' or '\' separators) map into the render root directory;
// backslashes become slashes; "file:" URLs name local files; relative URLs
// resolve against the directory of the text that holds them. Network URLs
// (http:, urn: ...) and other drives are not local and do not resolve. A
// path may not climb out of the render root with "..".
#pragma once

#include <string>
#include <string_view>

namespace kestrel {

// The value of the hexadecimal digit C (of a %XX escape); -1 for any other
// character.
inline int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class UrlResolver {
 public:
  // ROOT is the render root; empty means KESTREL_RENDER_ROOT from the
  // environment, or "share/kestrel/render" when that is unset.
  explicit UrlResolver(std::string root = {});

  const std::string& renderRoot() const { return root_; }

  // The local path URL names, read relative to BASEDIR (empty: the current
  // directory). Any "#fragment" is dropped. False when URL is not local.
  bool resolve(std::string_view url, std::string_view baseDir, std::string& path) const;

  // Resolves URL and reads the whole file into TEXT; DIR becomes the file's
  // directory. False when it does not resolve, is not a readable regular
  // file, is larger than kMaxSceneFileBytes or is gzip-compressed.
  bool load(const std::string& url, const std::string& baseDir, std::string& text,
            std::string& dir) const;

  // The directory part of PATH ("" for a bare file name).
  static std::string directoryOf(std::string_view path);

 private:
  std::string root_;
};

}  // namespace kestrel
