// Material table: refinement onto whole degrees and the lookups both ways.
#include <random>

#include "literal_model.h"
#include "model/material.h"
#include "test_support.h"

using namespace tepora;

namespace {

Tepora StrandWithTable(const std::string& table, double casting = 40) {
  RunDir::Write("Input/Interp.csv", table);
  return Tepora(0.02, 0.1, 0.5 * M_PI, 0.1, 1.0, 1000, casting, "Input/Interp.csv", 0.01, 20, 0.5,
                500);
}

TEST(MaterialTable, RefinesOntoWholeDegreesAndFillsGapsOnStraightLines) {
  RunDir dir;
  Tepora m = StrandWithTable("25,100,50\n30,150,40\n40.0,350,20\n");
  ASSERT_EQ(m.material.ConstM.n_rows, 40u);
  EXPECT_EQ(m.material.ConstM(24, 1), 100000.0);  // kJ/m^3 to J/m^3
  for (int T = 26; T <= 29; ++T) {
    EXPECT_EQ(m.material.ConstM(T - 1, 0), T);
    EXPECT_NEAR(m.material.ConstM(T - 1, 1), 100000 + (T - 25) * 10000.0, 1e-6);
    EXPECT_NEAR(m.material.ConstM(T - 1, 2), 50 - (T - 25) * 2.0, 1e-12);
  }
  EXPECT_NEAR(m.material.ConstM(34, 1), 250000.0, 1e-6);  // 35 degC, between 30 and 40
  EXPECT_EQ(m.material.ConstM(0, 0), 0.0);                // rows below 25 degC stay empty
  mat saved;
  saved.load("TeporaOut/ConstM.mat", auto_detect);
  EXPECT_TRUE(arma::approx_equal(saved, m.material.ConstM, "absdiff", 0.0));

  Tepora frac = StrandWithTable("25,100,50\n1550.4,900,30\n");
  EXPECT_EQ(frac.material.ConstM.n_rows, 1550u);
  EXPECT_EQ(frac.material.ConstM(1549, 0), 1550.4);
}

// A plateau of equal enthalpies is a table; one with no point at 25 or
// 26 degC to start the filled rows from is not.
TEST(MaterialTable, TakesPlateausAndRefusesTablesWithoutTheirFirstFilledRow) {
  RunDir dir;
  Tepora flat = StrandWithTable("25,100,50\n30,150,40\n35,150,30\n45,250,20\n");
  EXPECT_EQ(flat.material.ConstM(32, 1), 150000.0);  // 33 degC on the plateau
  double H = 150000.0;
  EXPECT_EQ(flat.material.getConstH(H, 't'), 35.0);  // a plateau is crossed at its upper end
  for (const char* table : {"100,100,50\n1600,6400,30\n", "1,4,40\n1600,6400,40\n",
                            "24.4,100,50\n1600,6400,30\n"})
    EXPECT_THROW(StrandWithTable(table), InputError) << table;
  Tepora at26 = StrandWithTable("26,104,40\n1600,6400,40\n");
  EXPECT_NEAR(at26.material.ConstM(799, 2), 40.0, 1e-12);  // 800 degC
}

// A table in J/m^3 is refused by its mean heat capacity; casting at the
// table's solidus (1450 degC) is refused, above it not.
TEST(MaterialTable, RefusesEnthalpiesInJoulesAndCastingIntoASolidStrand) {
  RunDir dir;
  EXPECT_THROW(StrandWithTable("25,100000,50\n40,60000000,50\n"), InputError);  // 4e6 a kelvin
  Tepora melt = StrandWithTable("25,100,50\n26,4000000,40\n30,4000020,40\n", 30);
  EXPECT_EQ(melt.material.ConstM.n_rows, 30u);  // 8e5 a kelvin on average: a melting in one kelvin
  EXPECT_THROW(StrandWithTable(SteelTable(), 1450), InputError);
  EXPECT_EQ(StrandWithTable(SteelTable(), 1451).T_in, 1451);
  // A table without latent heat has no solidus to cast above.
  EXPECT_EQ(StrandWithTable("25,100,50\n1600,6400000,30\n", 100).T_in, 100);
}

// Also against the literal first-match search on random odd tables.
TEST(MaterialTable, LookupsRoundHalfUpAndFindTheFirstExceedingRow) {
  RunDir dir;
  Tepora m = StrandWithTable(SteelTable(), 1550);
  double T = 99.49, T2 = 99.5;
  EXPECT_EQ(m.material.getConstT(T, 'h'), m.material.ConstM(98, 1));
  EXPECT_EQ(m.material.getConstT(T2, 'k'), m.material.ConstM(99, 2));
  cube field(2, 3, 2);
  for (uword c = 0; c < field.n_elem; ++c) field(c) = 30 + 130 * double(c);
  cube H_field = m.material.TempToEn(field);
  cube back = m.material.EnToTemp(H_field);
  EXPECT_TRUE(arma::approx_equal(back, field, "absdiff", 0.0));
  // Below the lowest placed row: the empty row just under it, 0 degC.
  double zero = 0, negative = -1, hot = 1600.6, cold = 0.4;
  EXPECT_EQ(m.material.getConstH(zero, 't'), 0.0);
  EXPECT_THROW(m.material.getConstH(negative, 't'), TableRangeError);
  EXPECT_THROW(m.material.getConstT(hot, 'k'), TableRangeError);
  EXPECT_THROW(m.material.getConstT(cold, 'h'), TableRangeError);

  std::mt19937 rng(5);
  std::uniform_int_distribution<int> pick(0, 9);
  for (int table = 0; table < 200; ++table) {
    const uword N = 5 + rng() % 60;
    m.material.ConstM.zeros(N, 3);
    double h = 0;
    for (uword r = 0; r < N; ++r) {
      const int kind = pick(rng);
      if (kind == 0 && r < N / 3) continue;  // empty row
      h = kind == 1 ? h : kind == 2 ? h - 7 : h + 1 + double(rng() % 50);
      m.material.ConstM(r, 0) = double(r + 1) + 0.25 * (kind == 3);
      m.material.ConstM(r, 1) = h;
      m.material.ConstM(r, 2) = double(r);
    }
    m.material.IndexConstM();
    const TableView view(m.material.ConstM, m.material.ConstHindex);
    for (uword r = 0; r < N; ++r)
      for (double H :
           {m.material.ConstM(r, 1), std::nextafter(m.material.ConstM(r, 1), 1e9),
            std::nextafter(m.material.ConstM(r, 1), -1e9), m.material.ConstM(r, 1) + 0.5}) {
        const long row = literal::FirstMatchRow(m.material.ConstM, H);
        if (row < 0) {
          EXPECT_THROW(m.material.getConstH(H, 't'), TableRangeError);
          EXPECT_THROW(view.Temperature(H), TableRangeError);
          continue;
        }
        EXPECT_EQ(m.material.getConstH(H, 'k'), m.material.ConstM(row, 2))
            << "table " << table << " H " << H;
        EXPECT_EQ(view.Temperature(H), m.material.ConstM(row, 0));
      }
  }
}

TEST(MaterialTable, AnEmptyTableHasNoRowForAnyEnthalpy) {
  EnthalpyIndex index;
  index.Build(mat());
  for (double H : {-1.0, 0.0, 1e9, datum::nan}) EXPECT_EQ(index.FirstAbove(H), 0u);
}

}  // namespace
