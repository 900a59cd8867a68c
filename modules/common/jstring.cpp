#include "modules/common/jstring.h"

namespace kestrel {

JBlock::JBlock(const void* bytes, std::size_t size) { assign(bytes, size); }

void JBlock::assign(const void* bytes, std::size_t size) {
  if (size == 0) {
    bytes_.clear();
    return;
  }
  bytes_.assign(static_cast<const char*>(bytes), size);
}

}  // namespace kestrel
