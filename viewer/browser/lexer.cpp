#include "viewer/browser/lexer.h"

#include <array>
#include <charconv>

#include "viewer/browser/number_scan.h"

namespace kestrel {
namespace {

// Character classes, built once: bit 1 may start an identifier, bit 2 may
// continue one.
constexpr std::array<uint8_t, 256> makeClasses() {
  std::array<uint8_t, 256> c{};
  for (int i = 0x21; i < 256; ++i) c[static_cast<size_t>(i)] = 3;
  for (char ch : std::string_view("\"#',.[\\]{}")) c[static_cast<unsigned char>(ch)] = 0;
  c[0x7f] = 0;
  for (int d = '0'; d <= '9'; ++d) c[static_cast<size_t>(d)] = 2;
  c['+'] = 2;
  c['-'] = 2;
  return c;
}
constexpr std::array<uint8_t, 256> kClasses = makeClasses();

// What skipSeparators does with each byte: blanks, commas and control
// characters other than the line ends and NUL are skipped without further
// thought; line ends count a line; '#' starts a comment.
enum SeparatorKind : uint8_t { kToken, kPlainSeparator, kLineFeed, kCarriageReturn, kComment };
constexpr std::array<SeparatorKind, 256> makeSeparatorKinds() {
  std::array<SeparatorKind, 256> c{};
  for (int i = 1; i < 0x20; ++i) c[static_cast<size_t>(i)] = kPlainSeparator;
  c['\n'] = kLineFeed;
  c['\r'] = kCarriageReturn;
  c[' '] = kPlainSeparator;
  c[','] = kPlainSeparator;
  c['#'] = kComment;
  return c;
}
constexpr std::array<SeparatorKind, 256> kSeparatorKinds = makeSeparatorKinds();

bool startsIdentifier(char ch) { return (kClasses[static_cast<unsigned char>(ch)] & 1) != 0; }
bool continuesIdentifier(char ch) {
  return (kClasses[static_cast<unsigned char>(ch)] & 2) != 0;
}
bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Whether a number may end before CH: anything that cannot continue a
// name, except '.', which would make "1.2.3" two numbers.
bool endsNumber(char ch) { return !continuesIdentifier(ch) && ch != '.'; }

// Skips the separators from P on, up to END, counting the line ends into
// LINE and LINESTART (where the current line begins).
[[gnu::always_inline]] inline const char* skipSeparatorsIn(const char* p, const char* end, uint32_t& line,
                             const char*& lineStart) {
  while (p < end) {
    switch (kSeparatorKinds[static_cast<unsigned char>(*p)]) {
      case kToken:
        return p;
      case kPlainSeparator:
        ++p;
        break;
      case kLineFeed:
        lineStart = ++p;
        ++line;
        break;
      case kCarriageReturn:
        ++p;
        if (p < end && *p == '\n') ++p;
        lineStart = p;
        ++line;
        break;
      case kComment:
        while (p < end && *p != '\n' && *p != '\r') ++p;
        break;
    }
  }
  return p;
}

// Powers of ten exact in REAL, and the largest mantissa REAL holds exactly.
template <class Real>
struct ExactDecimal;
template <>
struct ExactDecimal<float> {
  static constexpr uint64_t kMaxMantissa = uint64_t{1} << 24;
  static constexpr std::array<float, 11> kPowers{1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                                 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
};
template <>
struct ExactDecimal<double> {
  static constexpr uint64_t kMaxMantissa = uint64_t{1} << 53;
  static constexpr std::array<double, 23> kPowers{
      1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
};

// MANTISSA / 10^PLACES, negated when NEGATIVE, both exact in REAL: the
// one division rounds correctly, to the value from_chars gives.
template <class Real>
Real exactDecimal(uint64_t mantissa, size_t places, bool negative) {
  const Real magnitude = static_cast<Real>(mantissa) / ExactDecimal<Real>::kPowers[places];
  return negative ? -magnitude : magnitude;
}

// A plain decimal ("-12.375", ".5", "7") whose digits and decimal places
// REAL holds exactly: one division then rounds it correctly, to the value
// from_chars gives, in a fraction of the time. Returns where it ends, or
// null for anything else (exponents, long mantissas), left to from_chars.
template <class Real>
const char* readPlainDecimal(const char* p, const char* last, Real& value) {
  const bool negative = *p == '-';
  if (negative) ++p;
  uint64_t mantissa = 0;
  int digits = 0, places = 0;
  for (; p < last && isDigit(*p); ++p, ++digits) {
    mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    if (digits == 18) return nullptr;  // 19 digits could overflow
  }
  if (p < last && *p == '.') {
    for (++p; p < last && isDigit(*p); ++p, ++digits, ++places) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
      if (digits == 18) return nullptr;
    }
  }
  if (digits == 0 || (p < last && (*p == 'e' || *p == 'E'))) return nullptr;
  if (mantissa > ExactDecimal<Real>::kMaxMantissa ||
      static_cast<size_t>(places) >= ExactDecimal<Real>::kPowers.size()) {
    return nullptr;
  }
  value = exactDecimal<Real>(mantissa, static_cast<size_t>(places), negative);
  return p;
}

// The plain decimal at P (see number_scan.h), when it is a whole number
// and one division rounds it exactly; where it ends, or null. Needs
// kNumberScanSlack bytes at P.
template <class Real>
[[gnu::always_inline]] inline const char* readShortDecimal(const char* p, Real& value) {
  const number_scan::PlainDecimal d = number_scan::scanPlainDecimal(p);
  if (d.end == nullptr || !endsNumber(*d.end) ||
      d.mantissa > ExactDecimal<Real>::kMaxMantissa) {
    return nullptr;
  }
  value = exactDecimal<Real>(d.mantissa, d.places, d.negative);
  return d.end;
}

// The same for a decimal integer of up to eight digits.
[[gnu::always_inline]] inline const char* readShortInteger(const char* p, int32_t& value) {
  const number_scan::PlainInteger n = number_scan::scanPlainInteger(p);
  if (n.end == nullptr || !endsNumber(*n.end)) return nullptr;
  value = n.value;
  return n.end;
}

[[gnu::always_inline]] inline const char* readShortNumber(const char* p, float& value) { return readShortDecimal(p, value); }
[[gnu::always_inline]] inline const char* readShortNumber(const char* p, double& value) { return readShortDecimal(p, value); }
[[gnu::always_inline]] inline const char* readShortNumber(const char* p, int32_t& value) { return readShortInteger(p, value); }

}  // namespace

const char* tokenKindName(TokenKind kind) {
  switch (kind) {
    case TokenKind::End: return "end of text";
    case TokenKind::Identifier: return "a name";
    case TokenKind::Number: return "a number";
    case TokenKind::String: return "a string";
    case TokenKind::OpenBrace: return "'{'";
    case TokenKind::CloseBrace: return "'}'";
    case TokenKind::OpenBracket: return "'['";
    case TokenKind::CloseBracket: return "']'";
    case TokenKind::Period: return "'.'";
    case TokenKind::Invalid: return "an invalid character";
  }
  return "?";
}

Lexer::Lexer(std::string_view text) : text_(text) {}

void Lexer::newline(size_t at) {
  ++line_;
  lineStart_ = at;
}

void Lexer::skipSeparators() {
  hasPeek_ = false;  // direct reads move the position themselves
  const char* base = text_.data();
  const char* lineStart = base + lineStart_;
  const char* p = skipSeparatorsIn(base + pos_, base + text_.size(), line_, lineStart);
  pos_ = static_cast<size_t>(p - base);
  lineStart_ = static_cast<size_t>(lineStart - base);
}

char Lexer::peekChar() {
  skipSeparators();
  return pos_ < text_.size() ? text_[pos_] : '\0';
}

bool Lexer::atEnd() {
  skipSeparators();
  return pos_ >= text_.size();
}

size_t Lexer::numberEnd(size_t from) const {
  size_t p = from;
  while (p < text_.size()) {
    char ch = text_[p];
    if (isDigit(ch) || ch == '.' || ch == '+' || ch == '-' || (ch >= 'a' && ch <= 'f') ||
        (ch >= 'A' && ch <= 'F') || ch == 'x' || ch == 'X') {
      ++p;
    } else {
      break;
    }
  }
  return p;
}

Token Lexer::next() {
  if (hasPeek_) {
    hasPeek_ = false;
    pos_ = peekPos_;
    line_ = peekLine_;
    lineStart_ = peekLineStart_;
    return peeked_;
  }
  return lex();
}

Token Lexer::lex() {
  skipSeparators();
  Token t;
  t.line = line_;
  t.column = column();
  const size_t n = text_.size();
  if (pos_ >= n) return t;
  const size_t start = pos_;
  char ch = text_[pos_];
  switch (ch) {
    case '{': t.kind = TokenKind::OpenBrace; ++pos_; break;
    case '}': t.kind = TokenKind::CloseBrace; ++pos_; break;
    case '[': t.kind = TokenKind::OpenBracket; ++pos_; break;
    case ']': t.kind = TokenKind::CloseBracket; ++pos_; break;
    case '"': {
      ++pos_;
      while (pos_ < n && text_[pos_] != '"') {
        char c = text_[pos_];
        if (c == '\\' && pos_ + 1 < n) {
          pos_ += 2;
          continue;
        }
        ++pos_;
        if (c == '\n') {
          newline(pos_);
        } else if (c == '\r') {
          if (pos_ < n && text_[pos_] == '\n') ++pos_;
          newline(pos_);
        }
      }
      if (pos_ >= n) {
        t.kind = TokenKind::Invalid;  // unterminated string
        t.text = text_.substr(start, 1);
        return t;
      }
      t.kind = TokenKind::String;
      t.text = text_.substr(start + 1, pos_ - start - 1);
      ++pos_;
      return t;
    }
    default:
      if (isDigit(ch) || ch == '+' || ch == '-' ||
          (ch == '.' && pos_ + 1 < n && isDigit(text_[pos_ + 1]))) {
        t.kind = TokenKind::Number;
        pos_ = numberEnd(pos_ + 1);
      } else if (ch == '.') {
        t.kind = TokenKind::Period;
        ++pos_;
      } else if (startsIdentifier(ch)) {
        t.kind = TokenKind::Identifier;
        ++pos_;
        while (pos_ < n && continuesIdentifier(text_[pos_])) ++pos_;
      } else {
        t.kind = TokenKind::Invalid;
        ++pos_;
      }
  }
  t.text = text_.substr(start, pos_ - start);
  return t;
}

Token Lexer::peek() {
  if (hasPeek_) return peeked_;
  const size_t pos = pos_, lineStart = lineStart_;
  const uint32_t line = line_;
  peeked_ = lex();
  peekPos_ = pos_;
  peekLine_ = line_;
  peekLineStart_ = lineStart_;
  pos_ = pos;
  line_ = line;
  lineStart_ = lineStart;
  hasPeek_ = true;
  return peeked_;
}

bool Lexer::hasScanSlack() const {
  return text_.size() - pos_ >= number_scan::kNumberScanSlack;
}

template <class Real>
bool Lexer::readReal(Real& value) {
  hasPeek_ = false;
  skipSeparators();
  const char* first = text_.data() + pos_;
  const char* last = text_.data() + text_.size();
  if (hasScanSlack()) {
    if (const char* end = readShortDecimal(first, value)) {
      pos_ += static_cast<size_t>(end - first);
      return true;
    }
  }
  if (first == last) return false;
  // from_chars accepts no leading '+', and would accept "inf"/"nan", which
  // VRML does not.
  const char* p = first;
  if (*p == '+') ++p;
  if (p == last || !(isDigit(*p) || *p == '.' || *p == '-')) return false;
  if (*p == '-' && (p + 1 == last || !(isDigit(p[1]) || p[1] == '.'))) return false;
  // Out of range fails too: such a number is not a value of this type.
  const char* end = readPlainDecimal(p, last, value);
  if (end == nullptr) {
    auto [parsedEnd, ec] = std::from_chars(p, last, value);
    if (ec != std::errc()) return false;
    end = parsedEnd;
  }
  if (end < last && (continuesIdentifier(*end) || *end == '.')) return false;
  pos_ += static_cast<size_t>(end - first);
  return true;
}

bool Lexer::readFloat(float& value) { return readReal(value); }

bool Lexer::readDouble(double& value) { return readReal(value); }

bool Lexer::readMagnitude(uint32_t& value, bool& hex) {
  const char* first = text_.data() + pos_;
  const char* last = text_.data() + text_.size();
  const char* p = first;
  hex = false;
  if (last - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    hex = true;
    p += 2;
  }
  if (p == last) return false;
  const char* end = p;
  if (hex) {
    auto r = std::from_chars(p, last, value, 16);
    if (r.ec != std::errc()) return false;
    end = r.ptr;
  } else {
    // Decimal by hand: the common case in index lists, and simple.
    uint64_t v = 0;
    while (end < last && isDigit(*end)) {
      v = v * 10 + static_cast<uint64_t>(*end - '0');
      if (v > 0xffffffffu) return false;
      ++end;
    }
    if (end == p) return false;
    value = static_cast<uint32_t>(v);
  }
  if (end < last && (continuesIdentifier(*end) || *end == '.')) return false;
  pos_ += static_cast<size_t>(end - first);
  return true;
}

bool Lexer::readUint32(uint32_t& value) {
  hasPeek_ = false;
  skipSeparators();
  const size_t save = pos_;
  if (pos_ < text_.size() && text_[pos_] == '+') ++pos_;
  bool hex = false;
  if (!readMagnitude(value, hex)) {
    pos_ = save;
    return false;
  }
  return true;
}

bool Lexer::readInt32(int32_t& value) {
  hasPeek_ = false;
  skipSeparators();
  if (hasScanSlack()) {
    const char* first = text_.data() + pos_;
    if (const char* end = readShortInteger(first, value)) {
      pos_ += static_cast<size_t>(end - first);
      return true;
    }
  }
  const size_t save = pos_;
  bool negative = false;
  if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+')) {
    negative = text_[pos_] == '-';
    ++pos_;
  }
  uint32_t magnitude = 0;
  bool hex = false;
  if (!readMagnitude(magnitude, hex)) {
    pos_ = save;
    return false;
  }
  // Hexadecimal values are bit patterns (0xFFFFFFFF is -1); decimal ones
  // must fit the signed range.
  if (negative) {
    if (magnitude > 0x80000000u) {
      pos_ = save;
      return false;
    }
    value = static_cast<int32_t>(0u - magnitude);
  } else {
    if (!hex && magnitude > 0x7fffffffu) {
      pos_ = save;
      return false;
    }
    value = static_cast<int32_t>(magnitude);
  }
  return true;
}

template <class T>
size_t Lexer::readPlainNumbers(T* out, size_t count, size_t group) {
  hasPeek_ = false;
  if (text_.size() < number_scan::kNumberScanSlack) return 0;
  // Positions, the line count and where the line starts move together
  // once a whole group is read; a group that fails leaves them as they were.
  const char* const base = text_.data();
  const char* const scanEnd = base + text_.size() - number_scan::kNumberScanSlack;
  const char* p = base + pos_;
  uint32_t line = line_;
  const char* lineStart = base + lineStart_;
  size_t done = 0;
  while (count - done >= group) {
    const char* q = p;
    uint32_t groupLine = line;
    const char* groupLineStart = lineStart;
    size_t i = 0;
    for (; i < group; ++i) {
      q = skipSeparatorsIn(q, scanEnd, groupLine, groupLineStart);
      if (q == scanEnd || (q = readShortNumber(q, out[done + i])) == nullptr) break;
    }
    if (i < group) break;
    p = q;
    line = groupLine;
    lineStart = groupLineStart;
    done += group;
  }
  pos_ = static_cast<size_t>(p - base);
  line_ = line;
  lineStart_ = static_cast<size_t>(lineStart - base);
  return done;
}

size_t Lexer::readPlainFloats(float* out, size_t count, size_t group) {
  return readPlainNumbers(out, count, group);
}

size_t Lexer::readPlainDoubles(double* out, size_t count) {
  return readPlainNumbers(out, count, 1);
}

size_t Lexer::readPlainInt32s(int32_t* out, size_t count) {
  return readPlainNumbers(out, count, 1);
}

std::string unescapeString(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
    out.push_back(raw[i]);
  }
  return out;
}

void appendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (char ch : text) {
    if (ch == '"' || ch == '\\') out.push_back('\\');
    out.push_back(ch);
  }
  out.push_back('"');
}

}  // namespace kestrel
