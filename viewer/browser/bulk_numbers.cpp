#include "viewer/browser/bulk_numbers.h"

#include <bit>
#include <cstddef>
#include <cstdint>

#include "viewer/browser/byte_masks.h"
#include "viewer/browser/number_scan.h"

namespace kestrel::bulk_numbers {
namespace {

using lexer_scan::TextPlace;

// A window is 64 bytes, classified at once (byte_masks.h); the numbers in
// it are read only if its bytes and kNumberScanSlack more are in the text.
constexpr size_t kWindow = 64;

using byte_masks::ByteMasks;

// Bits FROM..TO-1 (TO <= 63).
uint64_t bitRange(unsigned from, unsigned to) {
  return ((uint64_t{1} << to) - 1) & (~uint64_t{0} << from);
}

// PLACE moved by I bytes (1..64) through a window whose line breaks are
// BREAKS.
[[gnu::always_inline]] inline TextPlace advanced(const TextPlace& place, uint64_t breaks,
                                                 unsigned i) {
  const uint64_t passed = i == kWindow ? breaks : breaks & ((uint64_t{1} << i) - 1);
  if (passed == 0) return {place.at + i, place.line, place.lineStart};
  return {place.at + i, place.line + byte_masks::countBits(passed),
          place.at + kWindow - std::countl_zero(passed)};
}

// The COUNT digits at P (0..8) as a number.
uint64_t digitsAt(const char* p, unsigned count) {
  return count == 0 ? 0 : number_scan::digitsValue(number_scan::load8(p), count);
}

// The token at bytes START..END-1 of the window W when it is a plain
// number: the masks say where its sign, point and digits are, so nothing
// waits on a scan. Accepts exactly what readShortNumber accepts there, to
// the same value.
template <class Real>
[[gnu::always_inline]] inline bool readToken(const char* w, const ByteMasks& m, unsigned start,
                                             unsigned end, Real& value) {
  const bool negative = (m.minuses >> start) & 1;
  const unsigned first = start + negative;
  const uint64_t body = bitRange(first, end);
  const uint64_t point = m.points & body;
  // Digits and at most one point.
  if ((~m.digits & body) != point || (point & (point - 1)) != 0) return false;
  const unsigned pointAt = point != 0 ? static_cast<unsigned>(std::countr_zero(point)) : end;
  const unsigned whole = pointAt - first;
  const unsigned places = point != 0 ? end - pointAt - 1 : 0;
  if (whole > 7 || places > 7 || whole + places == 0) return false;
  uint64_t mantissa = 0;
  if (whole + places <= 8) {
    // Up to eight digits: the whole part's bytes joined to the fraction's,
    // read one byte on past the point, and converted at once.
    const uint64_t wholeBytes = (uint64_t{1} << (8 * whole)) - 1;
    mantissa = number_scan::digitsValue((number_scan::load8(w + first) & wholeBytes) |
                                            (number_scan::load8(w + first + 1) & ~wholeBytes),
                                        whole + places);
  } else {
    mantissa = digitsAt(w + first, whole) * number_scan::kPowersOfTen[places] +
               digitsAt(w + pointAt + 1, places);
  }
  if (mantissa > lexer_scan::ExactDecimal<Real>::kMaxMantissa) return false;
  value = lexer_scan::exactDecimal<Real>(mantissa, places, negative);
  return true;
}

template <>
[[gnu::always_inline]] inline bool readToken(const char* w, const ByteMasks& m, unsigned start,
                                             unsigned end, int32_t& value) {
  const bool negative = (m.minuses >> start) & 1;
  const unsigned first = start + negative;
  const unsigned digits = end - first;
  if ((~m.digits & bitRange(first, end)) != 0 || digits == 0 || digits > 8) return false;
  const auto magnitude = static_cast<int32_t>(digitsAt(w + first, digits));
  value = negative ? -magnitude : magnitude;
  return true;
}

// Plain numbers a window at a time: the separators of 64 bytes are found
// together, so each number's start and end are known before it is read,
// and reading one does not wait on the one before (the tokens are listed
// first, then converted in a loop of their own). Stops at whatever it
// leaves to readGroupsOneByOne: a comment ahead, a number that is not
// plain, the text's last bytes.
template <class T, size_t group>
size_t readWindows(TextPlace& place, const char* scanEnd, T* out, size_t count) {
  TextPlace at = place;  // the window's start: the end of a number or a separator
  size_t done = 0;       // numbers of whole groups, read up to PLACE
  size_t pending = 0;    // numbers of the group under way, read up to AT
  while (scanEnd - at.at >= static_cast<std::ptrdiff_t>(kWindow)) {
    const ByteMasks m = byte_masks::classify(at.at);
    // Line breaks: "\n", and '\r' unless a '\n' follows ("\r\n" breaks
    // once); the byte after the window decides for its last byte.
    const uint64_t beforeLineFeed =
        (m.lineFeeds >> 1) | (uint64_t{at.at[kWindow] == '\n'} << (kWindow - 1));
    const uint64_t breaks = m.lineFeeds | (m.returns & ~beforeLineFeed);
    const uint64_t tokens = ~m.separators;
    uint64_t starts = tokens & ~(tokens << 1);
    // What follows a '#' is a comment, up to a line end: readGroupsOneByOne's.
    if (m.comments != 0) starts &= (uint64_t{1} << std::countr_zero(m.comments)) - 1;

    // The tokens that end in the window (at most one in two bytes).
    uint8_t firsts[kWindow / 2], ends[kWindow / 2];
    unsigned listed = 0;
    const size_t room = count - done - pending;
    for (; starts != 0 && listed < room; starts &= starts - 1, ++listed) {
      const auto first = static_cast<unsigned>(std::countr_zero(starts));
      const uint64_t separatorsAfter = m.separators & (~uint64_t{0} << first);
      if (separatorsAfter == 0) break;  // the token runs on past the window
      firsts[listed] = static_cast<uint8_t>(first);
      ends[listed] = static_cast<uint8_t>(std::countr_zero(separatorsAfter));
    }
    // Each must be a plain number as a whole; "1.5]" and "2e3" are not.
    T* const into = out + done + pending;
    unsigned read = 0;
    while (read < listed && readToken(at.at, m, firsts[read], ends[read], into[read])) ++read;

    const size_t groups = (pending + read) / group;
    if (groups != 0) {
      place = advanced(at, breaks, ends[groups * group - pending - 1]);
      done += groups * group;
    }
    pending = (pending + read) % group;
    if (read < listed || count - done < group) return done;
    if (read != 0) {
      at = advanced(at, breaks, ends[read - 1]);
    } else if (starts != 0 && (starts & 1) == 0) {
      at = advanced(at, breaks, static_cast<unsigned>(std::countr_zero(starts)));
    } else if (starts == 0 && m.comments == 0) {
      at = advanced(at, breaks, kWindow);  // separators only
    } else {
      break;  // a token longer than a window, or a comment next
    }
  }
  return done;
}

// The same one byte at a time, up to MAXGROUPS groups: for comments,
// "\r" line ends and the last bytes of the text.
template <class T>
size_t readGroupsOneByOne(TextPlace& place, const char* scanEnd, T* out, size_t count, size_t group,
                          size_t maxGroups) {
  size_t done = 0;
  while (count - done >= group && done < maxGroups * group) {
    TextPlace at = place;
    size_t i = 0;
    for (; i < group; ++i) {
      // A number may end past SCANEND; none may start there.
      at.at = lexer_scan::skipSeparatorsIn(at.at, scanEnd, at.line, at.lineStart);
      if (at.at >= scanEnd) break;
      at.at = lexer_scan::readShortNumber(at.at, out[done + i]);
      if (at.at == nullptr) break;
    }
    if (i < group) break;
    place = at;
    done += group;
  }
  return done;
}

}  // namespace

namespace {

// readPlainRun for groups of GROUP, which the compiler then knows.
template <class T, size_t group>
size_t readRun(TextPlace& place, const char* scanEnd, T* out, size_t count) {
  size_t done = 0;
  while (count - done >= group) {
    done += readWindows<T, group>(place, scanEnd, out + done, count - done);
    // Whatever stopped the windows: one group read byte by byte gets past
    // it, or nothing does.
    const size_t more = readGroupsOneByOne(place, scanEnd, out + done, count - done, group, 1);
    if (more == 0) break;
    done += more;
  }
  return done;
}

}  // namespace

template <class T>
size_t readPlainRun(TextPlace& place, const char* scanEnd, T* out, size_t count, size_t group) {
  switch (group) {
    case 1:
      return readRun<T, 1>(place, scanEnd, out, count);
    case 2:
      return readRun<T, 2>(place, scanEnd, out, count);
    case 3:
      return readRun<T, 3>(place, scanEnd, out, count);
    case 4:
      return readRun<T, 4>(place, scanEnd, out, count);
    default:
      return 0;
  }
}

template size_t readPlainRun(TextPlace&, const char*, float*, size_t, size_t);
template size_t readPlainRun(TextPlace&, const char*, double*, size_t, size_t);
template size_t readPlainRun(TextPlace&, const char*, int32_t*, size_t, size_t);

}  // namespace kestrel::bulk_numbers
