#include "modules/host/document_values.h"

#include <climits>

namespace kestrel {
namespace {

using Json = nlohmann::ordered_json;

std::string propertyNames(const JArray& list) {
  std::string names;
  for (int i = 0; i < list.size(); ++i) {
    names += (i ? ", " : "") + list[i].getName().str();
  }
  return names.empty() ? "none" : names;
}

// The new property built from the JSON value, or null with the problem in *why.
std::string located(const std::string& path, const std::string& baseDir) {
  if (path.empty() || path == "-" || path[0] == '/' || baseDir.empty()) return path;
  return baseDir + "/" + path;
}

std::unique_ptr<JProperty> withValue(const JProperty& current, const Json& value,
                                     const std::string& baseDir, std::string* why) {
  auto changed = current.copy();
  switch (current.kind()) {
    case JProperty::Kind::String:
    case JProperty::Kind::File:
      if (!value.is_string()) {
        *why = "wants a string";
        return nullptr;
      }
      if (current.kind() == JProperty::Kind::String) {
        static_cast<JStringProperty&>(*changed).setText(JString(value.get<std::string>()));
      } else {
        static_cast<JFileProperty&>(*changed).setPath(
            JString(located(value.get<std::string>(), baseDir)));
      }
      return changed;
    case JProperty::Kind::Integer: {
      const auto& p = static_cast<const JIntegerProperty&>(current);
      if (!value.is_number_integer()) {
        *why = "wants an integer";
        return nullptr;
      }
      const long long v = value.get<long long>();
      if (v < p.getLow() || v > p.getHigh()) {
        *why = "must lie between " + std::to_string(p.getLow()) + " and " +
               std::to_string(p.getHigh());
        return nullptr;
      }
      static_cast<JIntegerProperty&>(*changed).setValue(static_cast<int>(v));
      return changed;
    }
    case JProperty::Kind::Real:
      if (!value.is_number()) {
        *why = "wants a number";
        return nullptr;
      }
      static_cast<JRealProperty&>(*changed).setValue(value.get<double>());
      return changed;
  }
  *why = "has an unknown kind";
  return nullptr;
}

}  // namespace

std::string setProperty(JAddObj& module, const std::string& moduleName, const std::string& key,
                        const Json& value, const std::string& baseDir) {
  const std::string where = "module '" + moduleName + "': property '" + key + "'";
  JArray list = module.getProperties();
  const JProperty* current = list.find(key);
  if (!current) {
    return "module '" + moduleName + "' has no property '" + key + "' (it has: " +
           propertyNames(list) + ")";
  }
  std::string why;
  auto changed = withValue(*current, value, baseDir, &why);
  if (!changed) return where + " " + why;
  if (!module.updateProperty(*changed)) return where + " refused the value " + value.dump();
  return "";
}

std::string contentFromJson(const Json& object, JContent& content) {
  if (!object.is_object()) return "\"content\" must be an object";
  for (const auto& [key, value] : object.items()) {
    if (value.is_string()) {
      content.putObject(key, JString(value.get<std::string>()));
    } else if (value.is_number_integer()) {
      const long long v = value.get<long long>();
      if (v < INT_MIN || v > INT_MAX) return "content '" + key + "' does not fit an integer";
      content.putInteger(key, static_cast<int>(v));
    } else if (value.is_number_float()) {
      content.putDouble(key, value.get<double>());
    } else {
      return "content '" + key + "' must be a string or a number";
    }
  }
  return "";
}

Json contentToJson(const JContent& content) {
  Json object = Json::object();
  for (const auto& entry : content.entries()) {
    if (const int* i = std::get_if<int>(&entry.value)) {
      object[entry.key] = *i;
    } else if (const double* d = std::get_if<double>(&entry.value)) {
      object[entry.key] = *d;
    } else {
      object[entry.key] = std::get<JString>(entry.value).str();
    }
  }
  return object;
}

}  // namespace kestrel
