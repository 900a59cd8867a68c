// ROUTE, PROTO, EXTERNPROTO and interface declarations.
#include "viewer/browser/field_reader.h"
#include "viewer/browser/parser_impl.h"
#include "viewer/browser/routes.h"
#include "viewer/intake/diagnostic_log.h"

namespace kestrel::vrml_parse {

bool Parser::accessCompatible(Access body, Access outer) {
  if (body == Access::ExposedField) return true;
  return body == outer;
}

bool Parser::isMappingOf(Scope& scope, Node& node, int index, const FieldDecl& decl) {
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
    pending_.emplace_back(static_cast<size_t>(index), outer->defaultValue);
  }
  node.editExtras().isLinks.push_back({index, outer->name});
  return true;
}

bool Parser::scriptDecl(Scope& scope, const NodePtr& nodePtr, NodeType& type) {
  Node& node = *nodePtr;
  FieldDecl decl;
  if (!interfaceHead(decl)) return false;
  if (type.findField(decl.name) >= 0) {
    return fail(lastName_, quoted(decl.name) + " is declared twice");
  }
  type.fields.push_back(decl);
  node.appendValue(FieldValue::zeroOf(decl.type));
  const int index = static_cast<int>(type.fields.size() - 1);
  Token next = lex_.peek();
  if (next.kind == TokenKind::Identifier && next.text == "IS") {
    lex_.next();
    return isMappingOf(scope, node, index, type.fields.back());
  }
  if (decl.access == Access::Field || decl.access == Access::ExposedField) {
    scriptField_ = nodePtr;
    // A Script's values are dense (Node::create), so this one stays put.
    FieldValue& slot = node.editValue(size_t(index));
    bool ok = value(scope, decl.type, slot);
    scriptField_ = nullptr;
    if (!ok) return false;
    // The type keeps the value as its default, except node values: the
    // type must not own nodes (it would keep them, and itself, alive).
    if (decl.type != FieldType::SFNode && decl.type != FieldType::MFNode) {
      type.fields.back().defaultValue = slot;
    }
  }
  return true;
}

bool Parser::interfaceHead(FieldDecl& decl) {
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

bool Parser::routeEnd(Scope& scope, NodePtr& node, Token& field) {
  Token name;
  if (!identifier(name, "a node name")) return false;
  if (!punct(TokenKind::Period)) return false;
  if (!identifier(field, "a field name")) return false;
  node = scope.names.find(name.text);
  if (node) return true;
  if (part_) return partCannotTell(name);
  // Lenient: the whole ROUTE has been read when the caller sees no node.
  lastName_ = name;
  return lenient() || fail(name, "ROUTE names " + quoted(name.text) + ", which no DEF names");
}

bool Parser::route(Scope& scope, std::vector<SceneItem>& into) {
  lex_.next();  // ROUTE
  RouteDecl decl;
  Token fromField, toField;
  if (!routeEnd(scope, decl.from, fromField)) return false;
  Token missing = lastName_;
  if (!keyword("TO")) return false;
  if (!routeEnd(scope, decl.to, toField)) return false;
  if (!decl.from || !decl.to) {
    if (!decl.from) lastName_ = missing;
    warn(lastName_, "ROUTE names " + quoted(lastName_.text) +
                        ", which no DEF names; the ROUTE is skipped");
    return true;
  }
  int from = decl.from->type->findEventOut(fromField.text);
  if (from < 0) {
    return skipOrFail(fromField, quoted(decl.from->type->name) + " sends no event " +
                                     quoted(fromField.text));
  }
  int to = decl.to->type->findEventIn(toField.text);
  if (to < 0) {
    return skipOrFail(toField, quoted(decl.to->type->name) + " receives no event " +
                                   quoted(toField.text));
  }
  FieldType a = decl.from->type->fields[static_cast<size_t>(from)].type;
  FieldType b = decl.to->type->fields[static_cast<size_t>(to)].type;
  if (a != b) {
    return skipOrFail(toField, "ROUTE joins " + std::string(fieldTypeName(a)) + " to " +
                                   std::string(fieldTypeName(b)));
  }
  decl.fromField = std::string(fromField.text);
  decl.toField = std::string(toField.text);
  if (scope.proto == nullptr) addRoute(*decl.from, from, decl.to, to);
  into.emplace_back(std::make_shared<const RouteDecl>(std::move(decl)));
  return true;
}

bool Parser::protoStatement(Scope& scope, std::shared_ptr<ProtoDecl>& decl) {
  DepthGuard guard(*this);
  if (!depthOk()) return false;
  Token keywordToken = lex_.next();
  decl = std::make_shared<ProtoDecl>();
  decl->external = keywordToken.text == "EXTERNPROTO";
  // Loads are counted across the whole parse and go through the caller's
  // loader, on the caller's thread.
  if (decl->external && part_) return partCannotTell(keywordToken);
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

bool Parser::firstBodyNode(const ProtoDecl& decl) {
  for (const SceneItem& item : decl.body) {
    if (item.kind() == SceneItem::Kind::Node) return true;
  }
  return false;
}

void Parser::resolveExtern(ProtoDecl& decl) {
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
      if (item.kind() == SceneItem::Kind::Proto &&
          (fragment.empty() || item.proto()->name == fragment)) {
        decl.resolved = item.proto();
        return;
      }
    }
  }
  logText("EXTERNPROTO not found:", decl.name.c_str());
}

std::shared_ptr<Scene> Parser::loadExternScene(const std::string& file) {
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
    nested.sourceName = file;
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

NodeTypePtr Parser::makeProtoType(const std::shared_ptr<ProtoDecl>& decl) {
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

}  // namespace kestrel::vrml_parse
