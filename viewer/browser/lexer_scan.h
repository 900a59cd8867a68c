// The lexer's byte classes and its fast readers of separators and plain
// numbers, shared by the Lexer and its bulk list reader (bulk_numbers.h).
// Internal to both.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "viewer/browser/number_scan.h"

namespace kestrel::lexer_scan {

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

inline bool startsIdentifier(char ch) {
  return (kClasses[static_cast<unsigned char>(ch)] & 1) != 0;
}
inline bool continuesIdentifier(char ch) {
  return (kClasses[static_cast<unsigned char>(ch)] & 2) != 0;
}
inline bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Whether a number may end before CH: anything that cannot continue a
// name, except '.', which would make "1.2.3" two numbers.
inline bool endsNumber(char ch) { return !continuesIdentifier(ch) && ch != '.'; }

// Skips the separators from P on, up to END, counting the line ends into
// LINE and LINESTART (where the current line begins).
[[gnu::always_inline]] inline const char* skipSeparatorsIn(const char* p, const char* end,
                                                           uint32_t& line, const char*& lineStart) {
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
  static constexpr std::array<double, 23> kPowers{1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
};

// MANTISSA / 10^PLACES, negated when NEGATIVE, both exact in REAL: the
// one division rounds correctly, to the value from_chars gives.
template <class Real>
inline Real exactDecimal(uint64_t mantissa, size_t places, bool negative) {
  // Through int64_t: the mantissa fits, and the signed conversion is one
  // instruction where the unsigned one tests for the top bit first.
  const Real magnitude =
      static_cast<Real>(static_cast<int64_t>(mantissa)) / ExactDecimal<Real>::kPowers[places];
  return negative ? -magnitude : magnitude;
}

// The plain decimal at P (see number_scan.h), when it is a whole number
// and one division rounds it exactly; where it ends, or null. Needs
// kNumberScanSlack bytes at P.
template <class Real>
[[gnu::always_inline]] inline const char* readShortDecimal(const char* p, Real& value) {
  const number_scan::PlainDecimal d = number_scan::scanPlainDecimal(p);
  if (d.end == nullptr || !endsNumber(*d.end) || d.mantissa > ExactDecimal<Real>::kMaxMantissa) {
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

[[gnu::always_inline]] inline const char* readShortNumber(const char* p, float& value) {
  return readShortDecimal(p, value);
}
[[gnu::always_inline]] inline const char* readShortNumber(const char* p, double& value) {
  return readShortDecimal(p, value);
}
[[gnu::always_inline]] inline const char* readShortNumber(const char* p, int32_t& value) {
  return readShortInteger(p, value);
}

// A place in a text as the lexer tracks it.
struct TextPlace {
  const char* at;
  uint32_t line;
  const char* lineStart;  // where the line of AT begins
};

}  // namespace kestrel::lexer_scan
