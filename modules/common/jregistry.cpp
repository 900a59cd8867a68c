#include "modules/common/jregistry.h"

#include <algorithm>

namespace kestrel {
namespace {

bool nameLess(const std::unique_ptr<JAddObj>& p, std::string_view name) {
  return p->className().view() < name;
}

}  // namespace

JModuleRegistry& JModuleRegistry::global() {
  static JModuleRegistry* registry = new JModuleRegistry();  // never destroyed: plug-ins may outlive exit handlers
  return *registry;
}

bool JModuleRegistry::add(std::unique_ptr<JAddObj> prototype) {
  JString name = prototype->className();
  if (name.empty()) return false;
  MutexLock lock(mutex_);
  auto at = std::lower_bound(prototypes_.begin(), prototypes_.end(), name.view(), nameLess);
  if (at != prototypes_.end() && (*at)->className() == name) return false;
  prototypes_.insert(at, std::move(prototype));
  return true;
}

bool JModuleRegistry::contains(std::string_view className) const {
  MutexLock lock(mutex_);
  auto at = std::lower_bound(prototypes_.begin(), prototypes_.end(), className, nameLess);
  return at != prototypes_.end() && (*at)->className().view() == className;
}

std::unique_ptr<JAddObj> JModuleRegistry::create(std::string_view className) const {
  MutexLock lock(mutex_);
  auto at = std::lower_bound(prototypes_.begin(), prototypes_.end(), className, nameLess);
  if (at == prototypes_.end() || (*at)->className().view() != className) return nullptr;
  JObject* copy = (*at)->clone();
  auto* module = dynamic_cast<JAddObj*>(copy);
  if (!module) delete copy;
  return std::unique_ptr<JAddObj>(module);
}

std::vector<std::string> JModuleRegistry::classNames() const {
  MutexLock lock(mutex_);
  std::vector<std::string> names;
  for (const auto& p : prototypes_) names.push_back(p->className().str());
  return names;
}

void JModuleRegistry::remove(std::string_view className) {
  MutexLock lock(mutex_);
  auto at = std::lower_bound(prototypes_.begin(), prototypes_.end(), className, nameLess);
  if (at != prototypes_.end() && (*at)->className().view() == className) prototypes_.erase(at);
}

}  // namespace kestrel
