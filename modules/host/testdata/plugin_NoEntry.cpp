// A library that exports no module entry.
extern "C" __attribute__((visibility("default"))) int notAModuleLibrary() { return 1; }
