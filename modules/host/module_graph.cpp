#include "modules/host/module_graph.h"

#include <cstdio>

namespace kestrel {

ModuleGraph::~ModuleGraph() {
  for (auto& link : links_) {
    link->from()->detach(link.get());
    link->to()->detach(link.get());
  }
  links_.clear();
  while (!nodes_.empty()) nodes_.pop_back();  // newest first
}

std::string ModuleGraph::add(const std::string& name, std::unique_ptr<JAddObj> module) {
  if (name.empty()) return "a module needs a name";
  if (!module) return "module '" + name + "' could not be created";
  if (find(name)) return "two modules are named '" + name + "'";
  module->setHost(this);
  nodes_.push_back(Node{name, std::move(module), 0});
  return "";
}

const ModuleGraph::Node* ModuleGraph::node(const std::string& name) const {
  for (const auto& n : nodes_) {
    if (n.name == name) return &n;
  }
  return nullptr;
}

JAddObj* ModuleGraph::find(const std::string& name) const {
  const Node* n = node(name);
  return n ? n->module.get() : nullptr;
}

const std::string& ModuleGraph::nameOf(const JModuleObj* module) const {
  static const std::string unknown = "?";
  for (const auto& n : nodes_) {
    if (n.module.get() == module) return n.name;
  }
  return unknown;
}

std::string describePort(const ModuleGraph& graph, const JModuleObj& module, bool output,
                         int port) {
  std::string text = output ? "output " : "input ";
  const bool exists = port >= 0 && port < (output ? module.outputCount() : module.inputCount());
  if (exists) {
    text += "'" + (output ? module.outputTag(port) : module.inputTag(port)).str() + "' ";
  }
  return text + "(" + std::to_string(port) + ") of '" + graph.nameOf(&module) + "'";
}

std::string ModuleGraph::link(const std::string& from, int output, const std::string& to,
                              int input) {
  JAddObj* source = find(from);
  JAddObj* target = find(to);
  if (!source) return "a link comes from '" + from + "', which is no module";
  if (!target) return "a link goes to '" + to + "', which is no module";
  if (output < 0 || output >= source->outputCount()) {
    return "'" + from + "' has no output " + std::to_string(output) + " (it has " +
           std::to_string(source->outputCount()) + ")";
  }
  if (input < 0 || input >= target->inputCount()) {
    return "'" + to + "' has no input " + std::to_string(input) + " (it has " +
           std::to_string(target->inputCount()) + ")";
  }
  const std::string out = describePort(*this, *source, true, output);
  const std::string in = describePort(*this, *target, false, input);
  if (!source->outputAllowed(output)) return out + " takes no link";
  if (!target->inputAllowed(input)) {
    return in + (target->inputSet(input).empty() ? " takes no link" : " takes only one link");
  }
  const int given = source->outputType(output);
  const int wanted = target->inputType(input);
  if (wanted != kAnyTypeId && given != wanted) {
    return "wrong value types: " + out + " gives " + typeName(given) + ", " + in + " takes " +
           typeName(wanted);
  }
  auto made = std::make_unique<JLinkObj>(source, output, target, input);
  source->attachOutput(output, made.get());
  target->attachInput(input, made.get());
  links_.push_back(std::move(made));
  return "";
}

void ModuleGraph::startupAll() {
  for (auto& n : nodes_) n.module->startup();
}

void ModuleGraph::closeAll() {
  for (auto& n : nodes_) n.module->close();
}

void ModuleGraph::broadcast(JModuleObj& source, int port) {
  ++broadcasts_;
  if (depth_ >= kMaxDepth) {
    if (!loopReported_) {
      std::fprintf(stderr, "loom: links loop back to %s; deliveries deeper than %d are dropped\n",
                   describePort(*this, source, true, port).c_str(), kMaxDepth);
      loopReported_ = true;
    }
    return;
  }
  ++depth_;
  const auto& targets = source.outputSet(port);
  for (std::size_t i = 0; i < targets.size(); ++i) {
    JLinkObj* link = targets[i];
    link->to()->engine(link->toPort(), *link);
  }
  --depth_;
}

void ModuleGraph::repaint(JModuleObj& module) {
  for (auto& n : nodes_) {
    if (n.module.get() == &module) ++n.repaints;
  }
}

}  // namespace kestrel
