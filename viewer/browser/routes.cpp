#include "viewer/browser/routes.h"

namespace kestrel {

void addRoute(Node& from, int fromField, const NodePtr& to, int toField) {
  for (const Route& r : from.extras().routes) {
    if (r.fromField == fromField && r.toField == toField && r.to.lock() == to) return;
  }
  from.editExtras().routes.push_back({fromField, to, toField});
}

}  // namespace kestrel
