// The lexer's fast number paths (number_scan.h, the bulk list readers)
// against std::from_chars and a byte-at-a-time reading of the same text.
#include "viewer/browser/lexer.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "viewer/browser/byte_masks.h"
#include "viewer/browser/field_reader.h"
#include "viewer/browser/lexer_scan.h"
#include "viewer/browser/number_scan.h"

namespace kestrel {
namespace {

using number_scan::digitRun;
using number_scan::digitsValue;
using number_scan::load8;

TEST(NumberScan, WindowClassesMatchTheBytewiseDefinition) {
  std::mt19937_64 random(3);
  const std::string alphabet = "0123456789.-+e ,#\n\r\t\x1f\x20\x21\x00\x7f\x80\xff/:";
  char window[64];
  for (int i = 0; i < 20000; ++i) {
    for (char& b : window) {
      b = random() % 4 == 0 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
    }
    const byte_masks::ByteMasks fast = byte_masks::classify(window);
    const byte_masks::ByteMasks plain = byte_masks::classifyBytewise(window);
    ASSERT_EQ(fast.separators, plain.separators);
    ASSERT_EQ(fast.lineFeeds, plain.lineFeeds);
    ASSERT_EQ(fast.returns, plain.returns);
    ASSERT_EQ(fast.comments, plain.comments);
    ASSERT_EQ(fast.digits, plain.digits);
    ASSERT_EQ(fast.points, plain.points);
    ASSERT_EQ(fast.minuses, plain.minuses);
    ASSERT_EQ(byte_masks::countBits(fast.separators),
              static_cast<unsigned>(std::popcount(fast.separators)));
  }
}

TEST(NumberScan, NameEndsMatchTheLexerByteClasses) {
  std::mt19937_64 random(11);
  static constexpr char kAlphabet[] = "aZ_09+-\"#',.[\\]{}\x7f\x80\xff\x20\x21\x00\n/:";
  const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);  // NUL included
  char window[16];
  for (int i = 0; i < 20000; ++i) {
    for (char& b : window) {
      b = random() % 4 == 0 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
    }
    uint32_t expected = 0;
    for (unsigned k = 0; k < 16; ++k) {
      if (!lexer_scan::continuesIdentifier(window[k])) expected |= 1u << k;
    }
    ASSERT_EQ(byte_masks::nameEnds(window), expected);
    ASSERT_EQ(byte_masks::nameEndsBytewise(window), expected);
  }
}

TEST(Lexer, NamesOfEveryLengthEndWhereTheByteClassesSay) {
  // Names up to 40 bytes, so that some span whole 16-byte windows, some
  // end within the last 16 bytes of the text, and bytes above 0x7f.
  std::mt19937 random(13);
  const std::string nameBytes = "abcXYZ_019+-\x80\xfe:/";
  const std::string stops = " \n,{}[].#\"'\\\x7f";
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    std::vector<std::string> names;
    for (int k = static_cast<int>(random() % 4); k >= 0; --k) {
      std::string name(1, "aQ_\x80"[random() % 4]);
      for (size_t len = random() % 40; len > 0; --len) {
        name += nameBytes[random() % nameBytes.size()];
      }
      names.push_back(name);
      text += name;
      text += stops[random() % 3];  // a blank, line end or comma
    }
    if (random() % 2) text.pop_back();  // the last name ends the text
    Lexer lex(text);
    for (const std::string& name : names) {
      const Token t = lex.next();
      ASSERT_EQ(t.kind, TokenKind::Identifier) << text;
      ASSERT_EQ(t.text, name) << text;
    }
    EXPECT_EQ(lex.next().kind, TokenKind::End) << text;
  }
}

TEST(NumberScan, DigitRunsAndValuesMatchAByteLoop) {
  std::mt19937_64 random(5);
  const std::string alphabet = "0123456789/:.-+e \n\x00\xff\x39\x30\xfa\x06";
  for (int i = 0; i < 200000; ++i) {
    char bytes[8];
    for (char& b : bytes) {
      b = random() % 4 == 0 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
    }
    unsigned run = 0;
    uint32_t value = 0;
    while (run < 8 && bytes[run] >= '0' && bytes[run] <= '9') {
      value = value * 10 + static_cast<uint32_t>(bytes[run] - '0');
      ++run;
    }
    const uint64_t word = load8(bytes);
    ASSERT_EQ(digitRun(word), run) << std::string(bytes, 8);
    if (run > 0) {
      ASSERT_EQ(digitsValue(word, run), value) << std::string(bytes, 8);
    }
  }
}

