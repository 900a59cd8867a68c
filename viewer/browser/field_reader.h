// Reading the text of one field value of a known, non-node type.
//
// SF values are read as they stand; MF values either as one SF value or as
// a bracketed list. Numbers are parsed in place, straight into the value's
// contiguous vector. Node-valued fields are read by the parser instead.
#pragma once

#include "viewer/browser/field_value.h"
#include "viewer/browser/lexer.h"
#include "viewer/browser/parse_error.h"

namespace kestrel {

// Limits that keep any input from exhausting memory.
struct ReadLimits {
  size_t maxImagePixels = 64u * 1024 * 1024;
};

// Reads a value of TYPE (not SFNode or MFNode) into VALUE, replacing it.
// On failure fills ERROR and returns false; VALUE is then unspecified.
bool readFieldValue(Lexer& lexer, FieldType type, FieldValue& value, ParseError& error,
                    const ReadLimits& limits = {});

// Fills ERROR at the lexer's next token: "expected WHAT but found ...".
void expectedError(Lexer& lexer, const char* what, ParseError& error);

}  // namespace kestrel
