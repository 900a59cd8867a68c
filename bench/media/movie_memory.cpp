// Plays a movie file as MovieTexture does and prints what it cost: the
// time to open it (its length is measured then), the time to decode the
// frames of its first seconds, and the process's peak resident memory.
//
//   bench_media_movie_memory FILE [SECONDS]
//
// A large file (ffmpeg -f lavfi -i testsrc2=size=640x480:rate=25 -t 300
// -c:v mpeg4 -q:v 1 big.avi makes 180 MB) shows what the file costs in
// memory beside the decoder's own buffers.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "viewer/media/movie_decoder.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [SECONDS]\n", argv[0]);
    return 2;
  }
  const double playFor = argc > 2 ? std::atof(argv[2]) : 20;
  auto start = std::chrono::steady_clock::now();
  std::string why;
  auto movie = kestrel::MovieDecoder::open(argv[1], why);
  if (!movie) {
    std::fprintf(stderr, "%s: %s\n", argv[1], why.c_str());
    return 1;
  }
  std::printf("open %.3f s, length %.2f s, peak RSS %ld KiB\n", secondsSince(start),
              movie->duration(), peakResidentKiB());
  start = std::chrono::steady_clock::now();
  uint64_t frames = 0, serial = 0;
  for (double t = 0; t < playFor; t += 1.0 / 25) {
    const kestrel::MovieFrame& f = movie->frameAt(t);
    frames += f.serial != serial;
    serial = f.serial;
  }
  movie->frameAt(movie->duration() - 1);  // a jump near the end, then a loop
  movie->frameAt(0);
  std::printf("played %.0f s (%llu frames) in %.3f s, peak RSS %ld KiB\n", playFor,
              static_cast<unsigned long long>(frames), secondsSince(start), peakResidentKiB());
  return 0;
}
