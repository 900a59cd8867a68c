#include "viewer/browser/parser.h"

#include <unordered_map>
#include <unordered_set>

#include "viewer/browser/field_reader.h"
#include "viewer/browser/lexer.h"
#include "viewer/browser/proto_instance.h"
#include "viewer/browser/routes.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel {
namespace {

constexpr std::string_view kHeader = "#VRML V2.0 utf8";

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

class Parser {
 public:
  Parser(std::string_view text, const ParseOptions& options, SharedState& shared,
         ParseError& error)
      : lex_(text), options_(options), shared_(shared), error_(error) {
    nodeLimit_ = options.maxNodes != 0 ? options.maxNodes : 100000 + text.size();
    cellLimit_ = 16u * 1024 * 1024 + 8 * text.size();
  }

  void skipByteOrderMark() { lex_.skipBytes(3); }

  // The Scripts that hold a USE of an enclosing node.
  std::vector<std::weak_ptr<Node>> takeHolders() { return std::move(holders_); }

  // Breaks the cycles made by a failed parse, so nothing leaks.
  ~Parser() { breakCycles(holders_); }

  bool parseScene(Scene& scene) {
    if (!header()) return false;
    Scope top;
    top.items = &scene.items;
    while (!lex_.atEnd()) {
      if (!statement(top)) return false;
    }
    scene.names = std::move(top.names);
    scene.baseDir = options_.baseDir;
    return true;
  }

 private:
  // ---- errors -------------------------------------------------------------
  bool fail(const Token& at, std::string message) {
    error_.line = at.line;
    error_.column = at.column;
    error_.message = std::move(message);
    return false;
  }
  bool expected(const char* what) {
    expectedError(lex_, what, error_);
    return false;
  }
  static std::string quoted(std::string_view s) { return "'" + std::string(s) + "'"; }

