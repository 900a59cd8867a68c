// The heap of a program that parses a scene and exits (kestrel --check and
// --print). Such a parse makes hundreds of thousands of small allocations
// that are never freed; most of its time goes to the kernel handing out
// fresh 4 KiB pages one fault at a time. Backing the heap with transparent
// huge pages makes that one fault per 2 MiB.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kestrel {

// Heap room to set aside for parsing the scene files PATHS: a multiple of
// their total size (a file of many small nodes takes about fifteen times
// its size), at most 1 GiB. 0 when the files are small or unreadable.
size_t heapForSceneFiles(const std::vector<std::string>& paths);

// Grows the heap now by BYTES and asks the kernel to back that range,
// past its first 4 MiB, with huge pages (it does when transparent huge
// pages are "always" or "madvise"), and has blocks of up to 32 MiB come
// from the heap as well. Those first 4 MiB stay in small pages: with small
// blocks served by startOneShotArena, a parse of many nodes puts only a
// few large blocks here, and would fill a huge page only in part.
// Only for short-lived processes: the heap keeps that much spare and never
// shrinks. Returns false when nothing was set aside (BYTES under 2 MiB, a
// malloc that does not grow the heap with brk, such as a sanitizer's).
bool reserveHugePageHeap(size_t bytes);

// Has every thread allocate from the main heap: glibc otherwise gives
// threads heaps of their own, mapped and faulted in a page at a time,
// which the range set aside above does not serve. Call before starting
// threads; for short-lived processes whose threads allocate little at the
// same time (their allocations then share one lock).
void shareMainHeapWithThreads();

}  // namespace kestrel
