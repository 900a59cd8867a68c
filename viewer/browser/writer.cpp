#include "viewer/browser/writer.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include "viewer/browser/lexer.h"

namespace kestrel {
namespace {

bool holdsValue(Access a) { return a == Access::Field || a == Access::ExposedField; }

class Writer {
 public:
  WriteResult result;

  void scene(const Scene& s) {
    out() += "#VRML V2.0 utf8\n\n";
    items(s.items);
    if (!s.items.empty()) out() += '\n';
  }

  void topNode(const NodePtr& n) {
    node(n);
    out() += '\n';
  }

 private:
  struct Names {
    std::unordered_set<const Node*> written;
    std::unordered_map<std::string, const Node*> bound;
  };

  std::string& out() { return result.text; }

  void newline() {
    out() += '\n';
    out().append(static_cast<size_t>(indent_) * 2, ' ');
  }

  void items(const std::vector<SceneItem>& list) {
    for (size_t i = 0; i < list.size(); ++i) {
      const SceneItem& item = list[i];
      if (i != 0) newline();
      switch (item.kind()) {
        case SceneItem::Kind::Node: node(item.node()); break;
        case SceneItem::Kind::Proto: proto(*item.proto()); break;
        case SceneItem::Kind::Route: route(*item.route()); break;
      }
    }
  }

  void route(const RouteDecl& r) {
    if (!boundTo(r.from) || !boundTo(r.to)) result.exact = false;
    out() += "ROUTE " + r.from->name + '.' + r.fromField + " TO " + r.to->name + '.' +
             r.toField;
  }

  bool boundTo(const NodePtr& n) {
    auto it = names_.bound.find(n->name.str());
    return it != names_.bound.end() && it->second == n.get();
  }

  void proto(const ProtoDecl& p) {
    out() += p.external ? "EXTERNPROTO " : "PROTO ";
    out() += p.name + " [";
    ++indent_;
    for (const FieldDecl& f : p.interface) {
      newline();
      declHead(f);
      if (!p.external && holdsValue(f.access)) {
        out() += ' ';
        value(f.defaultValue);
      }
    }
    --indent_;
    newline();
    out() += "]";
    if (p.external) {
      out() += ' ';
      FieldValue urls{FieldType::MFString, p.urls};
      value(urls);
      return;
    }
    newline();
    out() += "{";
    Names outer = std::move(names_);
    names_ = Names{};
    ++indent_;
    newline();
    items(p.body);
    --indent_;
    names_ = std::move(outer);
    newline();
    out() += "}";
  }

  void declHead(const FieldDecl& f) {
    out() += accessName(f.access);
    out() += ' ';
    out() += fieldTypeName(f.type);
    out() += ' ';
    out() += f.name;
  }

  void node(const NodePtr& n) {
    if (!n) {
      out() += "NULL";
      return;
    }
    if (names_.written.count(n.get()) != 0) {
      if (!n->name.empty() && boundTo(n)) {
        out() += "USE " + n->name;
        return;
      }
      result.exact = false;  // written again as a copy
    }
    if (++depth_ > kMaxDepth) {  // only a cycle made through events gets here
      result.exact = false;
      out() += "NULL";
      --depth_;
      return;
    }
    names_.written.insert(n.get());
    if (!n->name.empty()) {
      out() += "DEF " + n->name + ' ';
      names_.bound[n->name.str()] = n.get();
    }
    out() += n->type->name + " {";
    const size_t opened = out().size();
    ++indent_;
    body(*n);
    --indent_;
    if (out().size() != opened) newline();
    out() += "}";
    --depth_;
  }

