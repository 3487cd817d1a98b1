// The fast time step against the literal per-visit sweep, bit for bit, on
// random fields, several grid shapes and every inlet condition.
#include <cstring>
#include <random>

#include "literal_model.h"
#include "test_support.h"

namespace {

bool SameBits(const cube& a, const cube& b) {
  return arma::size(a) == arma::size(b) &&
         std::memcmp(a.memptr(), b.memptr(), a.n_elem * sizeof(double)) == 0;
}

struct Shape {
  int I, J, K;
};

class StepTest : public ::testing::Test {
 protected:
  StepTest() {
    WriteSmallCase();
    model_ = std::make_unique<Tepora>(0.02, 0.1, 0.25 * M_PI, 0.1, 3.0, 1000.0, 1550.0,
                                      "Input/Interp.csv", 0.6 / 60, 30.0, 0.5, 500.0);
  }

  // A model of the given shape with uneven cells, random spray htcs, a mould
  // over the first slices and an air-cooled end zone, and a random field.
  Tepora Shaped(const Shape& s, std::mt19937& rng) {
    Tepora m = *model_;
    std::uniform_real_distribution<double> u(0, 1);
    m.ndr = s.I;
    m.ndphi = s.J;
    m.ndz = s.K;
    m.dr.set_size(s.I);
    for (auto& x : m.dr) x = 0.005 + 0.015 * u(rng);
    m.dz.set_size(s.K);
    for (auto& x : m.dz) x = 0.05 + 0.1 * u(rng);
    m.dphi = 2 * M_PI / s.J;
    m.CoolM.set_size(s.J, s.K);
    for (auto& x : m.CoolM) x = 100 + 1400 * u(rng);
    m.CrystallizerLength = 0.25;
    m.TertiaryLength = 0.3;
    m.vz = 0.02;
    m.dtau = 0.02;
    m.T_in = 1530.3;
    m.T.set_size(s.I, s.J, s.K);
    for (auto& x : m.T) x = 700 + 800 * u(rng);
    return m;
  }

  std::unique_ptr<Tepora> model_;
  RunDir dir_;
};

const Shape kShapes[] = {{2, 3, 3}, {3, 3, 3}, {2, 5, 4}, {4, 3, 7}, {7, 4, 3}, {10, 20, 12}};

TEST_F(StepTest, OneStepMatchesTheLiteralSweepForEveryInletAndSurfaceLaw) {
  std::mt19937 rng(7);
  for (const Shape& s : kShapes) {
    for (int variant = 0; variant < 5; ++variant) {
      SCOPED_TRACE("shape " + std::to_string(s.I) + "x" + std::to_string(s.J) + "x" +
                   std::to_string(s.K) + " variant " + std::to_string(variant));
      Tepora m = Shaped(s, rng);
      literal::Mode mode;
      StepRule rule;
      switch (variant) {
        case 0: mode.swtch = 'y'; rule.inlet = InletKind::Fixed; break;
        case 1: mode.swtch = 'n'; rule.inlet = InletKind::ZeroGradient; break;
        case 2: mode.swtch = 'x'; rule.inlet = InletKind::Free; break;
        case 3: mode.element = true; mode.ind = 0; rule.inlet = InletKind::Fixed; break;
        case 4: mode.element = true; mode.ind = 2; rule.inlet = InletKind::Field; break;
      }
      rule.H_inlet = m.getConstT(m.T_in, 'h');
      rule.mould = !mode.element || mode.ind == 0;
      rule.whole_emissivity = mode.element;
      mode.T_L.set_size(s.I + 1, s.J + 2, 2);
      for (auto& x : mode.T_L) x = 900 + std::uniform_real_distribution<double>(0, 600)(rng);
      rule.H_field.set_size(s.I, s.J);
      for (int j = 0; j < s.J; ++j)
        for (int i = 0; i < s.I; ++i) rule.H_field(i, j) = m.getConstT(mode.T_L(i, j, 0), 'h');

      cube H_old = m.TempToEn(m.T);
      // The solver's enthalpy buffer holds the previous level where a
      // condition leaves it alone; the fast one may hold anything.
      cube H_lit = H_old;
      literal::Sweep(m, mode, H_lit, H_old);
      cube T_lit = m.EnToTemp(H_lit);

      StepPlan plan = m.Plan(rule);
      cube H_fast(arma::size(H_old), fill::value(-1e300)), T_fast(arma::size(H_old));
      m.Step(rule, plan, H_old, H_fast, T_fast);
      EXPECT_TRUE(SameBits(H_fast, H_lit));
      EXPECT_TRUE(SameBits(T_fast, T_lit));
    }
  }
}

TEST_F(StepTest, WholeRunsMatchTheLiteralSolverStepByStep) {
  std::mt19937 rng(11);
  for (const Shape& s : {Shape{2, 3, 3}, Shape{5, 6, 9}, Shape{10, 20, 40}}) {
    for (char swtch : {'y', 'n'}) {
      SCOPED_TRACE(std::string("inlet ") + swtch + " shape " + std::to_string(s.I) + "x" +
                   std::to_string(s.J) + "x" + std::to_string(s.K));
      Tepora fast = Shaped(s, rng);
      fast.dtau = 0.2;
      Tepora lit = fast;
      cube T_fast = fast.Compute(25, swtch);
      literal::Mode mode;
      mode.swtch = swtch;
      cube H = lit.TempToEn(lit.T);
      literal::Run(lit, mode, 25, H);
      EXPECT_TRUE(SameBits(T_fast, lit.T));
      cube H_saved;
      H_saved.load("TeporaOut/H_0.cub", arma_ascii);
      EXPECT_TRUE(SameBits(H_saved, H));
      EXPECT_EQ(fast.p, 25);
    }
    for (int ind : {0, 1}) {
      SCOPED_TRACE("element " + std::to_string(ind));
      Tepora fast = Shaped(s, rng);
      fast.dtau = 0.2;
      Tepora lit = fast;
      literal::Mode mode;
      mode.element = true;
      mode.ind = ind;
      mode.T_L.set_size(s.I, s.J, 1);
      for (auto& x : mode.T_L) x = 1000 + std::uniform_real_distribution<double>(0, 500)(rng);
      cube T_fast = fast.ComputeOpt(ind, 25, mode.T_L);
      cube H = lit.TempToEn(lit.T);
      literal::Run(lit, mode, 25, H);
      EXPECT_TRUE(SameBits(T_fast, lit.T));
    }
  }
}

TEST_F(StepTest, AUniformFieldAtTheCoolingTemperaturesStaysUniform) {
  Tepora& m = *model_;
  m.T.fill(80);
  m.T_in = 80;
  m.T_inf = 80;
  m.CoolM.randu();
  m.Compute(30, 'y');
  EXPECT_TRUE(arma::all(arma::vectorise(m.T) == 80.0));
  // With no step the saved enthalpy is that of the field as it stands.
  m.Compute(0, 'y');
  cube H0;
  H0.load("TeporaOut/H_0.cub", arma_ascii);
  EXPECT_TRUE(SameBits(H0, m.TempToEn(m.T)));
}

}  // namespace
