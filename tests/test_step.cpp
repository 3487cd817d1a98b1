// The fast time step against the literal per-visit sweep, bit for bit, on
// random fields, several grid shapes and every inlet condition.
#include <atomic>
#include <cstring>
#include <random>
#include <stdexcept>
#include <thread>

#include "optimise/element_bounds.h"
#include "literal_cylinder.h"
#include "literal_model.h"
#include "model/slice_threads.h"
#include "test_support.h"

using namespace tepora;

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
    model_->model = Formulation::Flat;
  }

  // Uneven cells, random htcs and field, a mould and an air-cooled end.
  Tepora Shaped(const Shape& s, std::mt19937& rng) {
    Tepora m = *model_;
    std::uniform_real_distribution<double> u(0, 1);
    m.grid.ndr = s.I;
    m.grid.ndphi = s.J;
    m.grid.ndz = s.K;
    m.grid.dr.set_size(s.I);
    for (auto& x : m.grid.dr) x = 0.005 + 0.015 * u(rng);
    m.grid.dz.set_size(s.K);
    for (auto& x : m.grid.dz) x = 0.05 + 0.1 * u(rng);
    m.grid.dphi = 2 * M_PI / s.J;
    m.cooling.CoolM.set_size(s.J, s.K);
    for (auto& x : m.cooling.CoolM) x = 100 + 1400 * u(rng);
    m.cooling.CrystallizerLength = 0.25;
    m.cooling.TertiaryLength = 0.3;
    m.vz = 0.02;
    m.dtau = 0.2;
    m.T_in = 1530.3;
    m.field.T.set_size(s.I, s.J, s.K);
    for (auto& x : m.field.T) x = 700 + 800 * u(rng);
    return m;
  }

  std::unique_ptr<Tepora> model_;
  RunDir dir_;
};

// Inlets 'y', 'n', undriven and both element cases, each step against its
// literal form; the cylindrical one must also balance its heat, at its step
// of 0.2 s and at 0.9 of its stability estimate, beyond the inner rings'
// explicit angular bound, where those rings solve for their new angular
// fluxes.
TEST_F(StepTest, RunsMatchTheLiteralStepsBitForBit) {
  int implicit_runs = 0;
  for (const Formulation f : {Formulation::Flat, Formulation::Cylindrical}) {
    const bool flat = f == Formulation::Flat;
    std::mt19937 rng(flat ? 7 : 11);
    for (const Shape& s : {Shape{2, 3, 3}, Shape{3, 3, 3}, Shape{2, 5, 4}, Shape{4, 3, 7},
                           Shape{7, 4, 3}, Shape{10, 20, 40}, Shape{5, 12, 6}}) {
      for (int variant = 0; variant < (flat ? 5 : 10); ++variant) {
        const bool long_step = variant >= 5;
        SCOPED_TRACE(std::string(FormulationName(f)) + " shape " + std::to_string(s.I) + "x" +
                     std::to_string(s.J) + "x" + std::to_string(s.K) + " variant " +
                     std::to_string(variant));
        Tepora fast = Shaped(s, rng);
        fast.model = f;
        if (long_step) {
          fast.dtau = 0.9 * fast.StableStepEstimate(fast.vz);
          implicit_runs += !CylinderStep(fast, StepRule()).implicit_rings.empty();
        } else if (!flat) {  // within the explicit bound every ring stays explicit
          double lambda_max, c_min;
          ASSERT_TRUE(fast.material.ConductionBounds(lambda_max, c_min));
          if (fast.dtau <= CylinderStep::ExplicitStep(fast, fast.vz, lambda_max, c_min)) {
            EXPECT_TRUE(CylinderStep(fast, StepRule()).implicit_rings.empty());
          }
        }
        Tepora lit = fast;
        literal::Mode mode;
        mode.swtch = "ynx"[std::min(variant % 5, 2)];
        mode.element = variant % 5 >= 3;
        mode.ind = variant % 5 == 4 ? 2 : 0;
        // The flat element reads only the first slice of a larger field.
        mode.T_L.set_size(s.I + flat, s.J + 2 * flat, 1 + flat);
        for (auto& x : mode.T_L) x = 900 + std::uniform_real_distribution<double>(0, 600)(rng);
        const cube T_fast = mode.element ? fast.ComputeOpt(ElementBounds(mode.ind, mode.T_L), 12)
                                         : fast.Compute(12, mode.swtch);
        cube H = lit.EnthalpyOf(lit.field.T);
        flat ? literal::Run(lit, mode, 12, H) : literal::CylinderRun(lit, mode, 12, H);
        EXPECT_TRUE(SameBits(T_fast, lit.field.T));
        EXPECT_EQ(fast.p, 12);
        if (mode.element) continue;
        cube H_saved;
        H_saved.load("TeporaOut/H_0.cub", arma_ascii);
        EXPECT_TRUE(SameBits(H_saved, H));
        if (!flat) {
          EXPECT_LE(std::fabs(fast.energy.Residual()), 1e-9 * fast.energy.Scale());
        }
      }
    }
  }
  EXPECT_GE(implicit_runs, 10);  // the finer circles have implicit rings
}