// A random number as VRML files write them: mostly plain decimals of every
// length, some with exponents, a leading '+', leading zeros or no digits
// before or after the point.
std::string randomNumber(std::mt19937& random, bool integer) {
  auto digits = [&](uint64_t count) {
    std::string out;
    for (uint64_t i = 0; i < count; ++i) out += static_cast<char>('0' + random() % 10);
    return out;
  };
  std::string text;
  const unsigned sign = random() % 8;
  if (sign < 3) text += '-';
  if (sign == 3) text += '+';
  if (integer) {
    if (random() % 16 == 0) return text + "0x" + std::to_string(random() % 100000);
    return text + digits(1 + random() % (random() % 4 == 0 ? 11 : 8));
  }
  text += digits(random() % 9);
  if (random() % 5 != 0) text += "." + digits(random() % 10);
  if (text.find_first_of("0123456789") == std::string::npos) text += "0";
  if (random() % 10 == 0) text += "e" + std::to_string(static_cast<int>(random() % 60) - 30);
  return text;
}

// Separators as files mix them: blanks, tabs, commas, the three line
// endings and comments.
std::string randomSeparator(std::mt19937& random) {
  // Some longer than the 64 bytes the bulk reader looks at together.
  static const char* const kSeparators[] = {
      " ",
      " ",
      " ",
      ", ",
      ",\n",
      "\n",
      "\t",
      "\r\n",
      "\r",
      "   ",
      " # a 1 2 3\n",
      ",,",
      "                                                                        ",
      "\r\n# a comment that runs on past a window of sixty-four bytes 1 2 3 4 5 6\r\n"};
  return kSeparators[random() % std::size(kSeparators)];
}

// Reads TEXT one number at a time with from_chars and counts its lines,
// the way the lexer is specified to: the expected values, and the line and
// column of the byte after the list.
struct Expected {
  std::vector<double> doubles;
  std::vector<float> floats;
  std::vector<int32_t> ints;
  bool floatsFit = true, intsFit = true;
};

bool fromChars(std::string_view token, int32_t& value) {
  bool negative = false;
  if (!token.empty() && (token[0] == '-' || token[0] == '+')) {
    negative = token[0] == '-';
    token.remove_prefix(1);
  }
  uint32_t magnitude = 0;
  const bool hex = token.starts_with("0x");
  if (hex) token.remove_prefix(2);
  auto r = std::from_chars(token.data(), token.data() + token.size(), magnitude, hex ? 16 : 10);
  if (r.ec != std::errc() || r.ptr != token.data() + token.size()) return false;
  if (negative ? magnitude > 0x80000000u : (!hex && magnitude > 0x7fffffffu)) return false;
  value = static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
  return true;
}

template <class T>
bool fromChars(std::string_view token, T& value) {
  if (token[0] == '+') token.remove_prefix(1);
  auto r = std::from_chars(token.data(), token.data() + token.size(), value);
  return r.ec == std::errc() && r.ptr == token.data() + token.size();
}

// A list of COUNT random numbers, "[ ... ]" with random separators, and
// what reading it must give.
std::string randomList(std::mt19937& random, size_t count, bool integer, Expected& expected,
                       uint32_t& lines) {
  std::string text = "[";
  lines = 1;
  for (size_t i = 0; i < count; ++i) {
    std::string separator = randomSeparator(random);
    for (char c : separator) lines += c == '\n' ? 1 : 0;
    lines += separator == "\r" ? 1 : 0;
    text += separator;
    const std::string number = randomNumber(random, integer);
    text += number;
    if (integer) {
      int32_t v = 0;
      expected.intsFit = expected.intsFit && fromChars(number, v);
      expected.ints.push_back(v);
    } else {
      double d = 0;
      float f = 0;
      EXPECT_TRUE(fromChars(number, d)) << number;
      expected.floatsFit = expected.floatsFit && fromChars(number, f);
      expected.doubles.push_back(d);
      expected.floats.push_back(f);
    }
  }
  text += "\n]";
  ++lines;
  return text;
}

template <class T>
void expectSameBits(const std::vector<T>& got, const std::vector<T>& expected) {
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(std::memcmp(&got[i], &expected[i], sizeof(T)), 0) << "element " << i;
  }
}

TEST(Lexer, ListsOfEveryKindOfNumberReadAsFromCharsReadsThem) {
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    const bool integer = round % 3 == 0;
    // Short lists end within the last bytes of the text, where the bulk
    // readers hand over to the single ones.
    const size_t count = round % 5 == 0 ? random() % 6 : random() % 3000;
    Expected expected;
    uint32_t lines = 0;
    // In a buffer of its exact size, so that a read past its end is one
    // the address sanitizer sees.
    const std::string built = randomList(random, count, integer, expected, lines) + " X";
    const std::vector<char> exact(built.begin(), built.end());
    const std::string_view text(exact.data(), exact.size());
    ParseError error;
    FieldValue value;
    Lexer lexer(text);
    if (integer) {
      ASSERT_EQ(readFieldValue(lexer, FieldType::MFInt32, value, error), expected.intsFit)
          << error.text();
      if (expected.intsFit) expectSameBits(*value.as<std::vector<int32_t>>(), expected.ints);
    } else {
      ASSERT_TRUE(readFieldValue(lexer, FieldType::MFTime, value, error)) << error.text();
      expectSameBits(*value.as<std::vector<double>>(), expected.doubles);
      Lexer floats(text);
      ASSERT_EQ(readFieldValue(floats, FieldType::MFFloat, value, error), expected.floatsFit)
          << error.text();
      if (!expected.floatsFit) continue;
      expectSameBits(*value.as<std::vector<float>>(), expected.floats);
      lexer = floats;
    }
    if (integer && !expected.intsFit) continue;
    const Token after = lexer.next();
    EXPECT_EQ(after.text, "X");
    EXPECT_EQ(after.line, lines);
    EXPECT_EQ(after.column, 3u);
  }
}