  bool header() {
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

  bool identifier(Token& t, const char* what) {
    t = lex_.peek();
    if (t.kind != TokenKind::Identifier) return expected(what);
    lex_.next();
    return true;
  }
  bool keyword(std::string_view word) {
    Token t = lex_.peek();
    if (t.kind != TokenKind::Identifier || t.text != word) {
      std::string w = quoted(word);
      return expected(w.c_str());
    }
    lex_.next();
    return true;
  }
  bool punct(TokenKind kind) {
    Token t = lex_.peek();
    if (t.kind != kind) return expected(tokenKindName(kind));
    lex_.next();
    return true;
  }

  // ---- limits -------------------------------------------------------------
  struct DepthGuard {
    Parser& p;
    explicit DepthGuard(Parser& parser) : p(parser) { ++p.depth_; }
    ~DepthGuard() { --p.depth_; }
  };
  bool depthOk() {
    if (depth_ <= options_.maxDepth) return true;
    return fail(lex_.peek(), "nesting is deeper than " + std::to_string(options_.maxDepth));
  }
  bool countNode() {
    if (++nodes_ <= nodeLimit_) return true;
    return fail(lex_.peek(), "too many nodes");
  }

  // ---- statements ---------------------------------------------------------
  bool statement(Scope& scope) {
    Token t = lex_.peek();
    if (t.kind == TokenKind::Identifier) {
      if (t.text == "PROTO" || t.text == "EXTERNPROTO") {
        std::shared_ptr<ProtoDecl> decl;
        if (!protoStatement(scope, decl)) return false;
        scope.items->push_back({SceneItem::Kind::Proto, nullptr, decl, {}});
        return true;
      }
      if (t.text == "ROUTE") return route(scope, *scope.items);
    }
    NodePtr node;
    if (!nodeStatement(scope, node)) return false;
    if (!node) return fail(t, "expected a node but found NULL");
    for (SceneItem& item : scope.before) scope.items->push_back(std::move(item));
    scope.before.clear();
    scope.items->push_back({SceneItem::Kind::Node, node, nullptr, {}});
    for (SceneItem& item : scope.after) scope.items->push_back(std::move(item));
    scope.after.clear();
    return true;
  }

  // DEF name node | USE name | node | NULL (NODE stays null).
  bool nodeStatement(Scope& scope, NodePtr& node) {
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
      if (!node) return fail(name, "USE of " + quoted(name.text) + ", which no DEF names");
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

  // A USE of a node whose body is still being read would make the node
  // contain itself. Scripts commonly keep such a reference to an enclosing
  // node in an SFNode field, so that one case is allowed; the script is
  // recorded so the cycle can be broken when the scene goes away.
  bool useOfEnclosing(const Token& name, const NodePtr& target) {
    if (building_.count(target.get()) == 0) return true;
    if (scriptField_ == nullptr) {
      return fail(name, "USE of " + quoted(name.text) + " inside its own definition");
    }
    holders_.push_back(scriptField_);
    return true;
  }

  NodeTypePtr findType(Scope& scope, std::string_view name) {
    if (protoCount_ != 0) {
      std::string key(name);
      for (Scope* s = &scope; s != nullptr; s = s->parent) {
        auto it = s->protos.find(key);
        if (it != s->protos.end()) return it->second;
      }
    }
    return findStandardType(name);
  }

  // TypeName { body }
  bool nodeBody(Scope& scope, NodePtr& node, const std::string& defName) {
    DepthGuard guard(*this);
    if (!depthOk()) return false;
    Token typeName;
    if (!identifier(typeName, "a node")) return false;
    NodeTypePtr type = findType(scope, typeName.text);
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
    building_.insert(node.get());
    NodePtr outerScript = std::move(scriptField_);
    scriptField_ = nullptr;
    bool ok = nodeMembers(scope, node, scriptType);
    scriptField_ = outerScript;
    building_.erase(node.get());
    if (!ok) return false;
    if (type->proto && scope.proto == nullptr) {
      if (!instantiateProto(node, cells_, cellLimit_, nodes_, nodeLimit_, holders_)) {
        return fail(typeName, "PROTO " + quoted(type->name) + " expands beyond the size limit");
      }
    }
    return true;
  }

  bool nodeMembers(Scope& scope, const NodePtr& node,
                   const std::shared_ptr<NodeType>& scriptType) {
    if (!punct(TokenKind::OpenBrace)) return false;
    while (true) {
      Token t = lex_.peek();
      if (t.kind == TokenKind::CloseBrace) break;
      if (t.kind != TokenKind::Identifier) return expected("a field name or '}'");
      if (t.text == "ROUTE") {
        if (!route(scope, scope.after)) return false;
      } else if (t.text == "PROTO" || t.text == "EXTERNPROTO") {
        std::shared_ptr<ProtoDecl> decl;
        if (!protoStatement(scope, decl)) return false;
        scope.before.push_back({SceneItem::Kind::Proto, nullptr, decl, {}});
      } else if (scriptType && isInterfaceKeyword(t.text)) {
        if (!scriptDecl(scope, node, *scriptType)) return false;
      } else {
        if (!fieldEntry(scope, *node)) return false;
      }
    }
    lex_.next();
    return true;
  }

  // name value | name IS interfaceName
  bool fieldEntry(Scope& scope, Node& node) {
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
      return fail(name, quoted(node.type->name) + " has no field " + quoted(name.text));
    }
    const FieldDecl& decl = node.type->fields[static_cast<size_t>(index)];
    if (isMapping) {
      lex_.next();
      return isMappingOf(scope, node, index, decl);
    }
    if (decl.access == Access::EventIn || decl.access == Access::EventOut) {
      return fail(name, std::string(accessName(decl.access)) + " " + quoted(decl.name) +
                            " cannot be given a value");
    }
    return value(scope, decl.type, node.values[static_cast<size_t>(index)]);
  }

  static bool accessCompatible(Access body, Access outer) {
    if (body == Access::ExposedField) return true;
    return body == outer;
  }

  bool isMappingOf(Scope& scope, Node& node, int index, const FieldDecl& decl) {
    Token target;
    if (!identifier(target, "an interface name")) return false;
    if (scope.proto == nullptr) return fail(target, "IS is only allowed inside a PROTO body");
    const FieldDecl* outer = nullptr;
    for (const FieldDecl& f : scope.proto->interface) {
      if (f.name == target.text) outer = &f;
    }
    if (outer == nullptr) {
      return fail(target, "PROTO " + quoted(scope.proto->name) + " declares no " +
                              quoted(target.text));
    }
    if (outer->type != decl.type) {
      return fail(target, "IS joins " + std::string(fieldTypeName(decl.type)) + " " +
                              quoted(decl.name) + " to " +
                              std::string(fieldTypeName(outer->type)) + " " +
                              quoted(outer->name));
    }
    if (!accessCompatible(decl.access, outer->access)) {
      return fail(target, "IS joins " + std::string(accessName(decl.access)) + " " +
                              quoted(decl.name) + " to " +
                              std::string(accessName(outer->access)) + " " +
                              quoted(outer->name));
    }
    if (outer->access == Access::Field || outer->access == Access::ExposedField) {
      node.values[static_cast<size_t>(index)] = outer->defaultValue;
    }
    node.isLinks.push_back({index, outer->name});
    return true;
  }

  // eventIn|eventOut|field|exposedField type name [value | IS name]
  bool scriptDecl(Scope& scope, const NodePtr& nodePtr, NodeType& type) {
    Node& node = *nodePtr;
    FieldDecl decl;
    if (!interfaceHead(decl)) return false;
    if (type.findField(decl.name) >= 0) {
      return fail(lastName_, quoted(decl.name) + " is declared twice");
    }
    type.fields.push_back(decl);
    node.values.push_back(FieldValue::zeroOf(decl.type));
    const int index = static_cast<int>(type.fields.size() - 1);
    Token next = lex_.peek();
    if (next.kind == TokenKind::Identifier && next.text == "IS") {
      lex_.next();
      return isMappingOf(scope, node, index, type.fields.back());
    }
    if (decl.access == Access::Field || decl.access == Access::ExposedField) {
      scriptField_ = nodePtr;
      bool ok = value(scope, decl.type, node.values.back());
      scriptField_ = nullptr;
      if (!ok) return false;
      // The type keeps the value as its default, except node values: the
      // type must not own nodes (it would keep them, and itself, alive).
      if (decl.type != FieldType::SFNode && decl.type != FieldType::MFNode) {
        type.fields.back().defaultValue = node.values.back();
      }
    }
    return true;
  }

  bool interfaceHead(FieldDecl& decl) {
    Token access;
    if (!identifier(access, "field, exposedField, eventIn or eventOut")) return false;
    if (!isInterfaceKeyword(access.text)) {
      return fail(access, "expected field, exposedField, eventIn or eventOut but found " +
                              quoted(access.text));
    }
    decl.access = accessFromKeyword(access.text);
    Token typeName;
    if (!identifier(typeName, "a field type")) return false;
    if (!fieldTypeFromName(typeName.text, decl.type)) {
      return fail(typeName, "unknown field type " + quoted(typeName.text));
    }
    if (!identifier(lastName_, "a field name")) return false;
    decl.name = std::string(lastName_.text);
    decl.defaultValue = FieldValue::zeroOf(decl.type);
    return true;
  }

  // ---- values -------------------------------------------------------------
  bool value(Scope& scope, FieldType type, FieldValue& out) {
    if (type == FieldType::SFNode) {
      NodePtr node;
      if (!nodeStatement(scope, node)) return false;
      out.type = type;
      out.data = node;
      return true;
    }
    if (type == FieldType::MFNode) return nodeList(scope, out);
    return readFieldValue(lex_, type, out, error_);
  }

  bool nodeList(Scope& scope, FieldValue& out) {
    std::vector<NodePtr> nodes;
    if (lex_.peekChar() != '[') {
      NodePtr node;
      if (!nodeStatement(scope, node)) return false;
      if (node) nodes.push_back(node);
    } else {
      lex_.next();
      while (lex_.peekChar() != ']') {
        if (lex_.atEnd()) return expected("']'");
        NodePtr node;
        if (!nodeStatement(scope, node)) return false;
        if (node) nodes.push_back(node);
      }
      lex_.next();
    }
    out.type = FieldType::MFNode;
    out.data = std::move(nodes);
    return true;
  }

  // ---- ROUTE --------------------------------------------------------------
  bool routeEnd(Scope& scope, NodePtr& node, Token& field) {
    Token name;
    if (!identifier(name, "a node name")) return false;
    node = scope.names.find(name.text);
    if (!node) return fail(name, "ROUTE names " + quoted(name.text) + ", which no DEF names");
    if (!punct(TokenKind::Period)) return false;
    return identifier(field, "a field name");
  }

  bool route(Scope& scope, std::vector<SceneItem>& into) {
    lex_.next();  // ROUTE
    RouteDecl decl;
    Token fromField, toField;
    if (!routeEnd(scope, decl.from, fromField)) return false;
    if (!keyword("TO")) return false;
    if (!routeEnd(scope, decl.to, toField)) return false;
    int from = decl.from->type->findEventOut(fromField.text);
    if (from < 0) {
      return fail(fromField, quoted(decl.from->type->name) + " sends no event " +
                                 quoted(fromField.text));
    }
    int to = decl.to->type->findEventIn(toField.text);
    if (to < 0) {
      return fail(toField, quoted(decl.to->type->name) + " receives no event " +
                               quoted(toField.text));
    }
    FieldType a = decl.from->type->fields[static_cast<size_t>(from)].type;
    FieldType b = decl.to->type->fields[static_cast<size_t>(to)].type;
    if (a != b) {
      return fail(toField, "ROUTE joins " + std::string(fieldTypeName(a)) + " to " +
                               std::string(fieldTypeName(b)));
    }
    decl.fromField = std::string(fromField.text);
    decl.toField = std::string(toField.text);
    if (scope.proto == nullptr) addRoute(*decl.from, from, decl.to, to);
    SceneItem item;
    item.kind = SceneItem::Kind::Route;
    item.route = std::move(decl);
    into.push_back(std::move(item));
    return true;
  }

  // ---- PROTO and EXTERNPROTO -----------------------------------------------
  bool protoStatement(Scope& scope, std::shared_ptr<ProtoDecl>& decl) {
    DepthGuard guard(*this);
    if (!depthOk()) return false;
    Token keywordToken = lex_.next();
    decl = std::make_shared<ProtoDecl>();
    decl->external = keywordToken.text == "EXTERNPROTO";
    Token name;
    if (!identifier(name, "a PROTO name")) return false;
    if (isKeyword(name.text)) return fail(name, quoted(name.text) + " cannot name a PROTO");
    decl->name = std::string(name.text);
    if (!punct(TokenKind::OpenBracket)) return false;
    while (lex_.peek().kind != TokenKind::CloseBracket) {
      FieldDecl f;
      if (!interfaceHead(f)) return false;
      for (const FieldDecl& other : decl->interface) {
        if (other.name == f.name) return fail(lastName_, quoted(f.name) + " is declared twice");
      }
      if (!decl->external && (f.access == Access::Field || f.access == Access::ExposedField)) {
        if (!value(scope, f.type, f.defaultValue)) return false;
      }
      decl->interface.push_back(std::move(f));
    }
    lex_.next();
    if (decl->external) {
      FieldValue urls;
      if (!readFieldValue(lex_, FieldType::MFString, urls, error_)) return false;
      decl->urls = *urls.as<std::vector<std::string>>();
      resolveExtern(*decl);
    } else {
      if (!punct(TokenKind::OpenBrace)) return false;
      Scope body;
      body.parent = &scope;
      body.proto = decl.get();
      body.items = &decl->body;
      while (lex_.peek().kind != TokenKind::CloseBrace) {
        if (lex_.atEnd()) return expected("'}'");
        if (!statement(body)) return false;
      }
      lex_.next();
      if (decl->body.empty() || !firstBodyNode(*decl)) {
        return fail(name, "PROTO " + quoted(decl->name) + " has no node in its body");
      }
    }
    scope.protos[decl->name] = makeProtoType(decl);
    ++protoCount_;
    return true;
  }

  static bool firstBodyNode(const ProtoDecl& decl) {
    for (const SceneItem& item : decl.body) {
      if (item.kind == SceneItem::Kind::Node) return true;
    }
    return false;
  }

  void resolveExtern(ProtoDecl& decl) {
    if (!options_.load) return;
    for (const std::string& url : decl.urls) {
      std::string file = url;
      std::string fragment;
      if (size_t hash = url.find('#'); hash != std::string::npos) {
        file = url.substr(0, hash);
        fragment = url.substr(hash + 1);
      }
      std::shared_ptr<Scene> scene = loadExternScene(file);
      if (!scene) continue;
      for (const SceneItem& item : scene->items) {
        if (item.kind == SceneItem::Kind::Proto &&
            (fragment.empty() || item.proto->name == fragment)) {
          decl.resolved = item.proto;
          return;
        }
      }
    }
    logText("EXTERNPROTO not found:", decl.name.c_str());
  }

  std::shared_ptr<Scene> loadExternScene(const std::string& file) {
    if (file.empty()) return nullptr;
    const std::string key = options_.baseDir + '\n' + file;
    auto it = shared_.loaded.find(key);
    if (it != shared_.loaded.end()) return it->second;
    std::shared_ptr<Scene> scene;
    std::string text, dir;
    if (shared_.externLoadsLeft > 0 && options_.load(file, options_.baseDir, text, dir)) {
      --shared_.externLoadsLeft;
      shared_.loaded[key] = nullptr;  // a file that names itself finds nothing
      ParseOptions nested = options_;
      nested.baseDir = dir;
      nested.requireHeader = true;
      ParseError nestedError;
      auto parsed = std::make_shared<Scene>();
      Parser inner(text, nested, shared_, nestedError);
      if (inner.parseScene(*parsed)) {
        scene = parsed;
      } else {
        logText("EXTERNPROTO file does not parse:", file.c_str());
      }
    }
    shared_.loaded[key] = scene;
    return scene;
  }

  NodeTypePtr makeProtoType(const std::shared_ptr<ProtoDecl>& decl) {
    auto type = std::make_shared<NodeType>();
    type->name = decl->name;
    type->fields = decl->interface;
    if (decl->external && decl->resolved) {
      // Defaults come from the PROTO the URL names.
      for (FieldDecl& f : type->fields) {
        for (const FieldDecl& r : decl->resolved->interface) {
          if (r.name == f.name && r.type == f.type) f.defaultValue = r.defaultValue;
        }
      }
    }
    type->proto = decl;
    return type;
  }

  Lexer lex_;
  std::unordered_set<const Node*> building_;
  NodePtr scriptField_;  // the Script whose interface value is being read
  std::vector<std::weak_ptr<Node>> holders_;
  const ParseOptions& options_;
  SharedState& shared_;
  ParseError& error_;
  Token lastName_;
  size_t depth_ = 0;
  size_t protoCount_ = 0;  // PROTOs declared so far, in any scope
  size_t nodes_ = 0;
  size_t nodeLimit_ = 0;
  size_t cells_ = 0;
  size_t cellLimit_ = 0;
};

}  // namespace

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
  if (!parser.parseScene(parsed)) {
    scene = Scene{};
    return false;
  }
  parsed.cycleHolders = parser.takeHolders();
  scene = std::move(parsed);
  return true;
}

}  // namespace kestrel