  void body(const Node& n) {
    const size_t own = n.type->script ? kScriptOwnFields : n.type->fields.size();
    for (size_t i = 0; i < n.type->fields.size(); ++i) {
      const FieldDecl& f = n.type->fields[i];
      const IsLink* link = linkOf(n, i);
      if (i >= own) {
        newline();
        declHead(f);
        if (link) {
          out() += " IS " + link->interfaceName;
        } else if (holdsValue(f.access)) {
          out() += ' ';
          value(n.value(i));
        }
        continue;
      }
      if (link) {
        newline();
        out() += f.name + " IS " + link->interfaceName;
      } else if (holdsValue(f.access) && n.storesValue(i) &&
                 !sameValue(n.value(i), f.defaultValue)) {  // unstored: the default
        newline();
        out() += f.name + ' ';
        value(n.value(i));
      }
    }
  }

  static const IsLink* linkOf(const Node& n, size_t field) {
    for (const IsLink& l : n.extras().isLinks) {
      if (l.field == static_cast<int>(field)) return &l;
    }
    return nullptr;
  }

  // ---- values ---------------------------------------------------------------
  void number(float v) {
    if (!std::isfinite(v)) v = std::isnan(v) ? 0.0f : std::copysign(std::numeric_limits<float>::max(), v);
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out().append(buf, r.ptr);
  }
  void number(double v) {
    if (!std::isfinite(v)) v = std::isnan(v) ? 0.0 : std::copysign(std::numeric_limits<double>::max(), v);
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out().append(buf, r.ptr);
  }
  void number(int32_t v) {
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out().append(buf, r.ptr);
  }

  void one(bool v) { out() += v ? "TRUE" : "FALSE"; }
  void one(float v) { number(v); }
  void one(double v) { number(v); }
  void one(int32_t v) { number(v); }
  void one(const std::string& v) { appendQuoted(out(), v); }
  void one(const Vec2f& v) {
    number(v.x);
    out() += ' ';
    number(v.y);
  }
  void one(const Vec3f& v) {
    number(v.x);
    out() += ' ';
    number(v.y);
    out() += ' ';
    number(v.z);
  }
  void one(const Rotation& v) {
    number(v.x);
    out() += ' ';
    number(v.y);
    out() += ' ';
    number(v.z);
    out() += ' ';
    number(v.angle);
  }
  void one(const Image& v) {
    number(v.width);
    out() += ' ';
    number(v.height);
    out() += ' ';
    number(v.components);
    for (uint32_t p : v.pixels) {
      char buf[16] = "0x";
      auto r = std::to_chars(buf + 2, buf + sizeof buf, p, 16);
      out() += ' ';
      out().append(buf, r.ptr);
    }
  }
  void one(const NodePtr& v) { node(v); }

  template <class T>
  void list(const std::vector<T>& items) {
    if (items.size() == 1) {
      one(items[0]);
      return;
    }
    out() += '[';
    for (size_t i = 0; i < items.size(); ++i) {
      if (i != 0) out() += ", ";
      one(items[i]);
    }
    out() += ']';
  }

  void nodes(const std::vector<NodePtr>& items) {
    out() += '[';
    ++indent_;
    for (const NodePtr& n : items) {
      newline();
      node(n);
    }
    --indent_;
    if (!items.empty()) newline();
    out() += ']';
  }

  void value(const FieldValue& v) {
    visitData(
        [this](const auto& d) {
          using T = std::decay_t<decltype(d)>;
          if constexpr (std::is_same_v<T, std::vector<NodePtr>>) {
            nodes(d);
          } else if constexpr (std::is_same_v<T, std::vector<bool>>) {
          } else if constexpr (requires { d.data(); } && !std::is_same_v<T, std::string>) {
            list(d);
          } else {
            one(d);
          }
        },
        v.data);
  }

  static constexpr size_t kScriptOwnFields = 3;  // url, directOutput, mustEvaluate
  static constexpr int kMaxDepth = 1000;
  Names names_;
  int indent_ = 0;
  int depth_ = 0;
};

}  // namespace

WriteResult writeScene(const Scene& scene) {
  Writer w;
  w.scene(scene);
  return std::move(w.result);
}

WriteResult writeNode(const NodePtr& node) {
  Writer w;
  w.topNode(node);
  return std::move(w.result);
}

}  // namespace kestrel
