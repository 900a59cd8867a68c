#include "modules/common/jproperty.h"

namespace kestrel {

JProperty::~JProperty() = default;

const JStringProperty* JProperty::asString() const {
  return kind() == Kind::String ? static_cast<const JStringProperty*>(this) : nullptr;
}
const JIntegerProperty* JProperty::asInteger() const {
  return kind() == Kind::Integer ? static_cast<const JIntegerProperty*>(this) : nullptr;
}
const JRealProperty* JProperty::asReal() const {
  return kind() == Kind::Real ? static_cast<const JRealProperty*>(this) : nullptr;
}
const JFileProperty* JProperty::asFile() const {
  return kind() == Kind::File ? static_cast<const JFileProperty*>(this) : nullptr;
}

std::unique_ptr<JProperty> JStringProperty::copy() const {
  return std::make_unique<JStringProperty>(*this);
}
std::unique_ptr<JProperty> JIntegerProperty::copy() const {
  return std::make_unique<JIntegerProperty>(*this);
}
std::unique_ptr<JProperty> JRealProperty::copy() const {
  return std::make_unique<JRealProperty>(*this);
}
std::unique_ptr<JProperty> JFileProperty::copy() const {
  return std::make_unique<JFileProperty>(*this);
}

const JProperty* JArray::find(std::string_view name) const {
  for (const auto& p : items_) {
    if (p->getName().view() == name) return p.get();
  }
  return nullptr;
}

}  // namespace kestrel
