// SceneBlock: a data block that a loader or generator has made, and its
// delivery into a command queue as the engine expects data blocks: a start
// entry (code 10) naming the object, body entries (code 14), an end entry
// (code 13).
//
// The pieces of a block are joined into as few body entries as possible:
// consecutive pieces travel in one entry, separated by line feeds, up to
// kChunkBytes. The engine ends every body entry with a line feed when it
// reassembles the block, so the scene text is the same as with one entry
// per piece, and a large mesh or grid needs hundreds of queue slots instead
// of hundreds of thousands.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrel {

class InternalCommandQueue;

struct SceneBlock {
  std::optional<std::string> setInfo;  // a setinfo entry (code 57) ahead of the block
  std::string name;
  std::vector<std::string> pieces;
};

enum class BlockRoute {
  // Into the main ring, held while the block is written (suspend/resume).
  kSuspended,
  // Into the priority ring, ahead of what waits in the main ring.
  kPriority,
};

inline constexpr size_t kChunkBytes = 32 * 1024;

// The body entries PIECES become.
std::vector<std::string> joinPieces(const std::vector<std::string>& pieces);

// Writes BLOCK into QUEUE under one hold of its lock, so no other producer's
// lines land inside it. When the whole block does not fit into the free
// slots, nothing but the setinfo entry is written and a log line says so;
// returns false then. The main ring is never left held.
// SOURCE_FILE: the file whose lines the pieces are, named in the start
// entry (see text_origin.h) so the content is read like that file; empty
// for made text.
bool queueSceneBlock(InternalCommandQueue& queue, BlockRoute route, const SceneBlock& block,
                     const std::string& sourceFile = {});

// The text the engine assembles from PIECES (each followed by a line feed).
std::string blockText(const std::vector<std::string>& pieces);

}  // namespace kestrel
