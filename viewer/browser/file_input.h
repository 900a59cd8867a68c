// Reading whole input files safely. Scenes name files by URL, so a scene
// can point at a FIFO, a device or a huge file: a plain open() of a FIFO
// blocks until a writer appears, and /dev/zero never ends. Every file the
// browser and its renderer read goes through readRegularFile.
#pragma once

#include <cstddef>
#include <string>

namespace kestrel {

// Largest scene text read (a VRML file, an Inline, an EXTERNPROTO file).
inline constexpr size_t kMaxSceneFileBytes = size_t{256} << 20;
// Largest image file read (textures, backgrounds).
inline constexpr size_t kMaxImageFileBytes = size_t{64} << 20;

enum class FileRead {
  kOk,
  kCannotOpen,  // missing, no permission...
  kNotRegular,  // a FIFO, socket, device or directory
  kTooLarge,    // over the caller's limit
  kReadFailed,
};

// Opens PATH for reading without blocking (open() of a FIFO would wait
// for a writer) and checks with fstat that it is a regular file. Returns
// the descriptor, which the caller closes (fdopen suits line readers), or
// -1 with RESULT set to why not.
int openRegularFile(const std::string& path, FileRead& result);

// Reads the regular file PATH whole into BYTES when it holds at most
// MAXBYTES. Opened by openRegularFile, so a FIFO or device is refused at
// once; the size is checked before reading, and a file that grows while it
// is read still stops at the limit.
FileRead readRegularFile(const std::string& path, size_t maxBytes, std::string& bytes);

// A scene text file: readRegularFile with kMaxSceneFileBytes.
FileRead readSceneFile(const std::string& path, std::string& text);

// Why RESULT refused a file, for messages: "not a regular file", "larger
// than the 256 MiB limit" (MAXBYTES in words). "" for kOk and for files
// that could not be opened or read, where the caller's words say it all.
std::string refusalText(FileRead result, size_t maxBytes);

// MAXBYTES in words: "256 MiB", "64 KiB", "100 bytes".
std::string byteLimitText(size_t maxBytes);

}  // namespace kestrel
