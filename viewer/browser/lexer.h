// Tokeniser for the VRML97 classic encoding.
//
// Works in place over a text that must outlive the lexer: tokens are views
// into it, so no token allocates. Commas, white space and '#' comments
// separate tokens. Lines and columns count from 1; "\r\n", "\n" and a lone
// "\r" each end a line. Numbers are read without locale (std::from_chars).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kestrel {

enum class TokenKind : uint8_t {
  End, Identifier, Number, String, OpenBrace, CloseBrace, OpenBracket, CloseBracket,
  Period, Invalid,
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string_view text;  // a String's text is its raw inside, escapes kept
  uint32_t line = 1;
  uint32_t column = 1;
};

// A human name for KIND, for error messages ("'{'", "a string" ...).
const char* tokenKindName(TokenKind kind);

class Lexer {
 public:
  explicit Lexer(std::string_view text);

  // The next token, consumed.
  Token next();
  // The next token, left in place. The reference holds until the next call
  // that moves the lexer or peeks again.
  const Token& peek();
  // True when only separators remain.
  bool atEnd() {
    skipSeparators();
    return pos_ >= text_.size();
  }
  // Skips separators; afterwards line()/column() name the next token. A
  // peeked token stays valid: skipping does not change what comes next.
  // Inline for the frequent call that finds a token already at hand (a
  // reader after peekChar, say).
  void skipSeparators() {
    if (pos_ < text_.size() && startsToken(text_[pos_])) return;
    skipSeparatorRun();
  }
  // Moves past N bytes that are not part of any token (a byte order mark).
  void skipBytes(size_t n) {
    hasPeek_ = false;
    pos_ += n;
    lineStart_ = pos_;
  }
  // The character that starts the next token, or 0 at the end.
  char peekChar() {
    skipSeparators();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }

  // Numbers read straight from the text (separators skipped first). Each
  // fails, consuming nothing, unless a well-formed number of that kind is
  // next. Integers accept 0x hexadecimal and a sign.
  bool readFloat(float& value);
  bool readDouble(double& value);
  bool readInt32(int32_t& value);
  bool readUint32(uint32_t& value);

  // Plain numbers in bulk, for long lists: reads up to COUNT numbers into
  // OUT in whole groups of GROUP (the floats of one vector, say) and
  // returns how many it read. Stops before the first group that holds
  // anything but plain decimals ("-12.5", "7", ".25"; exponents, signs
  // '+', hexadecimal and long numbers are left to the readers above) and
  // before the last few bytes of the text. Each value is the one the
  // single readers give.
  size_t readPlainFloats(float* out, size_t count, size_t group);
  size_t readPlainDoubles(double* out, size_t count);
  size_t readPlainInt32s(int32_t* out, size_t count);

  // Calls DONE(begin, end) each time the read position has moved STEP
  // bytes past the last call: the text in [begin, end) has been read, and
  // the next call starts where this one ended. Checked where reading pauses
  // (reportProgress) and between chunks of numbers.
  void onProgress(std::function<void(size_t, size_t)> done, size_t step) {
    progress_ = std::move(done);
    progressStep_ = step;
    progressFrom_ = pos_;
    nextProgress_ = progress_ ? pos_ + step : SIZE_MAX;
  }
  void reportProgress() {
    if (pos_ >= nextProgress_) callProgress();
  }
  // Tells DONE of what has been read since its last call, however little.
  void flushProgress() {
    if (progress_ && pos_ > progressFrom_) callProgress();
  }
  // Goes on at OFFSET, the start of line LINE, as if everything before it
  // had been read here (the parse of a text in parts joins a part read
  // elsewhere). Progress is told from OFFSET on.
  void resumeAt(size_t offset, uint32_t line) {
    hasPeek_ = false;
    pos_ = offset;
    lineStart_ = offset;
    line_ = line;
    progressFrom_ = offset;
    if (progress_) nextProgress_ = offset + progressStep_;
  }

  uint32_t line() const { return line_; }
  uint32_t column() const { return static_cast<uint32_t>(pos_ - lineStart_ + 1); }
  size_t offset() const { return pos_; }
  std::string_view text() const { return text_; }

 private:
  // Whether CH is no separator: not a blank, control character, ',' or '#'.
  // NUL counts as a token byte, as in skipSeparatorRun.
  static bool startsToken(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return c > 0x20 ? c != ',' && c != '#' : c == 0;
  }
  void skipSeparatorRun();
  // skipSeparatorRun inlined, for the token scans in lexer.cpp.
  void skipSeparatorsInline();
  void newline(size_t at);
  size_t numberEnd(size_t from) const;
  // Where the name continued at FROM ends: 16 bytes at a time while that
  // many remain, then byte by byte.
  size_t identifierEnd(size_t from) const;
  // Lexes the next token into T, consumed. Written in place (into the
  // look-ahead slot for peek) rather than returned, so that a caller's read
  // of the token does not wait on a copy of it.
  void lex(Token& t);
  // Unsigned magnitude at pos_, decimal or 0x hexadecimal; HEX tells which.
  bool readMagnitude(uint32_t& value, bool& hex);
  // readFloat and readDouble: one reader for both precisions.
  template <class Real>
  bool readReal(Real& value);
  template <class T>
  size_t readPlainNumbers(T* out, size_t count, size_t group);
  // Whether the eight-byte scans of number_scan.h may start at pos_.
  bool hasScanSlack() const;

  void callProgress();

  std::function<void(size_t, size_t)> progress_;
  size_t progressStep_ = 0;
  size_t progressFrom_ = 0;
  size_t nextProgress_ = SIZE_MAX;

  // One token of look-ahead, kept so that peek() then next() lexes once.
  bool hasPeek_ = false;
  Token peeked_;
  size_t peekPos_ = 0, peekLineStart_ = 0;
  uint32_t peekLine_ = 1;

  std::string_view text_;
  size_t pos_ = 0;
  size_t lineStart_ = 0;
  uint32_t line_ = 1;
};

// The text of a String token with its \" and \\ escapes undone.
std::string unescapeString(std::string_view raw);
// TEXT as a quoted VRML string, with " and \ escaped.
void appendQuoted(std::string& out, std::string_view text);

}  // namespace kestrel
