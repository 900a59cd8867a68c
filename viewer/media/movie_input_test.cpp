// MovieInput as FFmpeg drives it: reads at the position, the seeks and the
// size, in memory and from a file that is cut short while it is read.
#include "viewer/media/movie_input.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
}

#include "testing/test_support.h"

namespace kestrel {
namespace {

std::string readSome(MovieInput& in, int n) {
  std::string out(size_t(n), '\0');
  int got = in.read(reinterpret_cast<uint8_t*>(out.data()), n);
  out.resize(got > 0 ? size_t(got) : 0);
  return out;
}

// The same walk over "0123456789" for either kind of input.
void expectTenDigits(MovieInput& in) {
  EXPECT_EQ(in.size(), 10);
  EXPECT_EQ(in.seek(0, AVSEEK_SIZE), 10);
  EXPECT_EQ(readSome(in, 4), "0123");
  EXPECT_EQ(in.seek(2, SEEK_CUR), 6);
  EXPECT_EQ(readSome(in, 100), "6789");
  uint8_t byte = 0;
  EXPECT_EQ(in.read(&byte, 1), AVERROR_EOF);
  EXPECT_EQ(in.seek(-3, SEEK_END), 7);
  EXPECT_EQ(readSome(in, 2), "78");
  EXPECT_EQ(in.seek(1, SEEK_SET | AVSEEK_FORCE), 1);
  EXPECT_EQ(readSome(in, 1), "1");
  // Outside the input: refused, the position stays.
  EXPECT_EQ(in.seek(11, SEEK_SET), -1);
  EXPECT_EQ(in.seek(-1, SEEK_SET), -1);
  EXPECT_EQ(in.seek(INT64_MAX, SEEK_CUR), -1);
  EXPECT_EQ(in.seek(0, 42), -1);
  EXPECT_EQ(readSome(in, 1), "2");
  EXPECT_EQ(in.seek(10, SEEK_SET), 10);  // the end itself is a position
  EXPECT_EQ(in.read(&byte, 1), AVERROR_EOF);
}

TEST(MovieInput, ReadsAndSeeksInMemoryAndInAFile) {
  auto memory = movieInputFromBytes("0123456789");
  expectTenDigits(*memory);

  testing::TempDir dir;
  std::string why;
  auto file = openMovieInput(dir.write("digits", "0123456789"), why);
  ASSERT_TRUE(file) << why;
  expectTenDigits(*file);
}

TEST(MovieInput, AFileCutShortEndsWhereItNowEnds) {
  testing::TempDir dir;
  const std::string path = dir.write("digits", "0123456789");
  std::string why;
  auto file = openMovieInput(path, why);
  ASSERT_TRUE(file) << why;
  EXPECT_EQ(readSome(*file, 3), "012");
  ASSERT_EQ(::truncate(path.c_str(), 5), 0);
  EXPECT_EQ(file->size(), 5);
  EXPECT_EQ(readSome(*file, 100), "34");
  uint8_t byte = 0;
  EXPECT_EQ(file->read(&byte, 1), AVERROR_EOF);
  EXPECT_EQ(file->seek(8, SEEK_SET), -1);
  // Replaced under its name: the open file is still the one read.
  dir.write("other", "abcdefghij");
  ASSERT_EQ(std::rename(dir.file("other").c_str(), path.c_str()), 0);
  EXPECT_EQ(file->seek(0, SEEK_SET), 0);
  EXPECT_EQ(readSome(*file, 100), "01234");
}

TEST(MovieInput, RefusesWhatIsNoRegularFileWithOneLine) {
  testing::TempDir dir;
  ::mkfifo(dir.file("fifo").c_str(), 0600);
  std::string why;
  EXPECT_FALSE(openMovieInput(dir.file("fifo"), why));
  EXPECT_EQ(why, "not a regular file");
  EXPECT_FALSE(openMovieInput(dir.path(), why));
  EXPECT_EQ(why, "not a regular file");
  EXPECT_FALSE(openMovieInput(dir.file("missing"), why));
  EXPECT_EQ(why, "cannot be read");
}

TEST(MovieInput, ReadsStopWhereTheLimitSaysUntilTheNextLimit) {
  auto in = movieInputFromBytes("0123456789");
  in->limitReads(3);
  EXPECT_EQ(readSome(*in, 100), "012");
  uint8_t byte = 0;
  EXPECT_EQ(in->read(&byte, 1), AVERROR_EOF);
  EXPECT_EQ(in->seek(6, SEEK_SET), 6);  // seeking reads nothing
  EXPECT_EQ(in->read(&byte, 1), AVERROR_EOF);
  in->limitReads(2);
  EXPECT_EQ(readSome(*in, 1), "6");
  EXPECT_EQ(readSome(*in, 100), "7");
  EXPECT_EQ(in->read(&byte, 1), AVERROR_EOF);
}

}  // namespace
}  // namespace kestrel
