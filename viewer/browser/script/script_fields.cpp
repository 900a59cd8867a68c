#include "viewer/browser/script/script_fields.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "viewer/browser/script/sfnode_binding.h"

namespace kestrel {
namespace {

// Most elements an MF value read from a script may hold.
constexpr duk_size_t kMaxElements = duk_size_t{1} << 22;

// A float as the decimal that reads back to it, so 0.3f shows as 0.3 in a
// script rather than 0.30000001192092896.
double tidy(float f) {
  char text[32];
  auto end = std::to_chars(text, text + sizeof text, f).ptr;
  double d = f;
  std::from_chars(text, end, d);
  return d;
}

struct Member {
  const char* name;
  double number;
};

// An object of the script class CLS with MEMBERS, as `new CLS(...)` makes
// it from numbers, built here without running the constructor (a call
// into the interpreter costs more than the whole object): the class's
// prototype, then the members in the constructor's order, NaN as 0.
void construct(duk_context* ctx, const char* cls, std::initializer_list<Member> members) {
  duk_push_object(ctx);
  duk_get_global_string(ctx, cls);
  duk_get_prop_string(ctx, -1, "prototype");
  if (duk_is_object(ctx, -1)) {
    duk_set_prototype(ctx, -3);
  } else {
    duk_pop(ctx);
  }
  duk_pop(ctx);
  for (const Member& m : members) {
    duk_push_number(ctx, std::isnan(m.number) ? 0 : m.number);
    duk_put_prop_string(ctx, -2, m.name);
  }
}

void pushOne(duk_context* ctx, const Vec2f& v) {
  construct(ctx, "SFVec2f", {{"x", tidy(v.x)}, {"y", tidy(v.y)}});
}
void pushOne(duk_context* ctx, const Rotation& r) {
  construct(ctx, "SFRotation",
            {{"x", tidy(r.x)}, {"y", tidy(r.y)}, {"z", tidy(r.z)}, {"angle", tidy(r.angle)}});
}
void pushOne(duk_context* ctx, const Vec3f& v, bool color) {
  if (color) {
    construct(ctx, "SFColor", {{"r", tidy(v.x)}, {"g", tidy(v.y)}, {"b", tidy(v.z)}});
  } else {
    construct(ctx, "SFVec3f", {{"x", tidy(v.x)}, {"y", tidy(v.y)}, {"z", tidy(v.z)}});
  }
}
void pushOne(duk_context* ctx, float f) { duk_push_number(ctx, tidy(f)); }
void pushOne(duk_context* ctx, double d) { duk_push_number(ctx, d); }
void pushOne(duk_context* ctx, int32_t i) { duk_push_int(ctx, i); }
void pushOne(duk_context* ctx, const std::string& s) { duk_push_lstring(ctx, s.data(), s.size()); }
void pushOne(duk_context* ctx, const NodePtr& n) { pushSFNode(ctx, n); }

void pushImage(duk_context* ctx, const Image& image) {
  duk_get_global_string(ctx, "SFImage");
  duk_push_int(ctx, image.width);
  duk_push_int(ctx, image.height);
  duk_push_int(ctx, image.components);
  duk_push_array(ctx);
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    duk_push_number(ctx, image.pixels[i]);
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
  }
  duk_new(ctx, 4);
}

template <class T>
void pushList(duk_context* ctx, FieldType type, const std::vector<T>& list) {
  duk_get_global_string(ctx, std::string(fieldTypeName(type)).c_str());
  duk_new(ctx, 0);
  for (size_t i = 0; i < list.size(); ++i) {
    if constexpr (std::is_same_v<T, Vec3f>) {
      pushOne(ctx, list[i], type == FieldType::MFColor);
    } else {
      pushOne(ctx, list[i]);
    }
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
  }
}

// Member NAME of the object at IDX, or else its element INDEX, as a number.
double member(duk_context* ctx, duk_idx_t idx, const char* name, duk_uarridx_t index) {
  duk_get_prop_string(ctx, idx, name);
  if (duk_is_undefined(ctx, -1)) {
    duk_pop(ctx);
    duk_get_prop_index(ctx, idx, index);
  }
  double d = duk_is_undefined(ctx, -1) ? 0 : duk_to_number(ctx, -1);
  duk_pop(ctx);
  return std::isnan(d) ? 0 : d;
}

float memberF(duk_context* ctx, duk_idx_t idx, const char* name, duk_uarridx_t index) {
  return static_cast<float>(member(ctx, idx, name, index));
}

int32_t toInt32(duk_context* ctx, duk_idx_t idx) { return duk_to_int32(ctx, idx); }

bool readImage(duk_context* ctx, duk_idx_t idx, Image& image) {
  image.width = static_cast<int32_t>(member(ctx, idx, "x", 0));
  image.height = static_cast<int32_t>(member(ctx, idx, "y", 1));
  image.components = static_cast<int32_t>(member(ctx, idx, "comp", 2));
  if (image.width < 0 || image.height < 0 || image.components < 0 || image.components > 4) {
    return false;
  }
  duk_get_prop_string(ctx, idx, "array");
  duk_size_t n = duk_is_object(ctx, -1) ? duk_get_length(ctx, -1) : 0;
  const int64_t want = int64_t{image.width} * image.height;
  if (want != static_cast<int64_t>(n) || n > kMaxElements) {
    duk_pop(ctx);
    return false;
  }
  image.pixels.resize(n);
  for (duk_size_t i = 0; i < n; ++i) {
    duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i));
    image.pixels[i] = duk_to_uint32(ctx, -1);
    duk_pop(ctx);
  }
  duk_pop(ctx);
  return true;
}

