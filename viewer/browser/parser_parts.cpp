// A large text of many top-level statements (a scene exported as
// thousands of objects, say) is parsed in parts on several threads.
//
// The text is cut at line starts that look like the start of a statement,
// and each part after the first is parsed on a thread of its own as though
// it were a whole text. The calling thread parses the first part; then it
// takes each next part as its own where its own reading has ended exactly
// at that part's start, for there the part read the very statements a
// single parse would. A part cannot see the text before it, so wherever
// that could matter (a USE or a ROUTE of a name it has not seen DEF'd, a
// node type it does not know, an EXTERNPROTO) it gives up; the calling
// thread reads such a part itself, as it does a part that failed or ended
// elsewhere than where the next one begins. So the scene, its warnings and
// any error are a single parse's, however the text was cut.
#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "viewer/browser/parser_impl.h"

namespace kestrel::vrml_parse {

struct TextPart {
  size_t begin = 0;                       // in the whole text
  size_t stop = std::string_view::npos;   // where the next part begins
  ParseOptions options;  // the parse's own, its warnings kept here
  std::vector<ParseWarning> warnings;
  SharedState shared;
  ParseError error;
  Scene scene;
  Scope top;
  std::unique_ptr<Parser> parser;
  bool read = false;  // read without error, up to exactly STOP or the end
  std::thread thread;
};

namespace {

constexpr size_t kNone = std::string_view::npos;
// How far past its planned start a part looks for a line to begin at.
constexpr size_t kStartSearchBytes = size_t{64} << 10;

// Whether the line at LINE starts as a top-level statement written on a
// line of its own does: with an upper-case letter (DEF, PROTO or a node
// type's name). Not with USE or ROUTE, which mostly name what came before.
bool startsStatement(std::string_view line) {
  if (line.empty() || line[0] < 'A' || line[0] > 'Z') return false;
  return !line.starts_with("ROUTE") && !line.starts_with("USE");
}

// The start of such a line at or after FROM, and not far after it; kNone
// when there is none.
size_t statementLineFrom(std::string_view text, size_t from) {
  const std::string_view searched = text.substr(0, std::min(text.size(), from + kStartSearchBytes));
  for (size_t at = from; at < searched.size();) {
    const size_t newline = searched.find('\n', at);
    if (newline == kNone || newline + 1 >= searched.size()) return kNone;
    if (startsStatement(searched.substr(newline + 1))) return newline + 1;
    at = newline + 1;
  }
  return kNone;
}

unsigned threadsFor(const ParseOptions& options) {
  const unsigned wanted = options.threads != 0 ? options.threads : std::thread::hardware_concurrency();
  return std::clamp(wanted, 1u, kMaxParseThreads);
}

// Where the parts after the first begin, for a parse with OPTIONS of the
// text after FROM; empty when the text is too small to share out.
std::vector<size_t> partStarts(std::string_view text, size_t from, const ParseOptions& options) {
  std::vector<size_t> starts;
  const size_t length = text.size() - std::min(from, text.size());
  // Most texts are small (a template, a data block): they do not ask how
  // many processors there are, which reads a file of the system's.
  if (length < 2 * kMinPartBytes) return starts;
  const size_t parts = std::min<size_t>(threadsFor(options), length / kMinPartBytes);
  for (size_t k = 1; k < parts; ++k) {
    const size_t planned = std::max(from + k * (length / parts), starts.empty() ? from : starts.back() + 1);
    const size_t start = statementLineFrom(text, planned);
    if (start != kNone) starts.push_back(start);
  }
  return starts;
}

void readPart(TextPart& part, std::string_view text, const std::atomic<bool>& cancel) {
  try {
    part.parser = std::make_unique<Parser>(text.substr(part.begin), part.options, part.shared,
                                           part.error);
    Parser& parser = *part.parser;
    parser.readAsPart(cancel);
    if (part.options.parsedRange) parser.onProgress(part.options.parsedRange, kParsedStep);
    part.top.items = &part.scene.items;
    const size_t stop = part.stop == kNone ? kNone : part.stop - part.begin;
    if (!parser.statements(part.top, stop)) return;
    Lexer& lexer = parser.lexer();
    part.read = lexer.atEnd() || lexer.offset() == stop;
    lexer.flushProgress();
  } catch (...) {
    // Out of memory, say: the calling thread reads the part itself and
    // meets the same trouble there, where it is reported.
    part.read = false;
  }
}

}  // namespace

// The parts after the first, each read on its own thread from the start.
class PartThreads {
 public:
  PartThreads(std::string_view text, const std::vector<size_t>& starts,
              const ParseOptions& options) {
    for (size_t k = 0; k < starts.size(); ++k) {
      auto part = std::make_unique<TextPart>();
      part->begin = starts[k];
      if (k + 1 < starts.size()) part->stop = starts[k + 1];
      part->options = options;
      part->options.load = nullptr;
      part->options.warn = nullptr;
      if (options.warn) {
        part->options.warn = [keep = part.get()](const ParseWarning& w) {
          keep->warnings.push_back(w);
        };
      }
      if (options.parsedRange) {
        part->options.parsedRange = [told = options.parsedRange, at = starts[k]](size_t begin,
                                                                               size_t end) {
          told(at + begin, at + end);
        };
      }
      try {
        part->thread = std::thread(readPart, std::ref(*part), text, std::cref(cancel_));
      } catch (const std::system_error&) {
        // No thread to be had: the part is read by the calling thread.
      }
      parts_.push_back(std::move(part));
    }
  }
  PartThreads(const PartThreads&) = delete;
  PartThreads& operator=(const PartThreads&) = delete;
  // A parse that ends early (an error in an earlier part) stops the rest.
  ~PartThreads() {
    cancel_.store(true, std::memory_order_relaxed);
    for (auto& part : parts_) {
      if (part->thread.joinable()) part->thread.join();
    }
  }

