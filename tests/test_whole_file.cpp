// Result files: the library's text formats byte for byte, written through
// temporaries that never touch a file they did not create.
#include <fcntl.h>
#include <sys/stat.h>

#include <random>

#include "test_support.h"

using namespace tepora;

namespace {

template <class T>
std::string LibraryText(const T& x, file_type type) {
  std::ostringstream os;
  x.save(os, type);
  return os.str();
}

TEST(WholeFile, WritesTheLibrarysTextFormatsExactly) {
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> u(-1, 1);
  const double odd[] = {0.0, -0.0, datum::inf, -datum::inf, datum::nan, 5e-324, 1.7e308,
                        1550.4, 1e-5, 123456789.0};
  cube c(3, 4, 5);
  for (uword i = 0; i < c.n_elem; ++i)
    c(i) = i < 10 ? odd[i] : u(rng) * std::pow(10.0, int(rng() % 40) - 20);
  EXPECT_EQ(ArmaAsciiText(c), LibraryText(c, arma_ascii));
  EXPECT_EQ(RawAsciiText(mat(c.slice(1))), LibraryText(mat(c.slice(1)), raw_ascii));
  EXPECT_EQ(ArmaAsciiText(cube()), LibraryText(cube(), arma_ascii));
}

// A temporary is always a new file: a link planted at its name is neither
// written through nor removed, whether the write succeeds or fails.
TEST(WholeFile, NeverWritesThroughOrRemovesAFileItDidNotCreate) {
  RunDir dir;
  RunDir::Write("outside.txt", "untouched\n");
  for (bool fails : {false, true}) {
    SCOPED_TRACE(fails ? "failing write" : "write");
    ClearResults();
    if (fails) std::filesystem::create_directory("TeporaOut/r.mat");  // cannot be replaced
    const std::string planted = TemporaryName("TeporaOut/r.mat", 0);
    std::filesystem::create_symlink(dir.path() / "outside.txt", planted);
    EXPECT_EQ(SaveWhole(mat(2, 2, fill::ones), "TeporaOut/r.mat"), !fails);
    EXPECT_EQ(ReadFile("outside.txt"), "untouched\n");
    EXPECT_TRUE(std::filesystem::is_symlink(planted));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("TeporaOut"), {}), 2);
  }
}

// Only old regular files of the pattern whose writer is gone are removed: a
// young one may belong to a writer in another PID namespace.
TEST(WholeFile, ClearsOnlyOldTemporariesOfWritersThatAreGone) {
  RunDir dir;
  RunDir::Write("outside.txt", "untouched\n");
  const std::string gone = "r.mat.tmp999999999_";
  const std::string alive = "r.mat.tmp" + std::to_string(getpid()) + "_";
  enum Kind { kFile, kLink, kDirectory };
  struct Case {
    std::string name;
    Kind kind;
    bool old, removed;
  };
  const Case cases[] = {{gone + "1", kFile, true, true},   {gone + "2", kFile, false, false},
                        {gone + "3", kLink, true, false},  {gone + "4", kDirectory, true, false},
                        {alive + "5", kFile, true, false}, {gone + "x", kFile, true, false},
                        {"q.mat.tmp_7", kFile, true, false}};
  const timespec aged[2] = {{time(nullptr) - 11 * 60, 0}, {time(nullptr) - 11 * 60, 0}};
  for (const Case& c : cases) {
    const std::string path = "TeporaOut/" + c.name;
    if (c.kind == kFile) RunDir::Write(path, "1\n");
    if (c.kind == kLink) std::filesystem::create_symlink(dir.path() / "outside.txt", path);
    if (c.kind == kDirectory) std::filesystem::create_directory(path);
    if (c.old) utimensat(AT_FDCWD, path.c_str(), aged, AT_SYMLINK_NOFOLLOW);
  }
  RemoveStaleTemporaries("TeporaOut");
  for (const Case& c : cases)
    EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status("TeporaOut/" + c.name)),
              !c.removed) << c.name;
  EXPECT_EQ(ReadFile("outside.txt"), "untouched\n");
}

}  // namespace
