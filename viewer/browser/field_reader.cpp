#include "viewer/browser/field_reader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

namespace kestrel {

std::string ParseError::text() const {
  return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " +
         message;
}

std::string ParseWarning::text() const {
  std::string where = "line " + std::to_string(line) + ", column " + std::to_string(column);
  return file.empty() ? where + ": " + message : file + ": " + where + ": " + message;
}

void expectedError(Lexer& lexer, const char* what, ParseError& error) {
  Token t = lexer.peek();
  error.line = t.line;
  error.column = t.column;
  error.message = std::string("expected ") + what + " but found ";
  if (t.kind == TokenKind::Identifier || t.kind == TokenKind::Number) {
    // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict
    // overlap inside libstdc++ for "literal" + std::string (GCC bug 105329).
    error.message += '\'';
    error.message += t.text.substr(0, 40);
    error.message += '\'';
  } else {
    error.message += tokenKindName(t.kind);
  }
}

namespace {

bool readBool(Lexer& lexer, bool& out, ParseError& error) {
  Token t = lexer.peek();
  if (t.kind == TokenKind::Identifier && (t.text == "TRUE" || t.text == "FALSE")) {
    lexer.next();
    out = t.text == "TRUE";
    return true;
  }
  expectedError(lexer, "TRUE or FALSE", error);
  return false;
}

bool readString(Lexer& lexer, std::string& out, ParseError& error) {
  if (lexer.peekChar() != '"') {
    expectedError(lexer, "a string", error);
    return false;
  }
  Token t = lexer.next();
  if (t.kind != TokenKind::String) {
    error.line = t.line;
    error.column = t.column;
    error.message = "string is not closed";
    return false;
  }
  out = unescapeString(t.text);
  return true;
}

bool floatOr(Lexer& lexer, float& v, ParseError& error) {
  if (lexer.readFloat(v)) return true;
  expectedError(lexer, "a number", error);
  return false;
}

bool readOne(Lexer& lexer, float& v, ParseError& e) { return floatOr(lexer, v, e); }
bool readOne(Lexer& lexer, double& v, ParseError& e) {
  if (lexer.readDouble(v)) return true;
  expectedError(lexer, "a number", e);
  return false;
}
bool readOne(Lexer& lexer, int32_t& v, ParseError& e) {
  if (lexer.readInt32(v)) return true;
  expectedError(lexer, "an integer", e);
  return false;
}
bool readOne(Lexer& lexer, std::string& v, ParseError& e) { return readString(lexer, v, e); }
bool readOne(Lexer& lexer, Vec2f& v, ParseError& e) {
  return floatOr(lexer, v.x, e) && floatOr(lexer, v.y, e);
}
bool readOne(Lexer& lexer, Vec3f& v, ParseError& e) {
  return floatOr(lexer, v.x, e) && floatOr(lexer, v.y, e) && floatOr(lexer, v.z, e);
}
bool readOne(Lexer& lexer, Rotation& v, ParseError& e) {
  return floatOr(lexer, v.x, e) && floatOr(lexer, v.y, e) && floatOr(lexer, v.z, e) &&
         floatOr(lexer, v.angle, e);
}

bool readImage(Lexer& lexer, Image& image, ParseError& error, const ReadLimits& limits) {
  const uint32_t line = lexer.line();
  const uint32_t column = lexer.column();
  if (!readOne(lexer, image.width, error) || !readOne(lexer, image.height, error) ||
      !readOne(lexer, image.components, error)) {
    return false;
  }
  const uint64_t count =
      static_cast<uint64_t>(image.width < 0 ? 0 : image.width) *
      static_cast<uint64_t>(image.height < 0 ? 0 : image.height);
  if (image.width < 0 || image.height < 0 || image.components < 0 ||
      image.components > 4 || count > limits.maxImagePixels) {
    error.line = line;
    error.column = column;
    error.message = "image size is out of range";
    return false;
  }
  // Never reserve by the declared size: a short text may declare a huge
  // image. The pixels present are read and counted.
  image.pixels.clear();
  for (uint64_t i = 0; i < count; ++i) {
    uint32_t pixel = 0;
    if (!lexer.readUint32(pixel)) {
      int32_t negative = 0;
      if (!lexer.readInt32(negative)) {
        expectedError(lexer, "a pixel value", error);
        return false;
      }
      pixel = static_cast<uint32_t>(negative);
    }
    image.pixels.push_back(pixel);
  }
  return true;
}

// The fewest bytes of text an element of a numeric list takes: "0 " for
// each of its numbers (vectors and rotations are made of floats); 0 for
// lists of strings and nodes.
template <class T>
constexpr size_t kMinTextBytes = std::is_arithmetic_v<T> ? 2
                                 : std::is_trivially_copyable_v<T>
                                     ? 2 * (sizeof(T) / sizeof(float))
                                     : 0;

// Room for every element of a long numeric list that starts at the read
// position, bounded by the text up to the next ']', so that reading it
// never copies what is read so far (doubling would write each element
// about twice and touch twice the memory). The room beyond the elements
// is never written: as a block this large is mapped apart from the heap,
// it costs address space, not memory. Short lists grow as usual.
template <class T>
void reserveLongList(const Lexer& lexer, std::vector<T>& items) {
  constexpr size_t kLongListBytes = size_t{64} << 10;
  constexpr size_t kMaxReserveBytes = size_t{64} << 20;
  if constexpr (kMinTextBytes<T> != 0) {
    const std::string_view rest = lexer.text().substr(lexer.offset());
    const size_t span = std::min(rest.find(']'), rest.size());
    if (span < kLongListBytes) return;
    items.reserve(std::min(span / kMinTextBytes<T> + 1, kMaxReserveBytes / sizeof(T)));
  }
}

// The numbers the lexer's bulk reader reads for a list of T: floats for
// float vectors and rotations, doubles, int32s; void for lists it cannot.
template <class T>
using BulkNumber = std::conditional_t<
    std::is_same_v<T, float> || std::is_same_v<T, Vec2f> || std::is_same_v<T, Vec3f> ||
        std::is_same_v<T, Rotation>,
    float, std::conditional_t<std::is_same_v<T, double> || std::is_same_v<T, int32_t>, T, void>>;

size_t readPlain(Lexer& lexer, float* out, size_t count, size_t group) {
  return lexer.readPlainFloats(out, count, group);
}
size_t readPlain(Lexer& lexer, double* out, size_t count, size_t) {
  return lexer.readPlainDoubles(out, count);
}
size_t readPlain(Lexer& lexer, int32_t* out, size_t count, size_t) {
  return lexer.readPlainInt32s(out, count);
}

// Appends the elements at the read position that are made of plain
// numbers, read in bulk a chunk at a time: long lists are nearly all such
// numbers, and one call per number costs more than reading it. The
// element after them, if any, is left to readOne.
template <class T>
void appendPlainElements(Lexer& lexer, std::vector<T>& items) {
  using Number = BulkNumber<T>;
  if constexpr (!std::is_void_v<Number>) {
    constexpr size_t kGroup = sizeof(T) / sizeof(Number);
    static_assert(sizeof(T) == kGroup * sizeof(Number) && std::is_trivially_copyable_v<T>);
    constexpr size_t kChunk = 384;  // whole groups of 1, 2, 3 and 4
    Number chunk[kChunk];
    size_t read = 0;
    do {
      read = readPlain(lexer, chunk, kChunk, kGroup);
      if (read == 0) return;
      const size_t old = items.size();
      items.resize(old + read / kGroup);
      std::memcpy(static_cast<void*>(items.data() + old), chunk, read * sizeof(Number));
    } while (read == kChunk);
  }
}

template <class T>
bool readMultiple(Lexer& lexer, FieldValue& value, ParseError& error) {
  std::vector<T> items;
  if (lexer.peekChar() != '[') {
    T one{};
    if (!readOne(lexer, one, error)) return false;
    items.push_back(std::move(one));
  } else {
    lexer.next();
    reserveLongList(lexer, items);
    while (true) {
      appendPlainElements(lexer, items);
      const char c = lexer.peekChar();
      if (c == ']') break;
      if (c == '\0' && lexer.atEnd()) {
        expectedError(lexer, "']'", error);
        return false;
      }
      T one{};
      if (!readOne(lexer, one, error)) return false;
      items.push_back(std::move(one));
    }
    lexer.next();
  }
  value.data = std::move(items);
  return true;
}

template <class T>
bool readSingle(Lexer& lexer, FieldValue& value, ParseError& error) {
  T one{};
  if (!readOne(lexer, one, error)) return false;
  value.data = std::move(one);
  return true;
}

}  // namespace

bool readFieldValue(Lexer& lexer, FieldType type, FieldValue& value, ParseError& error,
                    const ReadLimits& limits) {
  value.type = type;
  switch (type) {
    case FieldType::SFBool: {
      bool b = false;
      if (!readBool(lexer, b, error)) return false;
      value.data = b;
      return true;
    }
    case FieldType::SFColor:
    case FieldType::SFVec3f: return readSingle<Vec3f>(lexer, value, error);
    case FieldType::SFFloat: return readSingle<float>(lexer, value, error);
    case FieldType::SFImage: {
      Image image;
      if (!readImage(lexer, image, error, limits)) return false;
      value.data = std::move(image);
      return true;
    }
    case FieldType::SFInt32: return readSingle<int32_t>(lexer, value, error);
    case FieldType::SFRotation: return readSingle<Rotation>(lexer, value, error);
    case FieldType::SFString: return readSingle<std::string>(lexer, value, error);
    case FieldType::SFTime: return readSingle<double>(lexer, value, error);
    case FieldType::SFVec2f: return readSingle<Vec2f>(lexer, value, error);
    case FieldType::MFColor:
    case FieldType::MFVec3f: return readMultiple<Vec3f>(lexer, value, error);
    case FieldType::MFFloat: return readMultiple<float>(lexer, value, error);
    case FieldType::MFInt32: return readMultiple<int32_t>(lexer, value, error);
    case FieldType::MFRotation: return readMultiple<Rotation>(lexer, value, error);
    case FieldType::MFString: return readMultiple<std::string>(lexer, value, error);
    case FieldType::MFTime: return readMultiple<double>(lexer, value, error);
    case FieldType::MFVec2f: return readMultiple<Vec2f>(lexer, value, error);
    case FieldType::SFNode:
    case FieldType::MFNode: break;
  }
  expectedError(lexer, "a value", error);
  return false;
}

}  // namespace kestrel