  size_t size() const { return parts_.size(); }
  size_t begin(size_t k) const { return parts_[k]->begin; }
  // Part K once its thread is done with it.
  TextPart& finished(size_t k) {
    if (parts_[k]->thread.joinable()) parts_[k]->thread.join();
    return *parts_[k];
  }

 private:
  std::atomic<bool> cancel_{false};
  std::vector<std::unique_ptr<TextPart>> parts_;
};

namespace {

// Whether a PROTO of SCOPE is named as a built-in type is.
bool shadowsBuiltIn(const Scope& scope) {
  return std::any_of(scope.protos.begin(), scope.protos.end(),
                     [](const auto& proto) { return findStandardType(proto.first) != nullptr; });
}

}  // namespace

void Parser::readAsPart(const std::atomic<bool>& cancel) {
  part_ = true;
  cancel_ = &cancel;
}

bool Parser::partCannotTell(const Token& at) {
  return fail(at, "the text before this part could change what it reads here");
}

bool Parser::statements(Scope& top, size_t stopAt) {
  while (!lex_.atEnd() && lex_.offset() < stopAt) {
    if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) {
      return fail(lex_.peek(), "the parse was stopped");
    }
    if (!statement(top)) return false;
    lex_.reportProgress();
  }
  return true;
}

bool Parser::topLevel(Scope& top) {
  const std::vector<size_t> starts =
      part_ ? std::vector<size_t>{} : partStarts(lex_.text(), lex_.offset(), options_);
  if (starts.empty()) return statements(top, kNone);
  PartThreads parts(lex_.text(), starts, options_);
  bool roomMade = false;
  for (size_t k = 0;; ++k) {
    const size_t stop = k < parts.size() ? parts.begin(k) : kNone;
    if (!statements(top, stop)) return false;
    if (k == parts.size()) return true;
    if (lex_.atEnd() || lex_.offset() != stop) continue;  // read on past it
    if (!std::exchange(roomMade, true)) makeRoomForParts(top, parts, k);
    TextPart& part = parts.finished(k);
    if (part.read) adopt(top, part);
  }
}

// Grows TOP's items and names once, to hold those of every part from the
// K-th on that was read: taken one by one, each would copy the whole list
// and table again, with the old and the new alive together.
void Parser::makeRoomForParts(Scope& top, PartThreads& parts, size_t k) {
  size_t items = top.items->size();
  size_t names = top.names.size();
  for (size_t i = k; i < parts.size(); ++i) {
    const TextPart& part = parts.finished(i);
    if (!part.read) continue;
    items += part.scene.items.size();
    names += part.top.names.size();
  }
  top.items->reserve(items);
  top.names.reserve(names);
}

bool Parser::adopt(Scope& top, TextPart& part) {
  Parser& other = *part.parser;
  if (nodes_ + other.nodes_ > nodeLimit_ || cells_ + other.cells_ > cellLimit_) return false;
  if (shadowsBuiltIn(top)) return false;
  const uint32_t lineBefore = lex_.line() - 1;
  for (ParseWarning& w : part.warnings) {
    w.line += lineBefore;
    options_.warn(std::move(w));
  }
  std::vector<SceneItem>& items = *top.items;
  items.reserve(items.size() + part.scene.items.size());
  std::move(part.scene.items.begin(), part.scene.items.end(), std::back_inserter(items));
  std::vector<SceneItem>().swap(part.scene.items);  // its room goes now, not at the end
  top.names.adoptLater(std::move(part.top.names));
  for (auto& [name, type] : part.top.protos) top.protos[name] = std::move(type);
  protoCount_ += other.protoCount_;
  std::vector<std::weak_ptr<Node>> holders = other.takeHolders();
  holders_.insert(holders_.end(), holders.begin(), holders.end());
  nodes_ += other.nodes_;
  cells_ += other.cells_;
  lex_.flushProgress();
  const size_t end = part.stop == kNone ? lex_.text().size() : part.stop;
  lex_.resumeAt(end, lex_.line() + other.lex_.line() - 1);
  return true;
}

}  // namespace kestrel::vrml_parse
