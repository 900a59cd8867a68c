// Times Coin3D's SoDB::readAll on a scene file held in memory, for the
// side-by-side comparison of compare_coin.sh. Built only by that script.
// "coin_read --once FILE" instead reads FILE once from disk and exits, as
// a command-line check would (the whole process is timed from outside).
#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/nodes/SoSeparator.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

// Reads PATH from disk and exits; the scene is not freed.
int readOnce(const char* path) {
  SoDB::init();
  SoInput input;
  if (!input.openFile(path)) return 1;
  SoSeparator* root = SoDB::readAll(&input);
  if (root == nullptr) {
    std::fprintf(stderr, "Coin could not read %s\n", path);
    return 1;
  }
  std::printf("%s: ok\n", path);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--once") return readOnce(argv[2]);
  if (argc != 3) {
    std::fprintf(stderr, "usage: coin_read FILE RUNS | coin_read --once FILE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const int runs = std::stoi(argv[2]);
  SoDB::init();
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    SoInput input;
    input.setBuffer(text.data(), text.size());
    SoSeparator* root = SoDB::readAll(&input);
    if (root == nullptr) {
      std::fprintf(stderr, "Coin could not read %s\n", argv[1]);
      return 1;
    }
    root->ref();
    root->unref();
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (s < best) best = s;
  }
  std::printf("%.1f\n", static_cast<double>(text.size()) / best / 1e6);
  return 0;
}
