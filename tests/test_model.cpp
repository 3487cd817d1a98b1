// Construction of the thermal model: grid counts, radii, cooling blocks,
// the start field and the element model.
#include "test_support.h"
#include "tepora.h"

namespace {

Tepora Strand(double dr0, double dz0, double dphi, double R, double L) {
  RunDir::Write("Input/Interp.csv", SteelTable());
  return Tepora(dr0, dz0, dphi, R, L, 1000, 1550, "Input/Interp.csv", 0.01, 30, 0.5, 500);
}

TEST(Model, GridCountsCoverRadiusCircleAndLength) {
  RunDir dir;
  Tepora m = Strand(0.01, 0.1, 0.1 * M_PI, 0.1, 20);
  EXPECT_EQ(m.ndr, 10);
  EXPECT_EQ(m.ndphi, 20);
  EXPECT_EQ(m.ndz, 200);
  EXPECT_EQ(m.getR(0), 0.01);
  EXPECT_EQ(m.getR(-3), 0.01);
  EXPECT_NEAR(m.getR(9), 0.1, 1e-15);
  EXPECT_TRUE(arma::all(arma::vectorise(m.T) == 1550.0));

  Tepora odd = Strand(0.01, 0.1, 0.3, 0.105, 20);
  EXPECT_EQ(odd.ndr, 11);
  EXPECT_EQ(odd.ndphi, 21);
}

TEST(Model, StartsFromASavedFieldOnlyOfTheGridsOwnSize) {
  RunDir dir;
  cube saved(10, 20, 200, fill::value(1200.0));
  saved.save("TeporaOut/T_0.cub", arma_ascii);
  EXPECT_TRUE(arma::all(arma::vectorise(Strand(0.01, 0.1, 0.1 * M_PI, 0.1, 20).T) == 1200.0));
  cube shorter(10, 20, 199, fill::value(1200.0));
  shorter.save("TeporaOut/T_0.cub", arma_ascii);
  EXPECT_TRUE(arma::all(arma::vectorise(Strand(0.01, 0.1, 0.1 * M_PI, 0.1, 20).T) == 1550.0));
  // A header line ending in CR LF, or with a trailing blank, still names a field.
  std::string text;
  saved.save(text = "TeporaOut/T_0.cub", arma_ascii);
  text = ReadFile("TeporaOut/T_0.cub");
  for (const char* end : {"\r\n", " \n"}) {
    RunDir::Write("TeporaOut/T_0.cub", "ARMA_CUB_TXT_FN008" + std::string(end) +
                                           text.substr(text.find('\n') + 1));
    EXPECT_TRUE(arma::all(arma::vectorise(Strand(0.01, 0.1, 0.1 * M_PI, 0.1, 20).T) == 1200.0));
  }
}

// The element's grid follows its field; its first n_z + 1 slices carry the
// upstream coefficient.
TEST(Model, ElementModelTakesItsGridFromTheField) {
  RunDir dir;
  const Tepora strand = Strand(0.01, 0.1, 0.1 * M_PI, 0.1, 20);
  Tepora e(0.01, 0.1, 0.0, cube(10, 20, 35, fill::value(1400.0)), strand.ConstM, 0.01, 30, 0.5, 700,
           -2, 400, 4);
  EXPECT_EQ(e.dphi, 2 * M_PI / 20);
  EXPECT_DOUBLE_EQ(e.L, 3.5);
  EXPECT_EQ(e.TertiaryLength, 0.0);
  EXPECT_EQ(e.CoolM(7, 4), 400.0);
  EXPECT_EQ(e.CoolM(7, 5), 700.0);
}

}  // namespace
