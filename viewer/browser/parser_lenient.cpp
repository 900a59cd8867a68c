// The lenient side of the parser: warnings, skipping what cannot be read
// into the scene, and the checks of node kinds and value ranges.
#include "viewer/browser/field_rules.h"
#include "viewer/browser/node.h"
#include "viewer/browser/parser_impl.h"

namespace kestrel::vrml_parse {

void Parser::warn(const Token& at, std::string message) {
  if (!options_.warn) return;
  options_.warn(ParseWarning{options_.sourceName, at.line, at.column, std::move(message)});
}

bool Parser::skipOrFail(const Token& at, std::string message) {
  if (!lenient()) return fail(at, std::move(message));
  warn(at, message + "; skipped");
  return true;
}

// EXPORT name [AS name] and IMPORT inline.name [AS name], as X3D writes
// them; a name that does not follow fails as any broken statement does.
bool Parser::skipX3dStatement(bool& skipped) {
  skipped = false;
  const Token t = lex_.peek();
  if (!lenient() || (t.text != "EXPORT" && t.text != "IMPORT")) return true;
  const std::string word(t.text);
  lex_.next();
  Token name;
  if (!identifier(name, "a node name")) return false;
  if (word == "IMPORT" && (!punct(TokenKind::Period) || !identifier(name, "a node name"))) {
    return false;
  }
  if (lex_.peek().kind == TokenKind::Identifier && lex_.peek().text == "AS") {
    lex_.next();
    if (!identifier(name, "a node name")) return false;
  }
  warn(t, "X3D statement " + word + " (VRML97 has none); skipped");
  skipped = true;
  return true;
}

bool Parser::listStatement(Scope& scope, bool& read) {
  Token t = lex_.peek();
  if (t.kind != TokenKind::Identifier) return false;
  if (t.text == "ROUTE") {
    read = route(scope, scope.after);
    return true;
  }
  if (t.text != "PROTO" && t.text != "EXTERNPROTO") return false;
  std::shared_ptr<ProtoDecl> decl;
  read = protoStatement(scope, decl);
  if (read) scope.before.push_back(SceneItem(decl));
  return true;
}

bool Parser::skipBraces() {
  if (!punct(TokenKind::OpenBrace)) return false;
  std::vector<TokenKind> open{TokenKind::CloseBrace};
  while (!open.empty()) {
    Token t = lex_.peek();
    if (t.kind == TokenKind::End) {
      return expected(open.back() == TokenKind::CloseBrace ? "'}'" : "']'");
    }
    if (t.kind == TokenKind::OpenBrace) open.push_back(TokenKind::CloseBrace);
    if (t.kind == TokenKind::OpenBracket) open.push_back(TokenKind::CloseBracket);
    if (t.kind == TokenKind::CloseBrace || t.kind == TokenKind::CloseBracket) {
      if (t.kind != open.back()) {
        return expected(open.back() == TokenKind::CloseBrace ? "'}'" : "']'");
      }
      open.pop_back();
    }
    if (t.kind == TokenKind::Invalid) return expected("a token");
    lex_.next();
  }
  return true;
}

bool Parser::skipUnknownValue() {
  Token t = lex_.peek();
  if (t.kind == TokenKind::OpenBracket) {
    // A list: skipped like a block, with '[' as its opener.
    lex_.next();
    int depth = 1;
    while (depth > 0) {
      Token in = lex_.next();
      if (in.kind == TokenKind::End || in.kind == TokenKind::Invalid) return expected("']'");
      if (in.kind == TokenKind::OpenBracket || in.kind == TokenKind::OpenBrace) ++depth;
      if (in.kind == TokenKind::CloseBracket || in.kind == TokenKind::CloseBrace) --depth;
    }
    return true;
  }
  if (t.kind == TokenKind::Identifier) {
    if (t.text == "TRUE" || t.text == "FALSE" || t.text == "NULL") {
      lex_.next();
      return true;
    }
    if (t.text == "USE") {
      lex_.next();
      Token name;
      return identifier(name, "a node name");
    }
    if (t.text == "DEF") {
      lex_.next();
      Token name;
      if (!identifier(name, "a node name")) return false;
    }
    Token typeName = lex_.next();
    if (lex_.peekChar() != '{') return expected("'{'");
    (void)typeName;
    return skipBraces();
  }
  // Numbers and strings up to the next field name or '}'.
  while (lex_.peek().kind == TokenKind::Number || lex_.peek().kind == TokenKind::String) {
    lex_.next();
  }
  return true;
}

bool Parser::fitsField(const Token& at, const FieldTarget& field, const NodePtr& child) {
  if (!child || nodeFitsField(*field.owner, *field.decl, *child->type)) return true;
  warn(at, quoted(child->type->name) + " cannot be in the field " + quoted(field.decl->name) +
               " of " + quoted(field.owner->name) + "; the node is skipped");
  return false;
}

void Parser::checkRange(const Token& at, const Node& node, const FieldDecl& decl,
                        FieldValue& value) {
  if (std::optional<std::string> fixed = fixRange(*node.type, decl, value)) {
    warn(at, "the value of " + quoted(decl.name) + " in " + quoted(node.type->name) +
                 " is out of range; " + *fixed);
  }
}

}  // namespace kestrel::vrml_parse
