// Form commands: what a posted control form does. The field
// "kestrel_command" selects the action; the others carry its arguments:
//   generate_map       map box from the box fields, then a flat-map request
//   generate_html_map  map box only
//   direct_command     "direct_to_kestrel" as one command line
//   kestrel_config     reload the configuration table from "config_file"
//   viz_command_reset  restore every object (run on the engine thread)
//   viz_command_set    property-by-object triples (object_*, property_*)
//   viz_command        one triple (first object_*, property, value)
// Command lines go to the context's queue. Safe from any thread.
#pragma once

#include <string>
#include <string_view>

#include "viewer/web/web_context.h"

namespace kestrel {

class FormValues;

// Command lines are built in 100 bytes, direct commands in 300.
inline constexpr size_t kMaxCommandLine = 99;
inline constexpr size_t kMaxDirectCommand = 299;

// Acts on FORM (see above).
void runForm(const FormValues& form, const WebContext& context);

// Parses BODY as a form, logs it and acts on it.
void doPost(const std::string& page, std::string_view body, const WebContext& context);

}  // namespace kestrel
