// Reading the fields of an NMEA 0183 sentence, for JSatFix's "any talker"
// path: its talker, its comma-separated fields and whether a position
// sentence carries a fix.
#pragma once

#include <string_view>
#include <vector>

namespace kestrel::nmea {

// The talker of a "$TTxxx" line when TT is a GNSS talker (GP, GN, GL, GA,
// GB, BD, GQ, QZ, GI), else "".
std::string_view gnssTalker(const char* line);

// The comma-separated fields of a sentence, up to its "*" or its end; at
// least one (possibly empty) field.
std::vector<std::string_view> fields(const char* text);

// Field i, or "" when the sentence has fewer fields.
std::string_view fieldAt(const std::vector<std::string_view>& fields, std::size_t i);

// The field as a decimal integer; 0 when it is not one.
int integerField(std::string_view field);

// Whether a GGA or GLL sentence (fields from its type on) carries a fix:
// both coordinates present and neither GGA quality 0 (or empty) nor GLL
// status V.
bool hasFix(const std::vector<std::string_view>& fields, bool gga);

}  // namespace kestrel::nmea
