#include "viewer/browser/lexer.h"

#include <array>
#include <bit>
#include <charconv>
#include <utility>

#include "viewer/browser/bulk_numbers.h"
#include "viewer/browser/byte_masks.h"
#include "viewer/browser/lexer_scan.h"

namespace kestrel {
namespace {

using namespace lexer_scan;

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

void Lexer::callProgress() {
  nextProgress_ = pos_ + progressStep_;
  const size_t from = std::exchange(progressFrom_, pos_);
  progress_(from, pos_);
}

void Lexer::newline(size_t at) {
  ++line_;
  lineStart_ = at;
}

// The separator and token scans are inlined into peek() and next(): a
// parser calls those once or twice a token, and calls cost as much as the
// scans of a typical short token.
[[gnu::always_inline]] inline void Lexer::skipSeparatorsInline() {
  const char* base = text_.data();
  const char* lineStart = base + lineStart_;
  const char* p = skipSeparatorsIn(base + pos_, base + text_.size(), line_, lineStart);
  pos_ = static_cast<size_t>(p - base);
  lineStart_ = static_cast<size_t>(lineStart - base);
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

[[gnu::always_inline]] inline size_t Lexer::identifierEnd(size_t from) const {
  const size_t n = text_.size();
  while (n - from >= 16) {
    const uint32_t ends = byte_masks::nameEnds(text_.data() + from);
    if (ends != 0) return from + static_cast<size_t>(std::countr_zero(ends));
    from += 16;
  }
  while (from < n && continuesIdentifier(text_[from])) ++from;
  return from;
}

void Lexer::skipSeparatorRun() { skipSeparatorsInline(); }

[[gnu::always_inline]] inline void Lexer::lex(Token& t) {
  skipSeparatorsInline();
  t.kind = TokenKind::End;
  t.text = {};
  t.line = line_;
  t.column = column();
  const size_t n = text_.size();
  if (pos_ >= n) return;
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
        return;
      }
      t.kind = TokenKind::String;
      t.text = text_.substr(start + 1, pos_ - start - 1);
      ++pos_;
      return;
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
        pos_ = identifierEnd(pos_ + 1);
      } else {
        t.kind = TokenKind::Invalid;
        ++pos_;
      }
  }
  t.text = text_.substr(start, pos_ - start);
}

Token Lexer::next() {
  if (hasPeek_) {
    hasPeek_ = false;
    pos_ = peekPos_;
    line_ = peekLine_;
    lineStart_ = peekLineStart_;
    return peeked_;
  }
  Token t;
  lex(t);
  return t;
}

const Token& Lexer::peek() {
  if (hasPeek_) return peeked_;
  const size_t pos = pos_, lineStart = lineStart_;
  const uint32_t line = line_;
  lex(peeked_);
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
  if (!hasScanSlack()) return 0;
  const char* const base = text_.data();
  TextPlace place{base + pos_, line_, base + lineStart_};
  const size_t done = bulk_numbers::readPlainRun(
      place, base + text_.size() - number_scan::kNumberScanSlack, out, count, group);
  pos_ = static_cast<size_t>(place.at - base);
  line_ = place.line;
  lineStart_ = static_cast<size_t>(place.lineStart - base);
  reportProgress();
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
