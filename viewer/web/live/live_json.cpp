#include "viewer/web/live/live_json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

namespace kestrel {
namespace {

// A small writer: the texts are large and hot (every frame), and
// nlohmann's double formatting of floats is long.
class Out {
 public:
  Out& raw(std::string_view text) {
    text_ += text;
    return *this;
  }
  Out& key(std::string_view name) {
    comma();
    text_ += '"';
    text_ += name;
    text_ += "\":";
    fresh_ = true;
    return *this;
  }
  Out& open(char bracket) {
    comma();
    text_ += bracket;
    fresh_ = true;
    return *this;
  }
  Out& close(char bracket) {
    text_ += bracket;
    fresh_ = false;
    return *this;
  }
  Out& number(double value) {
    comma();
    char text[32];
    auto written = std::to_chars(text, text + sizeof text, std::isfinite(value) ? value : 0.0,
                                 std::chars_format::general, 6);
    text_.append(text, written.ptr);
    return *this;
  }
  Out& integer(uint64_t value) {
    comma();
    text_ += std::to_string(value);
    return *this;
  }
  Out& boolean(bool value) {
    comma();
    text_ += value ? "true" : "false";
    return *this;
  }
  Out& string(const std::string& value) {
    comma();
    text_ += nlohmann::json(value).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return *this;
  }
  Out& null() {
    comma();
    text_ += "null";
    return *this;
  }
  Out& vec(Vec3f v) { return open('[').number(v.x).number(v.y).number(v.z).close(']'); }
  Out& rot(const Rotation& r) {
    return open('[').number(r.x).number(r.y).number(r.z).number(r.angle).close(']');
  }
  std::string take() { return std::move(text_); }

 private:
  void comma() {
    if (!fresh_ && !text_.empty()) text_ += ',';
    fresh_ = false;
  }
  std::string text_;
  bool fresh_ = true;
};

void material(Out& out, const MaterialInfo& m) {
  out.key("material").open('{');
  out.key("lit").boolean(m.lit);
  out.key("diffuse").vec(m.diffuse);
  out.key("emissive").vec(m.emissive);
  out.key("specular").vec(m.specular);
  out.key("shininess").number(m.shininess);
  out.key("transparency").number(m.transparency);
  out.close('}');
}

void matrix(Out& out, const Mat4& m) {
  out.open('[');
  for (float v : m.m) out.number(v);
  out.close(']');
}

// True when A and B differ only in their matrices.
bool onlyMatricesMoved(const std::vector<LiveItem>& a, const std::vector<LiveItem>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    LiveItem moved = a[i];
    moved.matrix = b[i].matrix;
    if (!(moved == b[i])) return false;
  }
  return true;
}

void item(Out& out, const LiveItem& item) {
  out.open('{');
  out.key("mesh").string(item.mesh);
  out.key("matrix");
  matrix(out, item.matrix);
  material(out, item.material);
  out.key("texture");
  if (item.texture.empty()) out.null();
  else out.string("/api/textures/" + item.texture);
  out.close('}');
}

void items(Out& out, const std::vector<LiveItem>& list) {
  out.open('[');
  for (const LiveItem& i : list) item(out, i);
  out.close(']');
}

template <class T, class Write>
void optional(Out& out, const char* name, const std::optional<T>& value, Write write) {
  out.key(name);
  if (value) write(*value);
  else out.null();
}

void objectFields(Out& out, const LiveObject& o) {
  out.key("translation").vec(o.translation);
  out.key("rotation").rot(o.rotation);
  out.key("scale").vec(o.scale);
  optional(out, "diffuseColor", o.diffuseColor, [&](Vec3f v) { out.vec(v); });
  optional(out, "emissiveColor", o.emissiveColor, [&](Vec3f v) { out.vec(v); });
  optional(out, "transparency", o.transparency, [&](float v) { out.number(v); });
  out.key("visible").boolean(o.visible);
  out.key("group").string(o.group);
  optional(out, "info", o.info, [&](const std::string& v) { out.string(v); });
}

void object(Out& out, const LiveObject& o, size_t id, bool withItems) {
  out.open('{');
  out.key("id").integer(id);
  out.key("name").string(o.name);
  objectFields(out, o);
  if (withItems) {
    out.key("items");
    items(out, o.items);
  }
  out.close('}');
}

const char* lightKind(Light::Kind kind) {
  switch (kind) {
    case Light::Kind::Point: return "point";
    case Light::Kind::Spot: return "spot";
    default: return "directional";
  }
}

void view(Out& out, const LiveView& v) {
  out.open('{');
  out.key("position").vec(v.position);
  out.key("orientation").rot(v.orientation);
  out.key("fieldOfView").number(v.fieldOfView);
  out.key("sky").open('[');
  for (Vec3f c : v.sky) out.vec(c);
  out.close(']');
  out.key("ground").open('[');
  for (Vec3f c : v.ground) out.vec(c);
  out.close(']');
  out.key("headlight").boolean(v.headlight);
  out.key("lights").open('[');
  for (const Light& l : v.lights) {
    out.open('{');
    out.key("kind").string(lightKind(l.kind));
    out.key("color").vec(l.color);
    out.key("intensity").number(l.intensity);
    out.key("ambientIntensity").number(l.ambientIntensity);
    out.key("location").vec(l.location);
    out.key("direction").vec(l.direction);
    out.close('}');
  }
  out.close(']');
  out.close('}');
}

// The changed fields of one object, as one "set" entry; false when none.
bool objectChange(Out& out, const LiveObject& a, const LiveObject& b, size_t id) {
  Out fields;
  fields.open('{');
  fields.key("op").string("set");
  fields.key("id").integer(id);
  bool any = false;
  auto field = [&](bool differs, const char* name, auto write) {
    if (!differs) return;
    fields.key(name);
    write(fields);
    any = true;
  };
  field(!(a.translation == b.translation), "translation", [&](Out& o) { o.vec(b.translation); });
  field(!(a.rotation == b.rotation), "rotation", [&](Out& o) { o.rot(b.rotation); });
  field(!(a.scale == b.scale), "scale", [&](Out& o) { o.vec(b.scale); });
  auto colour = [](const std::optional<Vec3f>& c) {
    return [&c](Out& o) { c ? o.vec(*c) : o.null(); };
  };
  field(a.diffuseColor != b.diffuseColor, "diffuseColor", colour(b.diffuseColor));
  field(a.emissiveColor != b.emissiveColor, "emissiveColor", colour(b.emissiveColor));
  field(a.transparency != b.transparency, "transparency",
        [&](Out& o) { b.transparency ? o.number(*b.transparency) : o.null(); });
  field(a.visible != b.visible, "visible", [&](Out& o) { o.boolean(b.visible); });
  field(a.info != b.info, "info", [&](Out& o) { b.info ? o.string(*b.info) : o.null(); });
  // Shapes that only moved send their matrices; others are sent whole.
  bool moved = a.items != b.items && onlyMatricesMoved(a.items, b.items);
  field(moved, "matrices", [&](Out& o) {
    o.open('[');
    for (const LiveItem& i : b.items) matrix(o, i.matrix);
    o.close(']');
  });
  field(a.items != b.items && !moved, "items", [&](Out& o) { items(o, b.items); });
  if (!any) return false;
  fields.close('}');
  out.raw(",").raw(fields.take());
  return true;
}

}  // namespace

