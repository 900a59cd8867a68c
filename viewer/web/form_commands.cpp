#include "viewer/web/form_commands.h"

#include "viewer/engine/engine.h"
#include "viewer/intake/command_codes.h"
#include "viewer/intake/command_queue.h"
#include "viewer/intake/diagnostic_log.h"
#include "viewer/web/config_table.h"
#include "viewer/web/page_files.h"
#include "viewer/web/engine_tasks.h"
#include "viewer/web/form_values.h"
#include "viewer/web/http_request.h"
#include "viewer/web/map_region.h"

namespace kestrel {

namespace {

bool present(const std::optional<std::string>& text) { return text && !text->empty(); }

// Queues the triple when all three parts are there and every line fits.
void queueTriple(const std::optional<std::string>& object, const std::optional<std::string>& property,
                 const std::optional<std::string>& value, const WebContext& context) {
  if (!present(object) || !present(property) || !present(value)) {
    logLine("did not get object/property/value");
    return;
  }
  std::string lines[3] = {"setobject " + *object, "setproperty " + *property, "setvalue " + *value};
  for (const std::string& line : lines) {
    if (line.size() > kMaxCommandLine) {
      logLine("did not get object/property/value");
      return;
    }
  }
  for (const std::string& line : lines) logLine(line.c_str());
  // One writer for the three lines: no other producer's line can land
  // between them and send the value to another object.
  InternalCommandQueue::Writer writer(*context.queue);
  for (const std::string& line : lines) writer.queue(line.c_str());
}

void mapBox(const FormValues& form, const WebContext& context, bool request) {
  std::optional<MapForm> map = readMapForm(form);
  if (!map) return;
  if (context.map != nullptr) context.map->set(map->box);
  std::string image = "c:/corvid/render/" + map->imageName;
  if (context.engine != nullptr) context.engine->setCurrentImageFile(image);
  logText("generated image file: ", image.c_str());
  if (request) context.queue->put(cmd::kMapRequest, map->whichMap.c_str());
}

void directCommand(const FormValues& form, const WebContext& context) {
  std::optional<std::string> line = form.lookup("direct_to_kestrel");
  if (!line) return;
  if (line->size() > kMaxDirectCommand) {
    logNumber("direct command refused, too long: ", static_cast<long>(line->size()));
    return;
  }
  context.queue->queue(line->c_str());
}

void reloadConfig(const FormValues& form, const WebContext& context) {
  if (context.config == nullptr) return;
  std::optional<std::string> name = form.lookup("config_file");
  std::optional<std::string> path = name ? pagePath("/" + *name) : std::nullopt;
  if (name && !path) logText("config file name refused: ", name->c_str());
  if (!path) {
    context.config->clear();
    return;
  }
  loadConfigFile(context, *path);
}

void restoreAll(const WebContext& context) {
  if (context.tasks == nullptr) return;
  context.tasks->post([](Engine& engine) { engine.registry().restoreAll(); });
}

void vizCommandSet(const FormValues& form, const WebContext& context) {
  logLine("do a viz command set");
  int objects = form.countWithPrefix("object_");
  int properties = form.countWithPrefix("property_");
  for (int i = 0; i < properties; ++i) {
    std::optional<std::string> property = form.nthWithPrefix(i, "property_");
    std::optional<std::string> value = property ? form.lookup(*property) : std::nullopt;
    logTexts("Property/value is: ", property ? property->c_str() : nullptr,
             value ? value->c_str() : nullptr);
    for (int j = 0; j < objects; ++j) {
      queueTriple(form.nthWithPrefix(j, "object_"), property, value, context);
    }
  }
}

}  // namespace

void runForm(const FormValues& form, const WebContext& context) {
  std::optional<std::string> command = form.lookup("kestrel_command");
  if (!command) return;
  logText("kestrel_command is: ", command->c_str());
  if (*command == "generate_map") {
    mapBox(form, context, true);
  } else if (*command == "generate_html_map") {
    mapBox(form, context, false);
  } else if (*command == "direct_command") {
    directCommand(form, context);
  } else if (*command == "kestrel_config") {
    reloadConfig(form, context);
  } else if (*command == "viz_command_reset") {
    restoreAll(context);
  } else if (*command == "viz_command_set") {
    vizCommandSet(form, context);
  } else if (*command == "viz_command") {
    logLine("do a viz command");
    queueTriple(form.firstWithPrefix("object_"), form.lookup("property"), form.lookup("value"),
                context);
  }
}

void doPost(const std::string& page, std::string_view body, const WebContext& context) {
  logText("Got values: ", std::string(body).c_str());
  FormValues form;
  form.parse(body);
  form.dump();
  logText("doPost called with page: ", page.c_str());
  runForm(form, context);
}

}  // namespace kestrel
