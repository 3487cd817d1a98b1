// Result files: the library's text formats byte for byte.
#include <random>

#include "test_support.h"

namespace {

std::string LibraryText(const mat& m) {
  std::ostringstream os;
  m.save(os, raw_ascii);
  return os.str();
}

std::string LibraryText(const cube& c) {
  std::ostringstream os;
  c.save(os, arma_ascii);
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
  EXPECT_EQ(ArmaAsciiText(c), LibraryText(c));
  EXPECT_EQ(RawAsciiText(mat(c.slice(1))), LibraryText(mat(c.slice(1))));
  EXPECT_EQ(ArmaAsciiText(cube()), LibraryText(cube()));
}

}  // namespace