std::string meshJson(const Mesh& mesh) {
  Out out;
  out.open('{');
  out.key("kind").string(mesh.kind == Mesh::Kind::Triangles ? "triangles"
                         : mesh.kind == Mesh::Kind::Lines   ? "lines"
                                                            : "points");
  auto list3 = [&](const char* name, const std::vector<Vec3f>& v) {
    out.key(name).open('[');
    for (Vec3f p : v) out.number(p.x).number(p.y).number(p.z);
    out.close(']');
  };
  list3("positions", mesh.positions);
  list3("normals", mesh.normals);
  list3("colors", mesh.colors);
  out.key("uvs").open('[');
  for (Vec2f t : mesh.texCoords) out.number(t.x).number(t.y);
  out.close(']');
  out.key("solid").boolean(mesh.solid);
  out.close('}');
  return out.take();
}

std::string sceneJson(const LiveSnapshot& snapshot) {
  Out out;
  out.open('{');
  out.key("seq").integer(snapshot.seq);
  out.key("view");
  view(out, snapshot.view);
  out.key("objects").open('[');
  for (size_t i = 0; i < snapshot.objects.size(); ++i) object(out, snapshot.objects[i], i, true);
  out.close(']');
  out.key("scenery");
  items(out, snapshot.scenery);
  out.close('}');
  return out.take();
}

std::string objectsJson(const LiveSnapshot& snapshot) {
  Out out;
  out.open('[');
  for (size_t i = 0; i < snapshot.objects.size(); ++i) object(out, snapshot.objects[i], i, false);
  out.close(']');
  return out.take();
}

std::string objectJson(const LiveSnapshot& snapshot, size_t index) {
  Out out;
  object(out, snapshot.objects.at(index), index, false);
  return out.take();
}

std::string updateJson(const LiveSnapshot& before, const LiveSnapshot& after) {
  size_t common = std::min(before.objects.size(), after.objects.size());
  Out body;
  for (size_t i = 0; i < common; ++i) {
    if (before.objects[i].name != after.objects[i].name) {
      common = i;  // renumbered from here: removed and added again
      break;
    }
    objectChange(body, before.objects[i], after.objects[i], i);
  }
  if (before.objects.size() > common) {
    body.raw(",{\"op\":\"remove\",\"from\":").integer(common).raw("}");
  }
  for (size_t i = common; i < after.objects.size(); ++i) {
    body.raw(",{\"op\":\"add\",\"object\":");
    Out one;
    object(one, after.objects[i], i, true);
    body.raw(one.take()).raw("}");
  }
  if (before.scenery != after.scenery) {
    Out one;
    items(one, after.scenery);
    body.raw(",{\"op\":\"scenery\",\"items\":").raw(one.take()).raw("}");
  }
  if (!(before.view == after.view)) {
    Out one;
    view(one, after.view);
    body.raw(",{\"op\":\"view\",\"view\":").raw(one.take()).raw("}");
  }
  std::string entries = body.take();
  if (entries.empty()) return "";
  return "{\"seq\":" + std::to_string(after.seq) + ",\"changes\":[" + entries.substr(1) + "]}";
}

}  // namespace kestrel
