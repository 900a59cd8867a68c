// The parser's inner workings, shared by its two source files (parser.cpp:
// statements, nodes and values; parser_proto.cpp: ROUTE, PROTO,
// EXTERNPROTO and interface declarations). Not for use outside them; the
// interface is parser.h.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "viewer/browser/lexer.h"
#include "viewer/browser/parser.h"

namespace kestrel::vrml_parse {

bool isKeyword(std::string_view s);
bool isInterfaceKeyword(std::string_view s);
Access accessFromKeyword(std::string_view s);

// State shared by a parse and the EXTERNPROTO parses it starts.
struct SharedState {
  size_t externLoadsLeft = 0;
  std::unordered_map<std::string, std::shared_ptr<Scene>> loaded;  // by url and base
};

// One naming scope: the file itself or one PROTO body.
struct Scope {
  Scope* parent = nullptr;
  ProtoDecl* proto = nullptr;  // the PROTO whose body this is, or null
  NameTable names;
  std::unordered_map<std::string, NodeTypePtr> protos;
  std::vector<SceneItem>* items = nullptr;
  std::vector<SceneItem> before;  // PROTOs declared inside the current statement
  std::vector<SceneItem> after;   // ROUTEs written inside the current statement
};

// One part of a text parsed on a thread of its own, and the threads of
// all the parts (parser_parts.cpp).
struct TextPart;
class PartThreads;

// The node field a value is read for (kinds of node are checked against it).
struct FieldTarget {
  const NodeType* owner;
  const FieldDecl* decl;
};

// One parse of one text. Errors go to the ParseError given at construction;
// every parse function returns false after the first one.
class Parser {
 public:
  Parser(std::string_view text, const ParseOptions& options, SharedState& shared,
         ParseError& error)
      : lex_(text), options_(options), shared_(shared), error_(error) {
    nodeLimit_ = options.maxNodes != 0 ? options.maxNodes : 100000 + text.size();
    cellLimit_ = 16u * 1024 * 1024 + 8 * text.size();
  }

  void skipByteOrderMark() { lex_.skipBytes(3); }
  // See ParseOptions::parsedRange; told between top-level statements and
  // between chunks of long numeric lists.
  void onProgress(std::function<void(size_t, size_t)> done, size_t step) {
    lex_.onProgress(std::move(done), step);
  }
  Lexer& lexer() { return lex_; }

  // The Scripts that hold a USE of an enclosing node.
  std::vector<std::weak_ptr<Node>> takeHolders() { return std::move(holders_); }

  // Breaks the cycles made by a failed parse, so nothing leaks.
  ~Parser() { breakCycles(holders_); }

  bool parseScene(Scene& scene);

  // ---- parts of a large text (parser_parts.cpp) ---------------------------
  // Makes this parser read one part of a larger text, as though the text
  // before it were not there: wherever that text could matter (see
  // partCannotTell) the parse fails. It also fails once CANCEL is set.
  void readAsPart(const std::atomic<bool>& cancel);
  // Top-level statements into TOP until the next one would start at or
  // after STOPAT, or the text ends.
  bool statements(Scope& top, size_t stopAt);

 private:
  // ---- errors -------------------------------------------------------------
  bool fail(const Token& at, std::string message);
  bool expected(const char* what);
  // Built piece by piece: GCC 12 at -O3 reports a false -Wrestrict overlap
  // inside libstdc++ for "literal" + std::string (GCC bug 105329).
  static std::string quoted(std::string_view s) {
    std::string q(1, '\'');
    q += s;
    q += '\'';
    return q;
  }

  bool header();

  // The top-level statements of the whole text, in parts on several
  // threads when it is large.
  bool topLevel(Scope& top);
  // Takes PART, read elsewhere and starting where this parser has stopped,
  // as though this parser had read it, and goes on after it. False, with
  // nothing taken, when PART's reading might differ from this parser's own
  // (its counts would pass this parse's limits, or a PROTO read here bears
  // the name of a built-in type that the part read as the built-in one).
  bool adopt(Scope& top, TextPart& part);
  void makeRoomForParts(Scope& top, PartThreads& parts, size_t k);
  // Fails a part's parse at AT, where the text before the part could
  // change what is read.
  bool partCannotTell(const Token& at);

