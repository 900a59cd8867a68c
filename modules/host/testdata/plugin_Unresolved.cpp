// A library that needs a symbol nothing defines, so loading it with
// RTLD_NOW fails.
extern "C" int symbolThatDoesNotExist();
extern "C" __attribute__((visibility("default"))) const char* kestrelModuleEntry() {
  return symbolThatDoesNotExist() ? "x" : "";
}
