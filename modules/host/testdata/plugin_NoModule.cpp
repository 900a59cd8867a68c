// A library whose entry registers nothing.
extern "C" __attribute__((visibility("default"))) const char* kestrelModuleEntry() { return ""; }
