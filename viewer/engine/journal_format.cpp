#include "viewer/engine/journal_format.h"

#include <sys/stat.h>

#include <charconv>
#include <memory>
#include <cstdio>
#include <ctime>

#include "viewer/intake/command_codes.h"

namespace kestrel {
namespace {

// Names for the codes that no verb makes.
std::string_view verblessName(int code) {
  switch (code) {
    case cmd::kMapRequest: return "maprequest";
    case cmd::kStarLine: return "star";
    case cmd::kEndData: return "enddata";
    case cmd::kDataLine: return "data";
    case cmd::kDebugBoth: return "debugboth";
    case cmd::kEndTemplate: return "endtemplate";
    case cmd::kTemplateLine: return "templateline";
    case cmd::kEndFunction: return "endfunction";
    case cmd::kFunctionLine: return "functionline";
    default: return "code";
  }
}

constexpr char kHex[] = "0123456789abcdef";

void appendNumber(std::string& out, int64_t value) {
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

// A cursor over one line being parsed.
class LineReader {
 public:
  explicit LineReader(std::string_view line) : rest_(line) {}

  bool atEnd() const { return rest_.empty(); }
  // The next blank-separated word (the blank after it is consumed).
  std::string_view word() {
    size_t end = rest_.find(' ');
    std::string_view w = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    return w;
  }
  bool number(int64_t* value) {
    std::string_view w = word();
    auto result = std::from_chars(w.data(), w.data() + w.size(), *value);
    return !w.empty() && result.ec == std::errc() && result.ptr == w.data() + w.size();
  }
  // A quoted, escaped string and the blank after it, if any.
  bool quoted(std::string* out, std::string* error);

 private:
  bool escape(std::string* out, std::string* error);
  std::string_view rest_;
};

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool LineReader::escape(std::string* out, std::string* error) {
  if (rest_.empty()) return *error = "a line ends inside an escape", false;
  char c = rest_[0];
  rest_.remove_prefix(1);
  switch (c) {
    case '\\': case '"': out->push_back(c); return true;
    case 'n': out->push_back('\n'); return true;
    case 'r': out->push_back('\r'); return true;
    case 't': out->push_back('\t'); return true;
    case 'x': {
      int high = rest_.size() >= 2 ? hexValue(rest_[0]) : -1;
      int low = rest_.size() >= 2 ? hexValue(rest_[1]) : -1;
      if (high < 0 || low < 0) return *error = "\\x needs two hexadecimal digits", false;
      out->push_back(static_cast<char>(high * 16 + low));
      rest_.remove_prefix(2);
      return true;
    }
    default:
      *error = std::string("unknown escape \\") + c;
      return false;
  }
}

bool LineReader::quoted(std::string* out, std::string* error) {
  if (rest_.empty() || rest_[0] != '"') return *error = "a quoted text was expected", false;
  rest_.remove_prefix(1);
  out->clear();
  for (;;) {
    size_t special = rest_.find_first_of("\"\\");
    if (special == std::string_view::npos) return *error = "a quoted text is not closed", false;
    out->append(rest_.substr(0, special));
    char c = rest_[special];
    rest_.remove_prefix(special + 1);
    if (c == '"') break;
    if (!escape(out, error)) return false;
  }
  if (rest_.empty()) return true;
  if (rest_[0] != ' ') return *error = "a blank must follow a quoted text", false;
  rest_.remove_prefix(1);
  return true;
}

bool parseUtcTime(std::string_view text, int64_t* seconds, int32_t* nanoseconds) {
  std::tm tm{};
  int nanos = 0, consumed = 0;
  std::string copy(text);
  if (std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%9dZ%n", &tm.tm_year, &tm.tm_mon,
                  &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &nanos, &consumed) != 7 ||
      consumed != static_cast<int>(copy.size()) || copy.size() != 30) {
    return false;
  }
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  *seconds = static_cast<int64_t>(timegm(&tm));
  *nanoseconds = nanos;
  return true;
}

bool parseFileTail(LineReader& in, JournalRecord* record, std::string* error) {
  record->kind = JournalRecord::Kind::kFile;
  if (!in.quoted(&record->file.path, error)) return false;
  std::string_view word = in.word();
  if (word == "missing" && in.atEnd()) return true;
  int64_t size = 0;
  if (word != "size" || !in.number(&size) || size < 0 || in.word() != "mtime") {
    return *error = "a file line needs size BYTES mtime TIME, or missing", false;
  }
  record->file.found = true;
  record->file.size = static_cast<uint64_t>(size);
  std::string_view time = in.word();
  if (!parseUtcTime(time, &record->file.mtimeSeconds, &record->file.mtimeNanoseconds) ||
      !in.atEnd()) {
    return *error = "bad mtime (YYYY-MM-DDThh:mm:ss.nnnnnnnnnZ)", false;
  }
  return true;
}

bool parseCommandTail(LineReader& in, int64_t code, JournalRecord* record,
                      std::string* error) {
  if (code < 0 || code >= cmd::kCount) return *error = "unknown command code", false;
  record->code = static_cast<int>(code);
  std::string_view name = in.word();
  if (name != journalName(record->code)) {
    *error = "code " + std::to_string(code) + " is named " + std::string(journalName(record->code)) +
             ", not " + std::string(name);
    return false;
  }
  if (in.atEnd()) return true;
  if (!in.quoted(&record->text.emplace(), error)) return false;
  if (in.atEnd()) return true;
  if (!in.quoted(&record->argument.emplace(), error)) return false;
  if (!in.atEnd()) return *error = "text after the argument", false;
  return true;
}

}  // namespace

std::string_view journalName(int code) {
  if (code < 0 || code >= cmd::kCount) return "code";
  const char* verb = kCommandTable[code].verb;
  if (verb == nullptr) return verblessName(code);
  std::string_view name(verb);
  if (name.back() == ' ') name.remove_suffix(1);
  return name;
}

namespace {

// Bytes that a quoted text writes as an escape.
struct EscapeTable {
  bool escaped[256] = {};
  constexpr EscapeTable() {
    for (int c = 0; c < 0x20; ++c) escaped[c] = true;
    escaped[0x7f] = escaped[0x22] = escaped[0x5c] = true;  // DEL, '"', '\\'
  }
};
constexpr EscapeTable kEscapes;

void appendEscape(std::string& out, unsigned char c) {
  char escape[4] = {'\\', static_cast<char>(c), 0, 0};
  size_t length = 2;
  switch (c) {
    case '"': case '\\': break;
    case '\n': escape[1] = 'n'; break;
    case '\r': escape[1] = 'r'; break;
    case '\t': escape[1] = 't'; break;
    default:
      escape[1] = 'x';
      escape[2] = kHex[c >> 4];
      escape[3] = kHex[c & 15];
      length = 4;
  }
  out.append(escape, length);
}

// " 61 setobject" for each code.
const std::string& codeAndName(int code) {
  static const auto names = [] {
    auto table = std::make_unique<std::string[]>(cmd::kCount);
    for (int c = 0; c < cmd::kCount; ++c) {
      // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict
      // overlap inside libstdc++ for "literal" + std::string (GCC bug 105329).
      std::string& entry = table[c];
      entry += ' ';
      entry += std::to_string(c);
      entry += ' ';
      entry += journalName(c);
    }
    return table;
  }();
  return names[code];
}

}  // namespace

void appendJournalQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  size_t plain = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (!kEscapes.escaped[c]) continue;
    out.append(text.data() + plain, i - plain);
    plain = i + 1;
    appendEscape(out, c);
  }
  out.append(text.data() + plain, text.size() - plain);
  out.push_back('"');
}