  // ---- lenient reading (parser_lenient.cpp) -------------------------------
  bool lenient() const { return static_cast<bool>(options_.warn); }
  void warn(const Token& at, std::string message);
  // Lenient: warns and skips; strict: fails. True when the parse goes on.
  bool skipOrFail(const Token& at, std::string message);
  // Skips the value of a field whose type is unknown: a bracketed list, a
  // node, or a run of numbers, strings and TRUE/FALSE.
  bool skipUnknownValue();
  // A file read inside a template sits in a node list, so its PROTOs and
  // ROUTEs do too: reads one when it is next (true; READ tells whether
  // it parsed), false when a node is next.
  bool listStatement(Scope& scope, bool& read);
  // Lenient: an X3D IMPORT or EXPORT statement (tools that write X3D leave
  // them in VRML97 files too) is skipped whole with one warning. False, as
  // the caller reads a node then, when the next token starts neither.
  bool skipX3dStatement(bool& skipped);
  // Skips "{ ... }" with everything inside; brackets must balance.
  bool skipBraces();
  // Lenient: whether CHILD, read at AT, may be in FIELD's node field;
  // warns when not.
  bool fitsField(const Token& at, const FieldTarget& field, const NodePtr& child);
  // Brings the numbers of VALUE into the range of NODE's field DECL, with a
  // warning when they were out of it.
  void checkRange(const Token& at, const Node& node, const FieldDecl& decl, FieldValue& value);

  bool identifier(Token& t, const char* what);
  bool keyword(std::string_view word);
  bool punct(TokenKind kind);

  // ---- limits -------------------------------------------------------------
  struct DepthGuard {
    Parser& p;
    explicit DepthGuard(Parser& parser) : p(parser) { ++p.depth_; }
    ~DepthGuard() { --p.depth_; }
  };
  bool depthOk();
  bool countNode();

  // ---- statements ---------------------------------------------------------
  bool statement(Scope& scope);

  // DEF name node | USE name | node | NULL (NODE stays null).
  bool nodeStatement(Scope& scope, NodePtr& node);

  // A USE of a node whose body is still being read would make the node
  // contain itself. Scripts commonly keep such a reference to an enclosing
  // node in an SFNode field, so that one case is allowed; the script is
  // recorded so the cycle can be broken when the scene goes away.
  bool useOfEnclosing(const Token& name, const NodePtr& target);

  NodeTypePtr findType(Scope& scope, std::string_view name);

  // TypeName { body }
  bool nodeBody(Scope& scope, NodePtr& node, const std::string& defName);

  bool nodeMembers(Scope& scope, const NodePtr& node,
                   const std::shared_ptr<NodeType>& scriptType);

  // name value | name IS interfaceName
  bool fieldEntry(Scope& scope, Node& node);

  static bool accessCompatible(Access body, Access outer);

  bool isMappingOf(Scope& scope, Node& node, int index, const FieldDecl& decl);

  // eventIn|eventOut|field|exposedField type name [value | IS name]
  bool scriptDecl(Scope& scope, const NodePtr& nodePtr, NodeType& type);

  bool interfaceHead(FieldDecl& decl);

  // ---- values -------------------------------------------------------------
  // TARGET (lenient parses only): the field whose node kinds are checked.
  bool value(Scope& scope, FieldType type, FieldValue& out,
             const FieldTarget* target = nullptr);

  bool nodeList(Scope& scope, FieldValue& out, const FieldTarget* target);

  // ---- ROUTE --------------------------------------------------------------
  bool routeEnd(Scope& scope, NodePtr& node, Token& field);

  bool route(Scope& scope, std::vector<SceneItem>& into);

  // ---- PROTO and EXTERNPROTO -----------------------------------------------
  bool protoStatement(Scope& scope, std::shared_ptr<ProtoDecl>& decl);

  static bool firstBodyNode(const ProtoDecl& decl);

  void resolveExtern(ProtoDecl& decl);

  std::shared_ptr<Scene> loadExternScene(const std::string& file);

  NodeTypePtr makeProtoType(const std::shared_ptr<ProtoDecl>& decl);

  Lexer lex_;
  // The values read for the nodes being built, innermost last; each node
  // takes its own when its members end (nodeMembers).
  std::vector<std::pair<size_t, FieldValue>> pending_;
  // Set for a part: its lookups cannot see the text before it.
  bool part_ = false;
  const std::atomic<bool>* cancel_ = nullptr;
  // The built-in types this parse's nodes hold count their owners here
  // rather than in the types' own count: that count shares a cache line
  // with the type's members, and the writes of one thread would evict the
  // lines other threads read them from.
  std::shared_ptr<const void> typeOwner_ = std::make_shared<char>();
  // The nodes whose members are being read, outermost first (at most
  // maxDepth of them, so a search is short; a USE of one is a cycle).
  std::vector<const Node*> building_;
  NodePtr scriptField_;  // the Script whose interface value is being read
  std::vector<std::weak_ptr<Node>> holders_;
  const ParseOptions& options_;
  SharedState& shared_;
  ParseError& error_;
  Token lastName_;
  bool skippedNode_ = false;  // the last node statement was skipped (lenient)
  size_t depth_ = 0;
  size_t protoCount_ = 0;  // PROTOs declared so far, in any scope
  size_t nodes_ = 0;
  size_t nodeLimit_ = 0;
  size_t cells_ = 0;
  size_t cellLimit_ = 0;
};

}  // namespace kestrel::vrml_parse
