#include "viewer/browser/parser.h"

#include <algorithm>
#include <utility>

#include "viewer/browser/field_reader.h"
#include "viewer/browser/parser_impl.h"
#include "viewer/browser/proto_instance.h"

namespace kestrel {
namespace vrml_parse {
namespace {

constexpr std::string_view kHeader = "#VRML V2.0 utf8";

}  // namespace

bool isKeyword(std::string_view s) {
  static constexpr std::string_view kKeywords[] = {
      "DEF", "USE", "PROTO", "EXTERNPROTO", "ROUTE", "TO", "IS", "NULL", "TRUE", "FALSE",
      "field", "exposedField", "eventIn", "eventOut"};
  for (std::string_view k : kKeywords) {
    if (s == k) return true;
  }
  return false;
}

bool isInterfaceKeyword(std::string_view s) {
  return s == "field" || s == "exposedField" || s == "eventIn" || s == "eventOut";
}

Access accessFromKeyword(std::string_view s) {
  if (s == "exposedField") return Access::ExposedField;
  if (s == "eventIn") return Access::EventIn;
  if (s == "eventOut") return Access::EventOut;
  return Access::Field;
}

bool Parser::parseScene(Scene& scene) {
  if (!header()) return false;
  Scope top;
  top.items = &scene.items;
  if (!topLevel(top)) return false;
  scene.names = std::move(top.names);
  scene.baseDir = options_.baseDir;
  return true;
}

bool Parser::fail(const Token& at, std::string message) {
  error_.line = at.line;
  error_.column = at.column;
  error_.message = std::move(message);
  return false;
}

bool Parser::expected(const char* what) {
  expectedError(lex_, what, error_);
  return false;
}

bool Parser::header() {
  std::string_view text = lex_.text();
  size_t skip = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  std::string_view rest = text.substr(skip);
  if (rest.starts_with(kHeader)) return true;
  if (rest.starts_with("#VRML")) {
    return fail(Token{}, "unsupported header: only \"#VRML V2.0 utf8\" is read");
  }
  if (options_.requireHeader) {
    return fail(Token{}, "expected the header \"#VRML V2.0 utf8\"");
  }
  return true;
}

bool Parser::identifier(Token& t, const char* what) {
  t = lex_.peek();
  if (t.kind != TokenKind::Identifier) return expected(what);
  lex_.next();
  return true;
}

bool Parser::keyword(std::string_view word) {
  Token t = lex_.peek();
  if (t.kind != TokenKind::Identifier || t.text != word) {
    std::string w = quoted(word);
    return expected(w.c_str());
  }
  lex_.next();
  return true;
}

bool Parser::punct(TokenKind kind) {
  Token t = lex_.peek();
  if (t.kind != kind) return expected(tokenKindName(kind));
  lex_.next();
  return true;
}

bool Parser::depthOk() {
  if (depth_ <= options_.maxDepth) return true;
  return fail(lex_.peek(), "nesting is deeper than " + std::to_string(options_.maxDepth));
}

bool Parser::countNode() {
  if (++nodes_ <= nodeLimit_) return true;
  return fail(lex_.peek(), "too many nodes");
}

namespace {

// Room for MORE statements in ITEMS. A file of many top-level objects has
// as many items: the list grows by half, not by doubling, so at most a
// third of it is spare rather than half (300 KB for 20000 objects).
void makeRoom(std::vector<SceneItem>& items, size_t more) {
  if (items.size() + more <= items.capacity()) return;
  items.reserve(std::max(items.size() + more, items.capacity() + items.capacity() / 2));
}

}  // namespace

bool Parser::statement(Scope& scope) {
  Token t = lex_.peek();
  if (t.kind == TokenKind::Identifier) {
    if (t.text == "PROTO" || t.text == "EXTERNPROTO") {
      std::shared_ptr<ProtoDecl> decl;
      if (!protoStatement(scope, decl)) return false;
      scope.items->push_back(SceneItem(decl));
      return true;
    }
    if (t.text == "ROUTE") return route(scope, *scope.items);
    bool skipped = false;
    if (!skipX3dStatement(skipped)) return false;
    if (skipped) return true;
  }
  NodePtr node;
  if (!nodeStatement(scope, node)) return false;
  if (!node && std::exchange(skippedNode_, false)) return true;
  if (!node) return fail(t, "expected a node but found NULL");
  makeRoom(*scope.items, scope.before.size() + 1 + scope.after.size());
  for (SceneItem& item : scope.before) scope.items->push_back(std::move(item));
  scope.before.clear();
  scope.items->push_back(SceneItem(node));
  for (SceneItem& item : scope.after) scope.items->push_back(std::move(item));
  scope.after.clear();
  return true;
}

bool Parser::nodeStatement(Scope& scope, NodePtr& node) {
  Token t = lex_.peek();
  if (t.kind != TokenKind::Identifier) return expected("a node");
  if (t.text == "NULL") {
    lex_.next();
    node = nullptr;
    return true;
  }
  if (t.text == "USE") {
    lex_.next();
    Token name;
    if (!identifier(name, "a node name")) return false;
    node = scope.names.find(name.text);
    if (!node && part_) return partCannotTell(name);
    if (!node) {
      skippedNode_ = true;
      return skipOrFail(name, "USE of " + quoted(name.text) + ", which no DEF names");
    }
    return useOfEnclosing(name, node);
  }
  std::string defName;
  if (t.text == "DEF") {
    lex_.next();
    Token name;
    if (!identifier(name, "a node name")) return false;
    if (isKeyword(name.text)) return fail(name, quoted(name.text) + " cannot name a node");
    defName = std::string(name.text);
  }
  return nodeBody(scope, node, defName);
}

bool Parser::useOfEnclosing(const Token& name, const NodePtr& target) {
  if (std::find(building_.begin(), building_.end(), target.get()) == building_.end()) return true;
  if (scriptField_ == nullptr) {
    return fail(name, "USE of " + quoted(name.text) + " inside its own definition");
  }
  holders_.push_back(scriptField_);
  return true;
}

NodeTypePtr Parser::findType(Scope& scope, std::string_view name) {
  if (protoCount_ != 0) {
    std::string key(name);
    for (Scope* s = &scope; s != nullptr; s = s->parent) {
      auto it = s->protos.find(key);
      if (it != s->protos.end()) return it->second;
    }
  }
  const NodeTypePtr& standard = findStandardType(name);
  if (!standard) return standard;
  // Built-in types live as long as the process, so any owner will do.
  return NodeTypePtr(typeOwner_, standard.get());
}

bool Parser::nodeBody(Scope& scope, NodePtr& node, const std::string& defName) {
  DepthGuard guard(*this);
  if (!depthOk()) return false;
  Token typeName;
  if (!identifier(typeName, "a node")) return false;
  NodeTypePtr type = findType(scope, typeName.text);
  if (!type && part_) return partCannotTell(typeName);
  if (!type && lenient() && lex_.peekChar() == '{') {
    warn(typeName, "unknown node type " + quoted(typeName.text) + "; the node is skipped");
    skippedNode_ = true;
    return skipBraces();
  }
  if (!type) return fail(typeName, "unknown node type " + quoted(typeName.text));
  if (!countNode()) return false;
  std::shared_ptr<NodeType> scriptType;
  if (type->script) {
    scriptType = std::make_shared<NodeType>(*type);
    type = scriptType;
  }
  node = Node::create(type);
  if (!defName.empty()) {
    node->name = defName;
    scope.names.assign(defName, node);
  }
  building_.push_back(node.get());
  NodePtr outerScript = std::move(scriptField_);
  scriptField_ = nullptr;
  bool ok = nodeMembers(scope, node, scriptType);
  scriptField_ = outerScript;
  building_.pop_back();
  if (!ok) return false;
  if (type->proto && scope.proto == nullptr) {
    if (!instantiateProto(node, cells_, cellLimit_, nodes_, nodeLimit_, holders_)) {
      return fail(typeName, "PROTO " + quoted(type->name) + " expands beyond the size limit");
    }
  }
  return true;
}

bool Parser::nodeMembers(Scope& scope, const NodePtr& node,
                         const std::shared_ptr<NodeType>& scriptType) {
  if (!punct(TokenKind::OpenBrace)) return false;
  // This node's values go on the pending stack above BASE as they are read
  // (the nodes inside them have taken theirs off by then), and into the
  // node together at the end.
  const size_t base = pending_.size();
  struct Unwind {
    std::vector<std::pair<size_t, FieldValue>>& pending;
    size_t base;
    ~Unwind() { pending.resize(base); }
  } unwind{pending_, base};
  while (true) {
    Token t = lex_.peek();
    if (t.kind == TokenKind::CloseBrace) break;
    if (t.kind != TokenKind::Identifier) return expected("a field name or '}'");
    if (t.text == "ROUTE") {
      if (!route(scope, scope.after)) return false;
    } else if (t.text == "PROTO" || t.text == "EXTERNPROTO") {
      std::shared_ptr<ProtoDecl> decl;
      if (!protoStatement(scope, decl)) return false;
      scope.before.push_back(SceneItem(decl));
    } else if (scriptType && isInterfaceKeyword(t.text)) {
      if (!scriptDecl(scope, node, *scriptType)) return false;
    } else {
      if (!fieldEntry(scope, *node)) return false;
    }
  }
  lex_.next();
  node->storeValues(pending_.data() + base, pending_.size() - base);
  return true;
}

bool Parser::fieldEntry(Scope& scope, Node& node) {
  Token name = lex_.next();
  int index = node.type->findField(name.text);
  // Only look a whole token ahead when it can be IS: a value's first
  // token is then lexed once, by the value reader.
  bool isMapping = false;
  if (lex_.peekChar() == 'I') {
    Token next = lex_.peek();
    isMapping = next.kind == TokenKind::Identifier && next.text == "IS";
  }
  if (index < 0 && isMapping) {
    index = node.type->findEventIn(name.text);
    if (index < 0) index = node.type->findEventOut(name.text);
  }
  if (index < 0) {
    std::string what = quoted(node.type->name) + " has no field " + quoted(name.text);
    if (!lenient()) return fail(name, what);
    warn(name, what + "; its value is skipped");
    if (!isMapping) return skipUnknownValue();
    lex_.next();
    Token target;
    return identifier(target, "an interface name");
  }
  const FieldDecl& decl = node.type->fields[static_cast<size_t>(index)];
  if (isMapping) {
    lex_.next();
    return isMappingOf(scope, node, index, decl);
  }
  if (decl.access == Access::EventIn || decl.access == Access::EventOut) {
    std::string what = std::string(accessName(decl.access)) + " " + quoted(decl.name) +
                       " cannot be given a value";
    if (!lenient()) return fail(name, what);
    warn(name, what + "; the value is skipped");
    FieldValue ignored;
    return value(scope, decl.type, ignored);
  }
  FieldValue read;
  FieldTarget target{node.type.get(), &decl};
  if (!value(scope, decl.type, read, lenient() ? &target : nullptr)) return false;
  if (lenient()) checkRange(name, node, decl, read);
  pending_.emplace_back(static_cast<size_t>(index), std::move(read));
  return true;
}

bool Parser::value(Scope& scope, FieldType type, FieldValue& out, const FieldTarget* target) {
  if (type == FieldType::SFNode) {
    NodePtr node;
    Token at = lex_.peek();
    if (!nodeStatement(scope, node)) return false;
    skippedNode_ = false;
    if (target != nullptr && !fitsField(at, *target, node)) node = nullptr;
    out.type = type;
    out.data = node;
    return true;
  }
  if (type == FieldType::MFNode) return nodeList(scope, out, target);
  return readFieldValue(lex_, type, out, error_);
}

bool Parser::nodeList(Scope& scope, FieldValue& out, const FieldTarget* target) {
  std::vector<NodePtr> nodes;
  auto keep = [&](const Token& at, const NodePtr& node) {
    skippedNode_ = false;
    if (node && (target == nullptr || fitsField(at, *target, node))) nodes.push_back(node);
  };
  if (lex_.peekChar() != '[') {
    NodePtr node;
    Token at = lex_.peek();
    if (!nodeStatement(scope, node)) return false;
    keep(at, node);
  } else {
    lex_.next();
    while (lex_.peekChar() != ']') {
      if (lex_.atEnd()) return expected("']'");
      bool read = true;
      if (lenient() && listStatement(scope, read)) {
        if (!read) return false;
        continue;
      }
      NodePtr node;
      Token at = lex_.peek();
      if (!nodeStatement(scope, node)) return false;
      keep(at, node);
    }
    lex_.next();
  }
  out.type = FieldType::MFNode;
  out.data = std::move(nodes);
  return true;
}

}  // namespace vrml_parse

using vrml_parse::Parser;
using vrml_parse::SharedState;

bool parseVrml(std::string_view text, const ParseOptions& options, Scene& scene,
               ParseError& error) {
  SharedState shared;
  shared.externLoadsLeft = options.maxExternLoads;
  // The header check sees the byte order mark; the tokens never do.
  std::string_view body = text;
  const bool bom = body.starts_with("\xEF\xBB\xBF");
  Scene parsed;
  Parser parser(text, options, shared, error);
  if (bom) parser.skipByteOrderMark();
  if (options.parsedRange) parser.onProgress(options.parsedRange, kParsedStep);
  if (!parser.parseScene(parsed)) {
    scene = Scene{};
    return false;
  }
  parsed.cycleHolders = parser.takeHolders();
  scene = std::move(parsed);
  return true;
}

}  // namespace kestrel