void appendUtcTime(std::string& out, int64_t seconds, int32_t nanoseconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%09dZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(nanoseconds));
  out += text;
}

namespace {

void appendPrefix(std::string& out, int64_t milliseconds, char queue, bool continued) {
  appendNumber(out, milliseconds);
  out.push_back(' ');
  out.push_back(queue);
  if (continued) out.push_back('+');
  out.push_back(' ');
}

}  // namespace

void appendCommandLine(std::string& out, int64_t milliseconds, char queue, bool continued,
                       int code, std::optional<std::string_view> text,
                       std::optional<std::string_view> argument) {
  appendPrefix(out, milliseconds, queue, continued);
  if (code >= 0 && code < cmd::kCount) {
    out.append(codeAndName(code), 1);
  } else {
    appendNumber(out, code);
    out += " code";
  }
  if (text) {
    out.push_back(' ');
    appendJournalQuoted(out, *text);
    if (argument) {
      out.push_back(' ');
      appendJournalQuoted(out, *argument);
    }
  }
  out.push_back('\n');
}

void appendFileLine(std::string& out, int64_t milliseconds, char queue,
                    const JournalFileInfo& file) {
  appendPrefix(out, milliseconds, queue, true);
  out += "file ";
  appendJournalQuoted(out, file.path);
  if (!file.found) {
    out += " missing\n";
    return;
  }
  out += " size ";
  appendNumber(out, static_cast<int64_t>(file.size));
  out += " mtime ";
  appendUtcTime(out, file.mtimeSeconds, file.mtimeNanoseconds);
  out.push_back('\n');
}

void appendRecordLine(std::string& out, const JournalRecord& record) {
  if (record.kind == JournalRecord::Kind::kFile) {
    appendFileLine(out, record.milliseconds, record.queue, record.file);
    return;
  }
  appendCommandLine(out, record.milliseconds, record.queue, record.continued, record.code,
                    record.text, record.argument);
}

bool parseJournalLine(std::string_view line, JournalRecord* record, std::string* error) {
  error->clear();
  *record = JournalRecord{};
  if (line.empty() || line[0] == '#') return false;
  LineReader in(line);
  if (!in.number(&record->milliseconds) || record->milliseconds < 0) {
    return *error = "a line must begin with its time in milliseconds", false;
  }
  std::string_view queue = in.word();
  if (queue.empty() || queue.size() > 2 || (queue[0] != 'P' && queue[0] != 'S') ||
      (queue.size() == 2 && queue[1] != '+')) {
    return *error = "the queue must be P, S, P+ or S+", false;
  }
  record->queue = queue[0];
  record->continued = queue.size() == 2;
  std::string_view kind = in.word();
  if (kind == "file") {
    if (!record->continued) return *error = "a file line must follow its load (P+ or S+)", false;
    return parseFileTail(in, record, error);
  }
  int64_t code = 0;
  auto result = std::from_chars(kind.data(), kind.data() + kind.size(), code);
  if (kind.empty() || result.ec != std::errc() || result.ptr != kind.data() + kind.size()) {
    return *error = "a command code or \"file\" was expected", false;
  }
  return parseCommandTail(in, code, record, error);
}

JournalFileInfo describeFile(const std::string& path) {
  JournalFileInfo info;
  info.path = path;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return info;
  info.found = true;
  info.size = static_cast<uint64_t>(st.st_size);
  info.mtimeSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
  info.mtimeNanoseconds = static_cast<int32_t>(st.st_mtim.tv_nsec);
  return info;
}

}  // namespace kestrel
