// Small C++ allocations of a program that parses a scene and exits
// (kestrel --check and --print). Such a parse makes hundreds of thousands
// of small allocations (nodes, their values, names) that live until the
// process ends; malloc spends more time finding room for each and writing
// its header than the parser spends building the node. Once started, the
// arena hands out the program's small `operator new` blocks from one large
// range, each thread from a chunk of its own, and `operator delete` of
// such a block does nothing: the memory is never reused. Blocks over
// kOneShotLargest bytes, and everything once the range is used up, still
// come from malloc, which can reuse them.
#pragma once

#include <cstddef>

namespace kestrel {

// Larger blocks (a growing list, an inflated file) are freed and reused.
inline constexpr size_t kOneShotLargest = 1024;

// Reserves BYTES of address space, the first HUGEBYTES of it backed by
// transparent huge pages where the kernel gives them, and serves small
// allocations from it from now on. Past HUGEBYTES the pages are small, so
// the end of what a parse fills is not rounded up to a whole huge page.
// Returns false, and changes nothing, when BYTES is 0, the arena already
// runs, or the range cannot be had. Only for short-lived processes: no
// block from the arena is ever given back.
bool startOneShotArena(size_t bytes, size_t hugeBytes);

// Whether P is a block the arena handed out.
bool inOneShotArena(const void* p);

}  // namespace kestrel