TEST(Lexer, VectorListsStopAtTheElementThatIsNotWhole) {
  // Vectors are read a whole element at a time; a broken one fails where
  // its bad number stands, after any number of good ones.
  std::string text = "[";
  for (int i = 0; i < 500; ++i) text += " 1.5 2.25 -3,\n";
  text += " 4 5 x 6 ]";
  Lexer lexer(text);
  FieldValue value;
  ParseError error;
  ASSERT_FALSE(readFieldValue(lexer, FieldType::MFVec3f, value, error));
  EXPECT_EQ(error.line, 501u);
  EXPECT_EQ(error.column, 6u);
  EXPECT_EQ(error.message, "expected a number but found 'x'");

  std::string rotations = "[";
  for (int i = 0; i < 300; ++i) rotations += "0 1 0 1.57\n";
  rotations += "0 0 1 ]";
  Lexer partial(rotations);
  ASSERT_FALSE(readFieldValue(partial, FieldType::MFRotation, value, error));
  EXPECT_EQ(error.line, 301u);
  EXPECT_EQ(error.message, "expected a number but found ']'");
}

TEST(Lexer, LineEndsAnywhereInALongListCountOnce) {
  // "\r\n" at every offset from the list's start, so that some pair
  // straddles the bytes the bulk reader looks at together.
  for (size_t pad = 0; pad < 140; ++pad) {
    for (const char* lineEnd : {"\r\n", "\r", "\n"}) {
      std::string text = "[" + std::string(pad, ' ') + lineEnd + "1 2";
      for (int i = 0; i < 40; ++i) text += std::string(lineEnd) + "3 -4.5";
      text += " ] X";
      Lexer lexer(text);
      FieldValue value;
      ParseError error;
      ASSERT_TRUE(readFieldValue(lexer, FieldType::MFFloat, value, error)) << error.text();
      ASSERT_EQ(value.as<std::vector<float>>()->size(), 82u);
      const Token after = lexer.next();
      ASSERT_EQ(after.line, 42u) << pad << " " << lineEnd;
      ASSERT_EQ(after.column, 10u) << pad;
    }
  }
}

TEST(Lexer, MillionsOfPlainDecimalsReadAsFromCharsReadsThem) {
  // The bulk path converts plain decimals itself: every value must be the
  // correctly rounded one from_chars gives, for both precisions.
  std::mt19937 random(23);
  for (int round = 0; round < 4; ++round) {
    std::string text = "[";
    std::vector<float> floats;
    std::vector<double> doubles;
    char buffer[32];
    for (int i = 0; i < 500000; ++i) {
      // Up to seven digits on each side of the point, any sign.
      const unsigned wholeDigits = random() % 8, places = random() % 8;
      const uint64_t whole = random() % number_scan::kPowersOfTen[wholeDigits];
      const uint64_t fraction = random() % number_scan::kPowersOfTen[places];
      int n = std::snprintf(buffer, sizeof buffer, "%s%0*llu.%0*llu", random() % 2 ? "-" : "",
                            static_cast<int>(wholeDigits), static_cast<unsigned long long>(whole),
                            static_cast<int>(places), static_cast<unsigned long long>(fraction));
      std::string_view number(buffer, static_cast<size_t>(n));
      if (number == "." || number == "-.") number = "0";
      text += number;
      text += ' ';
      float f = 0;
      double d = 0;
      ASSERT_TRUE(fromChars(number, f) && fromChars(number, d)) << number;
      floats.push_back(f);
      doubles.push_back(d);
    }
    text += "]";
    FieldValue value;
    ParseError error;
    Lexer floatLexer(text);
    ASSERT_TRUE(readFieldValue(floatLexer, FieldType::MFFloat, value, error)) << error.text();
    expectSameBits(*value.as<std::vector<float>>(), floats);
    Lexer doubleLexer(text);
    ASSERT_TRUE(readFieldValue(doubleLexer, FieldType::MFTime, value, error)) << error.text();
    expectSameBits(*value.as<std::vector<double>>(), doubles);
  }
}

}  // namespace
}  // namespace kestrel
