#include "modules/host/loom_app.h"

int main(int argc, char** argv) { return kestrel::loomMain(argc, argv); }