// With rings implicit in the angle a step split into runs of slices across
// 2 or 3 threads gives the bits of one thread.
TEST_F(StepTest, ImplicitRingsGiveTheSameBitsOnAnyThreads) {
  std::mt19937 rng(5);
  Tepora m = Shaped(Shape{10, 20, 40}, rng);
  m.model = Formulation::Cylindrical;
  m.dtau = 0.9 * m.StableStepEstimate(m.vz);
  StepRule rule;
  rule.H_inlet = m.EnthalpyAt(m.T_in);
  cube first;
  for (int threads = 1; threads <= 3; ++threads) {
    Tepora u = m;
    CylinderStep plan(u, rule);
    ASSERT_FALSE(plan.implicit_rings.empty());
    plan.threads = threads;
    plan.choice = ThreadChoice::Fixed(threads);
    plan.scratch.resize(threads, plan.scratch[0]);
    cube H = u.EnthalpyOf(u.field.T), H_new(arma::size(H)), T_new(arma::size(H));
    plan.Start(u, H);
    for (int p = 0; p < 12; ++p) {
      plan.Advance(u, H, H_new, T_new);
      u.field.T.swap(T_new);
      plan.Advanced();
      H.swap(H_new);
    }
    if (threads == 1) first = H;
    EXPECT_TRUE(SameBits(first, H)) << threads << " threads";
  }
}

TEST_F(StepTest, AUniformFieldAtTheCoolingTemperaturesStaysUniform) {
  Tepora& m = *model_;
  m.field.T.fill(80);
  m.T_in = 80;
  m.cooling.T_inf = 80;
  m.cooling.CoolM.randu();
  m.Compute(30, 'y');
  EXPECT_TRUE(arma::all(arma::vectorise(m.field.T) == 80.0));
  // With no step the saved enthalpy is that of the field as it stands.
  m.Compute(0, 'y');
  cube H0;
  H0.load("TeporaOut/H_0.cub", arma_ascii);
  EXPECT_TRUE(SameBits(H0, m.material.TempToEn(m.field.T)));
}

// A step's runs cover slices 1 .. K-2 once each on any number of threads,
// also beside another caller; the lowest failing slice's exception is raised.
TEST(SliceRuns, CoverEverySliceOnceAndRaiseTheLowestFailure) {
  // lo 1: the inlet's rule sets slice 0; lo 0: the step updates it too.
  const auto sweep = [](int threads, int K, int steps, int lo = 1) {
    std::vector<std::atomic<int>> visits(K);
    bool right = true;
    std::atomic<bool> bad{false};
    for (int s = 1; s <= steps && right; ++s) {
      ForSliceRuns(threads, K, [&](int first, int end, int t) {
        if (t < 0 || t >= threads || first < lo || end > K - 1 || first >= end) bad = true;
        for (int k = first; k < end; ++k) ++visits[k];
      }, lo);
      for (int k = 0; k < K; ++k) right = right && visits[k] == (k < lo || k == K - 1 ? 0 : s);
    }
    return right && !bad;
  };
  for (int threads = 1; threads <= 4; ++threads)
    for (int K : {3, 4, 5, 17, 130})
      for (int lo : {0, 1})
        EXPECT_TRUE(sweep(threads, K, 300, lo)) << threads << " " << K << " " << lo;
  bool other_right = false;
  std::thread other([&] { other_right = sweep(2, 57, 3000); });
  EXPECT_TRUE(sweep(3, 130, 3000));
  other.join();
  EXPECT_TRUE(other_right);

  for (int threads = 1; threads <= 3; ++threads) {
    try {
      ForSliceRuns(threads, 130, [](int first, int end, int) {
        for (int k = first; k < end; ++k)
          if (k == 40 || k == 41 || k == 90) throw std::runtime_error(std::to_string(k));
      });
      ADD_FAILURE() << "nothing raised on " << threads << " threads";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "40") << threads << " threads";
    }
  }
}

// All threads while they are a tenth quicker, one otherwise, timed again
// after growing holds, so a machine turning busy or quiet is followed.
TEST(ThreadChoice, KeepsTheQuickerAndFollowsTheMachine) {
  ThreadChoice choice(2);
  // Of n steps of 1 ms on one thread and `all` ms on two, those on two.
  const auto on_two = [&](double all, int n) {
    int two = 0;
    for (int i = 0; i < n; ++i) {
      const int t = choice.Threads();
      two += t == 2;
      choice.Took((t == 2 ? all : 1.0) * 1e-3);
    }
    return two;
  };
  EXPECT_GE(on_two(0.55, 4000), 3980);  // quiet: one timed once at the start
  // The other core busy: seen within 600 steps, then two only to time them.
  EXPECT_LE(on_two(1.3, 1100), 600);
  EXPECT_LE(on_two(1.3, 4000), 100);
  EXPECT_LE(on_two(0.95, 4000), 100);  // two threads hardly quicker
  EXPECT_GE(on_two(0.55, 1100), 500);  // quiet again
  EXPECT_GE(on_two(0.55, 4000), 3990);
  EXPECT_LE(on_two(0.95, 1100), 600);  // slower than when last timed: one timed again

  for (ThreadChoice fixed : {ThreadChoice::Fixed(2), ThreadChoice(1)}) {
    const int threads = fixed.Threads();
    for (int i = 0; i < 100; ++i) fixed.Took(i % 2 ? 1.0 : 1e-6);
    EXPECT_EQ(fixed.Threads(), threads);
  }
  EXPECT_EQ(ThreadChoice(1).Threads(), 1);
}

}  // namespace
