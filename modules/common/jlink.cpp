#include "modules/common/jlink.h"

#include "modules/common/jmodule.h"

namespace kestrel {

void JLinkObj::access(JData& data) { from_->access(fromPort_, *this, data); }

int JLinkObj::type() const { return from_->outputType(fromPort_); }

}  // namespace kestrel
