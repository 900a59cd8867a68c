// Long lists of plain numbers read in bulk, for Lexer::readPlainFloats and
// its kin. Large scenes are mostly such lists (coordinates, indices), so
// this is where a parse spends its time.
#pragma once

#include <cstddef>

#include "viewer/browser/lexer_scan.h"

namespace kestrel::bulk_numbers {

// Reads up to COUNT plain numbers (number_scan.h) at PLACE into OUT, in
// whole groups of GROUP, and moves PLACE past the last whole group. Stops
// before the first group holding anything else, or reaching SCANEND (the
// text's end less kNumberScanSlack). Returns how many numbers it read.
// GROUP is 1 to 4 (a number, a vector, a rotation); others read nothing.
template <class T>
size_t readPlainRun(lexer_scan::TextPlace& place, const char* scanEnd, T* out, size_t count,
                    size_t group);

}  // namespace kestrel::bulk_numbers
