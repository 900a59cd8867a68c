#include "modules/host/loom_app.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "modules/common/jcomponent.h"
#include "modules/common/jregistry.h"
#include "modules/host/builtin_modules.h"
#include "modules/host/document.h"
#include "modules/host/driven.h"
#include "modules/host/runner.h"

namespace kestrel {
namespace {

// The plug-ins beside the program: lib/kestrel/plugins of an installed tree
// (bin/loom), else the build tree's modules/plugins (modules/host/loom), else
// the working directory. Found from /proc/self/exe, so a moved tree works.
std::string defaultPluginDir() {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return ".";
  const fs::path up = program.parent_path().parent_path();
  for (const fs::path& dir : {up / "lib/kestrel/plugins", up / "plugins"}) {
    if (fs::is_directory(dir, error)) return dir.string();
  }
  return ".";
}

struct Options {
  std::string document;
  std::string pluginDir;
  std::string save;
  bool check = false;
  bool list = false;
};

void usage(std::FILE* to) {
  std::fprintf(to,
               "usage: loom [--plugin-dir DIR] [--save FILE] [--check] DOCUMENT\n"
               "       loom [--plugin-dir DIR] --list\n"
               "       loom --help | --version\n"
               "The plug-in directory defaults to $LOOM_PLUGIN_DIR, else %s\n",
               defaultPluginDir().c_str());
}

// What the command line asks for; --help and --version end the reading.
enum class Request { kRun, kHelp, kVersion, kBadUsage };

Request parseArguments(int argc, char** argv, Options& o) {
  const char* env = std::getenv("LOOM_PLUGIN_DIR");
  o.pluginDir = env && *env ? env : defaultPluginDir();
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if ((a == "--plugin-dir" || a == "--save") && i + 1 < argc) {
      (a == "--save" ? o.save : o.pluginDir) = argv[++i];
    } else if (a == "--check") {
      o.check = true;
    } else if (a == "--list") {
      o.list = true;
    } else if (a == "--help" || a == "-h") {
      return Request::kHelp;
    } else if (a == "--version") {
      return Request::kVersion;
    } else if ((!a.empty() && a[0] == '-') || !o.document.empty()) {
      return Request::kBadUsage;
    } else {
      o.document = a;
    }
  }
  return o.list != !o.document.empty() ? Request::kRun : Request::kBadUsage;
}

void describeClass(JAddObj& prototype) {
  std::printf("%s\n", prototype.className().c_str());
  for (int p = 0; p < prototype.inputCount(); ++p) {
    std::printf("  input %d '%s' %s\n", p, prototype.inputTag(p).c_str(),
                typeName(prototype.inputType(p)));
  }
  for (int p = 0; p < prototype.outputCount(); ++p) {
    std::printf("  output %d '%s' %s\n", p, prototype.outputTag(p).c_str(),
                typeName(prototype.outputType(p)));
  }
  JArray properties = prototype.getProperties();
  for (int i = 0; i < properties.size(); ++i) {
    const JProperty& p = properties[i];
    std::printf("  property '%s'", p.getName().c_str());
    if (auto* s = p.asString()) std::printf(" string \"%s\"\n", s->getText().c_str());
    if (auto* f = p.asFile()) std::printf(" file \"%s\"\n", f->getPath().c_str());
    if (auto* n = p.asInteger()) {
      std::printf(" integer %d (%d to %d)\n", n->getValue(), n->getLow(), n->getHigh());
    }
    if (auto* r = p.asReal()) std::printf(" real %g\n", r->getValue());
  }
  JRecordingGraphics face;
  prototype.paint(face, 1.0, 1.0);
  for (const auto& text : face.texts()) std::printf("  face \"%s\"\n", text.c_str());
}

int listClasses(const Options& o) {
  PluginSet plugins;
  for (const auto& [path, result] : plugins.loadDirectory(o.pluginDir)) {
    if (!result.ok) std::fprintf(stderr, "loom: plug-in '%s' not loaded: %s\n", path.c_str(),
                                 result.message.c_str());
  }
  JComponent palette;
  for (const auto& name : JModuleRegistry::global().classNames()) {
    if (auto probe = JModuleRegistry::global().create(name)) probe->addButton(palette);
  }
  for (const auto& name : palette.buttons()) {
    if (auto module = JModuleRegistry::global().create(name)) describeClass(*module);
  }
  return 0;
}

std::string startupProblems(ModuleGraph& graph) {
  std::string problems;
  for (const auto& n : graph.nodes()) {
    if (auto* d = dynamic_cast<Driven*>(n.module.get()); d && !d->problem().empty()) {
      problems += "\nloom: module '" + n.name + "': " + d->problem();
    }
  }
  return problems;
}

int runDocument(const Options& o) {
  std::string error;
  LoadOptions load;
  load.pluginDir = o.pluginDir;
  auto doc = loadDocumentFile(o.document, load, &error);
  if (!doc) {
    std::fprintf(stderr, "loom: %s\n", error.c_str());
    return 1;
  }
  for (const auto& w : doc->warnings) std::fprintf(stderr, "loom: warning: %s\n", w.c_str());
  if (o.check) {
    std::printf("loom: %s is sound: %zu modules, %zu links\n", o.document.c_str(),
                doc->graph.nodes().size(), doc->graph.links().size());
    return 0;
  }
  Runner runner;
  runner.handleSignals();
  doc->graph.startupAll();
  if (std::string problems = startupProblems(doc->graph); !problems.empty()) {
    std::fprintf(stderr, "%s\n", problems.c_str() + 1);
    doc->graph.closeAll();
    return 1;
  }
  runner.run(doc->graph);
  int status = 0;
  if (!o.save.empty() && !saveDocumentFile(*doc, o.save, &error)) {
    std::fprintf(stderr, "loom: %s\n", error.c_str());
    status = 1;
  }
  doc->graph.closeAll();
  return status;
}

}  // namespace

int loomMain(int argc, char** argv) {
  Options o;
  switch (parseArguments(argc, argv, o)) {
    case Request::kHelp:
      usage(stdout);
      return 0;
    case Request::kVersion:
      std::printf("loom %s\n", KESTREL_VERSION);
      return 0;
    case Request::kBadUsage:
      usage(stderr);
      return 2;
    case Request::kRun:
      break;
  }
  registerBuiltinModules();
  return o.list ? listClasses(o) : runDocument(o);
}

}  // namespace kestrel
