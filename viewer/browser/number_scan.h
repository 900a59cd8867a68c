// Eight bytes at a time: the digit runs of plain numbers ("24.8378",
// "-1", "489291") found and converted without a branch per digit. Large
// scenes are mostly such numbers, and a byte loop mispredicts at the end
// of every run of a different length.
//
// Every function here reads a fixed number of bytes past its pointer, so
// callers keep kNumberScanSlack readable bytes ahead of it.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace kestrel::number_scan {

// Readable bytes a scan at P may touch: a sign, eight digits, a point,
// eight digits and the byte after them.
inline constexpr size_t kNumberScanSlack = 32;

// The eight bytes at P, the first in the lowest byte.
[[gnu::always_inline]] inline uint64_t load8(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// How many of WORD's bytes, from the lowest up, are ASCII digits (0..8).
[[gnu::always_inline]] inline unsigned digitRun(uint64_t word) {
  // A byte is a digit when its high nibble is 3 and stays 3 with 6 added
  // (0x30..0x39). A carry out of a lower byte can spoil the test only for
  // bytes above a non-digit, which the count never reaches.
  constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0u;
  const uint64_t nibbles = (word & kHigh) | (((word + 0x0606060606060606u) & kHigh) >> 4);
  const uint64_t misses = nibbles ^ 0x3333333333333333u;
  return misses == 0 ? 8u : static_cast<unsigned>(std::countr_zero(misses)) / 8;
}

// The value of WORD's lowest COUNT bytes (1..8), all digits, read as a
// decimal with the lowest byte most significant.
[[gnu::always_inline]] inline uint32_t digitsValue(uint64_t word, unsigned count) {
  // The digits move to the top so the missing ones become leading zeros,
  // then pairs, fours and the eight combine in three multiplications.
  uint64_t v = (word - 0x3030303030303030u) << (64 - 8 * count);
  v = v * 10 + (v >> 8);
  constexpr uint64_t kLowPairs = 0x000000FF000000FFu;
  v = ((v & kLowPairs) * (100 + (uint64_t{1000000} << 32)) +
       ((v >> 16) & kLowPairs) * (1 + (uint64_t{10000} << 32))) >>
      32;
  return static_cast<uint32_t>(v);
}

inline constexpr uint64_t kPowersOfTen[9] = {1,      10,      100,      1000,     10000,
                                             100000, 1000000, 10000000, 100000000};

// A plain decimal at P: an optional '-', up to seven digits, and an
// optional '.' with up to seven more, at least one digit in all.
struct PlainDecimal {
  const char* end = nullptr;  // null: P holds no such number
  uint64_t mantissa = 0;      // every digit, the point left out
  unsigned places = 0;        // digits after the point
  bool negative = false;
};

[[gnu::always_inline]] inline PlainDecimal scanPlainDecimal(const char* p) {
  PlainDecimal d;
  d.negative = *p == '-';
  p += d.negative;
  const uint64_t whole = load8(p);
  const unsigned wholeDigits = digitRun(whole);
  if (wholeDigits == 8) return d;
  d.mantissa = wholeDigits == 0 ? 0 : digitsValue(whole, wholeDigits);
  p += wholeDigits;
  if (*p == '.') {
    const uint64_t fraction = load8(p + 1);
    d.places = digitRun(fraction);
    if (d.places == 8 || wholeDigits + d.places == 0) return d;
    if (d.places != 0) {
      d.mantissa = d.mantissa * kPowersOfTen[d.places] + digitsValue(fraction, d.places);
    }
    p += 1 + d.places;
  } else if (wholeDigits == 0) {
    return d;
  }
  d.end = p;
  return d;
}

// A plain decimal integer at P: an optional '-' and one to eight digits.
struct PlainInteger {
  const char* end = nullptr;  // null: P holds no such number
  int32_t value = 0;
};

[[gnu::always_inline]] inline PlainInteger scanPlainInteger(const char* p) {
  PlainInteger n;
  const bool negative = *p == '-';
  p += negative;
  const uint64_t word = load8(p);
  const unsigned digits = digitRun(word);
  if (digits == 0 || (digits == 8 && static_cast<unsigned>(p[8] - '0') < 10)) return n;
  const auto magnitude = static_cast<int32_t>(digitsValue(word, digits));
  n.value = negative ? -magnitude : magnitude;
  n.end = p + digits;
  return n;
}

}  // namespace kestrel::number_scan
