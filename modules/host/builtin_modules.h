// The host's own module classes: JByteSource, JClock, JConstant, JFormat,
// JLineSender, JPrinter and JCounter.
#pragma once

namespace kestrel {

// Registers each built-in class with the global registry unless a class of
// that name is there already. Safe to call more than once.
void registerBuiltinModules();

}  // namespace kestrel
