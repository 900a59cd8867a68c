// ModuleGraph: the modules of one document, their links, and the host side
// of the contract (broadcast delivery and repaint requests).
//
// A broadcast is delivered at once, on the caller's stack: every input linked
// to the output gets engine(port, link), and the module there pulls the value
// with link.access(). Delivery nested deeper than kMaxDepth (a loop of links)
// is cut off and reported once, so a loop cannot overflow the stack.
//
// Ownership: the graph owns its modules and links. Links are detached and
// destroyed before the modules. Host's thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "modules/common/jmodule.h"

namespace kestrel {

class ModuleGraph : public JHost {
 public:
  static constexpr int kMaxDepth = 64;

  struct Node {
    std::string name;
    std::unique_ptr<JAddObj> module;
    int repaints = 0;
  };

  ModuleGraph() = default;
  ModuleGraph(const ModuleGraph&) = delete;
  ModuleGraph& operator=(const ModuleGraph&) = delete;
  ~ModuleGraph() override;

  // Adds a module under a name of its own; the graph becomes its host.
  // Returns an error text, empty on success.
  std::string add(const std::string& name, std::unique_ptr<JAddObj> module);
  JAddObj* find(const std::string& name) const;
  const Node* node(const std::string& name) const;
  // Links output `output` of `from` to input `input` of `to`, after checking
  // that both ports exist, both ends allow the link and the types agree.
  // Returns an error text naming the problem, empty on success.
  std::string link(const std::string& from, int output, const std::string& to, int input);

  void startupAll();
  void closeAll();

  void broadcast(JModuleObj& source, int port) override;
  void repaint(JModuleObj& module) override;

  const std::vector<Node>& nodes() const { return nodes_; }
  const std::vector<std::unique_ptr<JLinkObj>>& links() const { return links_; }
  const std::string& nameOf(const JModuleObj* module) const;
  long long broadcasts() const { return broadcasts_; }

 private:
  std::vector<Node> nodes_;
  std::vector<std::unique_ptr<JLinkObj>> links_;
  int depth_ = 0;
  bool loopReported_ = false;
  long long broadcasts_ = 0;
};

// "output 'laT' (0) of 'gps'" and the like, for messages.
std::string describePort(const ModuleGraph& graph, const JModuleObj& module, bool output,
                         int port);

}  // namespace kestrel
