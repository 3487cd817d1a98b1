// Construction of the thermal model: grid counts, radii, cooling blocks,
// the start field and the element model.
#include "apps/caster_file.h"
#include "test_support.h"
#include "model/tepora.h"

using namespace tepora;

namespace {

Tepora Strand(double dr0, double dz0, double dphi, double R, double L) {
  RunDir::Write("Input/Interp.csv", SteelTable());
  return Tepora(dr0, dz0, dphi, R, L, 1000, 1550, "Input/Interp.csv", 0.01, 30, 0.5, 500);
}

// The element model's grid follows its field instead; its first n_z + 1
// slices carry the upstream coefficient.
TEST(Model, GridCountsCoverRadiusCircleAndLengthAndElementsFollowTheirField) {
  RunDir dir;
  Tepora m = Strand(0.01, 0.1, 0.1 * M_PI, 0.1, 20);
  EXPECT_EQ(m.grid.ndr, 10);
  EXPECT_EQ(m.grid.ndphi, 20);
  EXPECT_EQ(m.grid.ndz, 200);
  EXPECT_EQ(m.grid.getR(0), 0.01);
  EXPECT_NEAR(m.grid.getR(9), 0.1, 1e-15);

  Tepora odd = Strand(0.01, 0.1, 0.3, 0.105, 20);
  EXPECT_EQ(odd.grid.ndr, 11);
  EXPECT_EQ(odd.grid.ndphi, 21);

  Tepora e(0.01, 0.1, 0.0, cube(10, 20, 35, fill::value(1400.0)), m.material.ConstM, 0.01, 30, 0.5,
           700, -2, 400, 4);
  EXPECT_EQ(e.grid.dphi, 2 * M_PI / 20);
  EXPECT_DOUBLE_EQ(e.grid.L, 3.5);
  EXPECT_EQ(e.cooling.TertiaryLength, 0.0);
  EXPECT_EQ(e.cooling.CoolM(7, 4), 400.0);
  EXPECT_EQ(e.cooling.CoolM(7, 5), 700.0);
}

TEST(Model, StartsFromASavedFieldOnlyOfTheGridsOwnSize) {
  RunDir dir;
  const auto start = [] {  // the one starting temperature of a 10 x 20 x 200 grid
    const cube T = Strand(0.01, 0.1, 0.1 * M_PI, 0.1, 20).field.T;
    return T.min() == T.max() ? T.min() : datum::nan;
  };
  EXPECT_EQ(start(), 1550);  // without a saved field, the casting temperature
  const std::string saved = ArmaAsciiText(cube(10, 20, 200, fill::value(1200.0)));
  RunDir::Write("TeporaOut/T_0.cub", saved);
  EXPECT_EQ(start(), 1200);
  RunDir::Write("TeporaOut/T_0.cub", ArmaAsciiText(cube(10, 20, 199, fill::value(1200.0))));
  EXPECT_EQ(start(), 1550);
  // A header line ending in CR LF, or with a trailing blank, still names a field.
  for (const char* end : {"\r\n", " \n"}) {
    RunDir::Write("TeporaOut/T_0.cub",
                  "ARMA_CUB_TXT_FN008" + std::string(end) + saved.substr(saved.find('\n') + 1));
    EXPECT_EQ(start(), 1200);
  }
}

// A case file of the built-in zones changes nothing; sprays take the slices
// whose centres they hold, so one between two centres takes none.
TEST(Model, CaseFileZonesLandOnTheirSlices) {
  RunDir dir;
  RunDir::Write("Input/Caster.toml",
                "[mould]\nlength_m = 1.0\nhtc_W_m2K = 2000\ncoolant_degC = 80\n"
                "[air]\nfrom_m = 3.0\n[steel]\nsolidus_degC = 1450\nliquidus_degC = 1500\n");
  for (Formulation f : {Formulation::Flat, Formulation::Cylindrical}) {
    Tepora plain = Strand(0.02, 0.1, 0.5 * M_PI, 0.1, 8.0), zoned = plain;
    plain.model = zoned.model = f;
    bool present = false;
    zoned.cooling.SetZones(LoadCaster("Input/Caster.toml", zoned.grid.L, present), zoned.grid);
    EXPECT_TRUE(present);
    plain.Compute(30, 'y');
    zoned.Compute(30, 'y');
    EXPECT_TRUE(arma::approx_equal(plain.field.T, zoned.field.T, "absdiff", 0.0));
  }
  Tepora m = Strand(0.02, 0.1, 0.5 * M_PI, 0.1, 8.0);
  CasterZones zones;
  zones.sprays = {{1.2, 2.0, 900}, {2.01, 2.04, 700}, {2.04, 2.06, 600}, {2.06, 2.4, 400}};
  EXPECT_EQ(m.cooling.SetZones(zones, m.grid), (std::vector<int>{8, 0, 1, 3}));
  EXPECT_EQ(m.cooling.CoolM(2, 11), 500);  // centre 1.15 m
  EXPECT_EQ(m.cooling.CoolM(2, 12), 900);  // centre 1.25 m
  EXPECT_EQ(m.cooling.CoolM(3, 20), 600);  // centre 2.05 m
  EXPECT_EQ(m.cooling.CoolM(0, 23), 400);
  EXPECT_EQ(m.cooling.CoolM(0, 24), 500);
}

}  // namespace
