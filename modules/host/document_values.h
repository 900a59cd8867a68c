// Conversions between document JSON values and module values: properties
// set from JSON, and content to and from JSON objects. Used by the document
// loader and saver only.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "modules/common/jmodule.h"

namespace kestrel {

// Sets the module's property `key` from the JSON value, checking that the
// property exists, the value has its kind and lies in its range, and the
// module took it. A relative path given to a file property starts at
// baseDir (the document's directory) unless baseDir is empty; "-" stays.
// Returns an error text naming the problem, or empty.
std::string setProperty(JAddObj& module, const std::string& moduleName, const std::string& key,
                        const nlohmann::ordered_json& value, const std::string& baseDir);

// Content: strings, integers (that fit an int) and reals; nothing else.
std::string contentFromJson(const nlohmann::ordered_json& object, JContent& content);
nlohmann::ordered_json contentToJson(const JContent& content);

}  // namespace kestrel
