// Typed VRML97 field values: one tagged value for every SF and MF type.
//
// MF values are contiguous vectors, so a large coordinate list is one
// allocation. SFColor shares the representation of SFVec3f and MFColor that
// of MFVec3f; the type tag tells them apart. Node values hold shared
// ownership of their nodes (NodePtr), as a DEF'd node may be USE'd in many
// places.
//
// A scene holds a value for every member of every node, so the size of one
// value counts: SFString and SFImage, rare and wider than the rest, are
// kept on the heap (Boxed), which makes a value 32 bytes instead of 56.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace kestrel {

struct Node;
using NodePtr = std::shared_ptr<Node>;

enum class FieldType : uint8_t {
  SFBool, SFColor, SFFloat, SFImage, SFInt32, SFNode, SFRotation, SFString, SFTime,
  SFVec2f, SFVec3f,
  MFColor, MFFloat, MFInt32, MFNode, MFRotation, MFString, MFTime, MFVec2f, MFVec3f,
};

// The VRML97 name of TYPE ("SFVec3f" ...).
std::string_view fieldTypeName(FieldType type);
// The type named NAME; false when NAME names no VRML97 field type.
bool fieldTypeFromName(std::string_view name, FieldType& type);
// True for the MF types.
bool isMultiple(FieldType type);

struct Vec2f {
  float x = 0, y = 0;
  bool operator==(const Vec2f&) const = default;
};
struct Vec3f {
  float x = 0, y = 0, z = 0;
  bool operator==(const Vec3f&) const = default;
};
struct Rotation {
  float x = 0, y = 0, z = 1, angle = 0;
  bool operator==(const Rotation&) const = default;
};
// SFImage: width, height, components (0-4) and width*height packed pixels.
struct Image {
  int32_t width = 0, height = 0, components = 0;
  std::vector<uint32_t> pixels;
  bool operator==(const Image&) const = default;
};

// A value held on the heap with value semantics: copies copy the value,
// equality compares values. An empty box (made by default or moved from)
// reads as T{} and allocates only when written through.
template <class T>
class Boxed {
 public:
  Boxed() = default;
  Boxed(T value) : p_(std::make_unique<T>(std::move(value))) {}  // implicit: a T converts
  Boxed(const Boxed& other) : p_(other.p_ ? std::make_unique<T>(*other.p_) : nullptr) {}
  Boxed(Boxed&&) noexcept = default;
  Boxed& operator=(const Boxed& other) {
    if (this != &other) p_ = other.p_ ? std::make_unique<T>(*other.p_) : nullptr;
    return *this;
  }
  Boxed& operator=(Boxed&&) noexcept = default;
  ~Boxed() = default;

  const T& get() const { return p_ ? *p_ : empty(); }
  T& get() {
    if (!p_) p_ = std::make_unique<T>();
    return *p_;
  }
  bool operator==(const Boxed& other) const { return get() == other.get(); }

 private:
  static const T& empty() {
    static const T value{};
    return value;
  }
  std::unique_ptr<T> p_;
};

// How FieldData stores a T: boxed for the wide, rare alternatives.
template <class T>
inline constexpr bool kBoxedInField = std::is_same_v<T, std::string> || std::is_same_v<T, Image>;
template <class T>
using StoredAs = std::conditional_t<kBoxedInField<T>, Boxed<T>, T>;
template <class T>
inline constexpr bool kIsBoxed = false;
template <class T>
inline constexpr bool kIsBoxed<Boxed<T>> = true;

using FieldData = std::variant<bool, int32_t, float, double, Boxed<std::string>, Vec2f, Vec3f,
                               Rotation, Boxed<Image>, NodePtr, std::vector<int32_t>,
                               std::vector<float>, std::vector<double>,
                               std::vector<std::string>, std::vector<Vec2f>,
                               std::vector<Vec3f>, std::vector<Rotation>,
                               std::vector<NodePtr>>;

// The T that DATA holds (seen through its box), or null when it holds
// another alternative.
template <class T>
T* dataAs(FieldData& data) {
  auto* stored = std::get_if<StoredAs<T>>(&data);
  if constexpr (kBoxedInField<T>) {
    return stored ? &stored->get() : nullptr;
  } else {
    return stored;
  }
}
template <class T>
const T* dataAs(const FieldData& data) {
  const auto* stored = std::get_if<StoredAs<T>>(&data);
  if constexpr (kBoxedInField<T>) {
    return stored ? &stored->get() : nullptr;
  } else {
    return stored;
  }
}

// std::visit over DATA, with boxed alternatives passed as the value they
// hold (std::string, Image), so visitors never see a Boxed.
template <class Visit>
decltype(auto) visitData(Visit&& visit, FieldData& data) {
  return std::visit(
      [&visit](auto& stored) -> decltype(auto) {
        if constexpr (kIsBoxed<std::decay_t<decltype(stored)>>) {
          return visit(stored.get());
        } else {
          return visit(stored);
        }
      },
      data);
}
template <class Visit>
decltype(auto) visitData(Visit&& visit, const FieldData& data) {
  return std::visit(
      [&visit](const auto& stored) -> decltype(auto) {
        if constexpr (kIsBoxed<std::decay_t<decltype(stored)>>) {
          return visit(stored.get());
        } else {
          return visit(stored);
        }
      },
      data);
}

// A value of one field type. A default-constructed value is an SFBool FALSE.
// The tag sits in the variant's tail padding, so it adds no size.
struct FieldValue {
  FieldValue() = default;
  FieldValue(FieldType valueType, FieldData valueData)
      : data(std::move(valueData)), type(valueType) {}

  [[no_unique_address]] FieldData data = false;
  FieldType type = FieldType::SFBool;

  // The default value of TYPE: zeros, empty lists, NULL node, rotation 0 0 1 0.
  static FieldValue zeroOf(FieldType type);
  // The same, made once per type and kept for the whole process.
  static const FieldValue& zeroRef(FieldType type);

  template <class T> T* as() { return dataAs<T>(data); }
  template <class T> const T* as() const { return dataAs<T>(data); }
};

// Equality of values; nodes compare by identity.
bool sameValue(const FieldValue& a, const FieldValue& b);

}  // namespace kestrel