// One SF value at IDX (an absolute index) of the SF type TYPE.
bool readSingle(duk_context* ctx, duk_idx_t idx, FieldType type, FieldData& out) {
  const bool object = duk_is_object(ctx, idx) != 0;
  switch (type) {
    case FieldType::SFBool: out = duk_to_boolean(ctx, idx) != 0; return true;
    case FieldType::SFInt32: out = toInt32(ctx, idx); return true;
    case FieldType::SFFloat: out = static_cast<float>(duk_to_number(ctx, idx)); return true;
    case FieldType::SFTime: out = duk_to_number(ctx, idx); return true;
    case FieldType::SFString: out = std::string(duk_to_string(ctx, idx)); return true;
    case FieldType::SFVec2f:
      if (!object) return false;
      out = Vec2f{memberF(ctx, idx, "x", 0), memberF(ctx, idx, "y", 1)};
      return true;
    case FieldType::SFVec3f:
      if (!object) return false;
      out = Vec3f{memberF(ctx, idx, "x", 0), memberF(ctx, idx, "y", 1), memberF(ctx, idx, "z", 2)};
      return true;
    case FieldType::SFColor:
      if (!object) return false;
      out = Vec3f{memberF(ctx, idx, "r", 0), memberF(ctx, idx, "g", 1), memberF(ctx, idx, "b", 2)};
      return true;
    case FieldType::SFRotation:
      if (!object) return false;
      out = Rotation{memberF(ctx, idx, "x", 0), memberF(ctx, idx, "y", 1),
                     memberF(ctx, idx, "z", 2), memberF(ctx, idx, "angle", 3)};
      return true;
    case FieldType::SFImage: {
      Image image;
      if (!object || !readImage(ctx, idx, image)) return false;
      out = std::move(image);
      return true;
    }
    case FieldType::SFNode: {
      NodePtr node;
      if (!readSFNode(ctx, idx, node)) return false;
      out = std::move(node);
      return true;
    }
    default: return false;
  }
}

FieldType elementType(FieldType mf) {
  switch (mf) {
    case FieldType::MFColor: return FieldType::SFColor;
    case FieldType::MFFloat: return FieldType::SFFloat;
    case FieldType::MFInt32: return FieldType::SFInt32;
    case FieldType::MFNode: return FieldType::SFNode;
    case FieldType::MFRotation: return FieldType::SFRotation;
    case FieldType::MFString: return FieldType::SFString;
    case FieldType::MFTime: return FieldType::SFTime;
    case FieldType::MFVec2f: return FieldType::SFVec2f;
    default: return FieldType::SFVec3f;
  }
}

template <class T>
bool readList(duk_context* ctx, duk_idx_t idx, FieldType type, std::vector<T>& list) {
  const FieldType element = elementType(type);
  FieldData one;
  // A lone element (a number, an SFVec3f, an SFNode) stands for a list of one.
  if (!duk_is_array(ctx, idx)) {
    if (duk_is_null_or_undefined(ctx, idx)) return true;
    if (!readSingle(ctx, idx, element, one)) return false;
    list.push_back(std::move(*dataAs<T>(one)));
    return true;
  }
  duk_size_t n = duk_get_length(ctx, idx);
  if (n > kMaxElements) return false;
  list.reserve(n);
  for (duk_size_t i = 0; i < n; ++i) {
    duk_get_prop_index(ctx, idx, static_cast<duk_uarridx_t>(i));
    bool ok = duk_is_undefined(ctx, -1) ? (one = FieldValue::zeroOf(element).data, true)
                                        : readSingle(ctx, duk_get_top_index(ctx), element, one);
    duk_pop(ctx);
    if (!ok) return false;
    if constexpr (std::is_same_v<T, NodePtr>) {
      if (!*dataAs<T>(one)) continue;  // MFNode holds no NULL
    }
    list.push_back(std::move(*dataAs<T>(one)));
  }
  return true;
}

}  // namespace

void pushFieldValue(duk_context* ctx, const FieldValue& value) {
  visitData(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, bool>) {
          duk_push_boolean(ctx, v);
        } else if constexpr (std::is_same_v<T, Vec3f>) {
          pushOne(ctx, v, value.type == FieldType::SFColor);
        } else if constexpr (std::is_same_v<T, Image>) {
          pushImage(ctx, v);
        } else if constexpr (requires { v.size(); typename T::value_type; } &&
                             !std::is_same_v<T, std::string>) {
          pushList(ctx, value.type, v);
        } else {
          pushOne(ctx, v);
        }
      },
      value.data);
}

bool readFieldValue(duk_context* ctx, duk_idx_t idx, FieldType type, FieldValue& out) {
  idx = duk_normalize_index(ctx, idx);
  FieldValue value = FieldValue::zeroOf(type);
  bool ok = false;
  if (!isMultiple(type)) {
    ok = readSingle(ctx, idx, type, value.data);
  } else {
    ok = visitData(
        [&](auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (requires { typename T::value_type; } && !std::is_same_v<T, std::string>) {
            return readList(ctx, idx, type, v);
          } else {
            return false;
          }
        },
        value.data);
  }
  if (ok) out = std::move(value);
  return ok;
}

}  // namespace kestrel
