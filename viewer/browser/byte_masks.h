// The bytes of a 64-byte window sorted into the classes the lexer's bulk
// number reader needs, one bit per byte (bit i for byte i): with the
// separators known at once, every number's start and end are known before
// any is converted, and the conversions no longer wait for each other.
// Also where names end, 16 bytes at a time, for the lexer.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kestrel::byte_masks {

struct ByteMasks {
  uint64_t separators = 0;  // 0x01..0x20 (blanks, controls, line ends) and ','
  uint64_t lineFeeds = 0;   // '\n'
  uint64_t returns = 0;     // '\r'
  uint64_t comments = 0;    // '#'
  uint64_t digits = 0;      // '0'..'9'
  uint64_t points = 0;      // '.'
  uint64_t minuses = 0;     // '-'
};

// The number of bits set in BITS, without the library call std::popcount
// becomes where the target lacks an instruction for it.
inline unsigned countBits(uint64_t bits) {
  bits -= (bits >> 1) & 0x5555555555555555u;
  bits = (bits & 0x3333333333333333u) + ((bits >> 2) & 0x3333333333333333u);
  bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<unsigned>((bits * 0x0101010101010101u) >> 56);
}

// One byte at a time: the definition, and the classifier where SSE2 is
// missing.
inline ByteMasks classifyBytewise(const char* p) {
  ByteMasks m;
  for (unsigned i = 0; i < 64; ++i) {
    const auto c = static_cast<unsigned char>(p[i]);
    const uint64_t bit = uint64_t{1} << i;
    if ((c >= 0x01 && c <= 0x20) || c == ',') m.separators |= bit;
    if (c == '\n') m.lineFeeds |= bit;
    if (c == '\r') m.returns |= bit;
    if (c == '#') m.comments |= bit;
    if (c >= '0' && c <= '9') m.digits |= bit;
    if (c == '.') m.points |= bit;
    if (c == '-') m.minuses |= bit;
  }
  return m;
}

#if defined(__SSE2__)
[[gnu::always_inline]] inline uint64_t bitsOf(__m128i lanes, unsigned block) {
  return uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(lanes))} << (16 * block);
}

[[gnu::always_inline]] inline ByteMasks classify(const char* p) {
  const __m128i blank = _mm_set1_epi8(0x20);
  const __m128i nul = _mm_setzero_si128();
  const __m128i comma = _mm_set1_epi8(',');
  const __m128i lineFeed = _mm_set1_epi8('\n');
  const __m128i ret = _mm_set1_epi8('\r');
  const __m128i hash = _mm_set1_epi8('#');
  const __m128i zero = _mm_set1_epi8('0');
  const __m128i nine = _mm_set1_epi8(9);
  const __m128i point = _mm_set1_epi8('.');
  const __m128i minus = _mm_set1_epi8('-');
  ByteMasks m;
  for (unsigned block = 0; block < 4; ++block) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * block));
    // Unsigned x <= 0x20, NUL left out.
    const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(x, blank), x);
    const __m128i separator =
        _mm_or_si128(_mm_andnot_si128(_mm_cmpeq_epi8(x, nul), low), _mm_cmpeq_epi8(x, comma));
    m.separators |= bitsOf(separator, block);
    m.lineFeeds |= bitsOf(_mm_cmpeq_epi8(x, lineFeed), block);
    m.returns |= bitsOf(_mm_cmpeq_epi8(x, ret), block);
    m.comments |= bitsOf(_mm_cmpeq_epi8(x, hash), block);
    const __m128i digit = _mm_sub_epi8(x, zero);  // unsigned <= 9 for '0'..'9'
    m.digits |= bitsOf(_mm_cmpeq_epi8(_mm_min_epu8(digit, nine), digit), block);
    m.points |= bitsOf(_mm_cmpeq_epi8(x, point), block);
    m.minuses |= bitsOf(_mm_cmpeq_epi8(x, minus), block);
  }
  return m;
}
#else
inline ByteMasks classify(const char* p) { return classifyBytewise(p); }
#endif

// Bit i set when byte i of the 16 at P cannot continue a name (see
// lexer_scan.h): a byte up to 0x20, 0x7f, a quote, '#', apostrophe, comma,
// period, bracket, backslash or brace. Names are most of a scene's tokens
// and rarely longer than 16 bytes: one window finds a name's end without
// the mispredicted exit of a loop over its bytes.
inline uint32_t nameEndsBytewise(const char* p) {
  uint32_t bits = 0;
  for (unsigned i = 0; i < 16; ++i) {
    const auto c = static_cast<unsigned char>(p[i]);
    if (c <= 0x20 || c == 0x7f || (c < 0x80 && std::strchr("\"#',.[\\]{}", c) != nullptr)) {
      bits |= 1u << i;
    }
  }
  return bits;
}

#if defined(__SSE2__)
[[gnu::always_inline]] inline __m128i bytesEqual(__m128i x, char ch) {
  return _mm_cmpeq_epi8(x, _mm_set1_epi8(ch));
}

// Written out compare by compare: a loop over the stop bytes is not
// unrolled and costs more than the byte-at-a-time scan it replaces.
[[gnu::always_inline]] inline uint32_t nameEnds(const char* p) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(0x20)), x);  // <= 0x20
  const __m128i quotes = _mm_or_si128(_mm_or_si128(bytesEqual(x, '"'), bytesEqual(x, '#')),
                                      bytesEqual(x, '\''));
  const __m128i marks = _mm_or_si128(bytesEqual(x, ','), bytesEqual(x, '.'));
  const __m128i brackets = _mm_or_si128(_mm_or_si128(bytesEqual(x, '['), bytesEqual(x, '\\')),
                                        bytesEqual(x, ']'));
  const __m128i braces = _mm_or_si128(_mm_or_si128(bytesEqual(x, '{'), bytesEqual(x, '}')),
                                      bytesEqual(x, '\x7f'));
  const __m128i stop = _mm_or_si128(_mm_or_si128(low, quotes),
                                    _mm_or_si128(marks, _mm_or_si128(brackets, braces)));
  return static_cast<uint32_t>(_mm_movemask_epi8(stop));
}
#else
inline uint32_t nameEnds(const char* p) { return nameEndsBytewise(p); }
#endif

}  // namespace kestrel::byte_masks
