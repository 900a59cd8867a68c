// Reading whole input files safely. Scenes name files by URL, so a scene
// can point at a FIFO, a device or a huge file: a plain open() of a FIFO
// blocks until a writer appears, and /dev/zero never ends. Every file the
// browser and its renderer read is opened through openRegularFile.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

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
  kInflatedTooLarge,  // gzip data that expands past the caller's limit
  kDamagedGzip,       // gzip data that is broken or cut short
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

// A scene text file (VRML, an Inline, an EXTERNPROTO file) of at most
// MAXBYTES: readRegularFile, and when the bytes are gzip-compressed, the
// text they inflate to, again of at most MAXBYTES (a larger result is
// refused before it is all in memory).
FileRead readSceneText(const std::string& path, size_t maxBytes, std::string& text);

// readSceneText with kMaxSceneFileBytes.
FileRead readSceneFile(const std::string& path, std::string& text);

class FileMapping;

// The text of a scene as the parser reads it: a large file's own pages,
// mapped (file_mapping.h), or a buffer (a small file, inflated gzip data,
// text a reader made). Views of it last as long as it does.
class SceneText {
 public:
  SceneText();
  SceneText(std::string text);  // implicit: a reader may hand over plain text
  SceneText& operator=(std::string text);
  SceneText(SceneText&&) noexcept;
  SceneText& operator=(SceneText&&) noexcept;
  ~SceneText();

  std::string_view view() const;
  operator std::string_view() const { return view(); }  // the parser takes it as text
  // Whether the mapped file was cut short while in use: its lost end
  // reads as NUL bytes, and the text should not be taken as the file's.
  bool cutShort() const;
  // Gives back the memory of the text's whole pages within [BEGIN, END),
  // when it is a mapped file: they are read from the file again if
  // touched. Safe from several threads at once.
  void dropPages(size_t begin, size_t end);
  // Whether the text is the file's pages rather than a copy.
  bool mapped() const { return mapping_ != nullptr; }

 private:
  friend FileRead readSceneText(const std::string&, size_t, SceneText&);
  std::string owned_;
  std::unique_ptr<FileMapping> mapping_;
};

// readSceneText into a SceneText, with the same refusals: a file of
// kMapFromBytes or more is mapped instead of read (gzip data is inflated
// from the mapping into a buffer). The size is the one fstat gave before
// mapping: a file that grows afterwards ends there.
FileRead readSceneText(const std::string& path, size_t maxBytes, SceneText& text);
FileRead readSceneFile(const std::string& path, SceneText& text);

// Files smaller than this are read into a buffer: for them a mapping
// costs more than the copy it saves.
inline constexpr size_t kMapFromBytes = size_t{256} << 10;

// Why RESULT refused a file, for messages: "not a regular file", "larger
// than the 256 MiB limit" (MAXBYTES in words), "larger than the 256 MiB
// limit when uncompressed", "damaged or truncated gzip data". "" for kOk and for files
// that could not be opened or read, where the caller's words say it all.
std::string refusalText(FileRead result, size_t maxBytes);

// MAXBYTES in words: "256 MiB", "64 KiB", "100 bytes".
std::string byteLimitText(size_t maxBytes);

}  // namespace kestrel
