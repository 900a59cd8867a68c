// The object list of the control pages: one input per visual object, and
// the script functions that tick or clear them all.
//
// Safe from any thread: the names are read from the registry at one moment.
#pragma once

#include <string>

namespace kestrel {

class VisualObjectRegistry;

// The list for the "<<<viz>>>" marks of a page, with inputs of TYPE
// ("RADIO" or "CHECKBOX"); a sentence when there are no objects.
std::string objectListHtml(const VisualObjectRegistry& registry, const std::string& type);

}  // namespace kestrel
