// The optimiser: settings, the cut into elements, the control points in
// element coordinates, packing, the htc search and progressive hedging.
#include <omp.h>

#include "optimise.h"
#include "tepora.h"
#include "test_support.h"

namespace {

class OptimiseTest : public ::testing::Test {
 protected:
  OptimiseTest() {
    RunDir::Write("Input/Interp.csv", SteelTable());
    table_ = Tepora(0.01, 0.1, 0.25 * M_PI, 0.08, 13, 1000, 1550, "Input/Interp.csv", 0.01, 30,
                    0.5, 500).ConstM;
    field_.set_size(8, 8, 130);
    for (uword c = 0; c < field_.n_elem; ++c) field_(c) = 900 + c % 8 * 10 + c / 64 % 130;
  }
  // Points at the surface, sector 1, and slice indices 35, 45, 65, 119, 125.
  Optimise Make(const std::string& settings, std::initializer_list<double> slices = {35.5}) {
    RunDir::Write("Input/OptSettings.txt", settings);
    vec z(slices), r(z.n_elem, fill::value(0.075)), phi(z.n_elem, fill::value(1.0));
    vec val(z.n_elem, fill::value(1008.9));
    z *= 0.1;
    ControlPoints cp(r, phi, z, val);
    Optimise o(0.02, field_, 0.25, table_, 0.01, 0.1, 0.25 * M_PI, 30, 0.5, cp);
    o.model = Formulation::Flat;
    return o;
  }
  RunDir dir_;
  mat table_;
  cube field_;
};

TEST_F(OptimiseTest, CutsTheStrandIntoOverlappingElementsAndPlacesThePoints) {
  ::testing::internal::CaptureStdout();
  Optimise o = Make("10\n2000\n100\n5\n4.9\n300\n", {35.5, 45.5, 65.5, 119.5, 125.5, 60.5});
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(o.pmax + o.nElem + o.Heatpmax, 309);
  EXPECT_TRUE(arma::approx_equal(o.Param, vec{500, 500, 500, 500, 0.02}, "absdiff", 0));
  EXPECT_TRUE(arma::approx_equal(o.nX, vec{2561, 1921, 1921, 1921}, "absdiff", 0));
  EXPECT_EQ(o.n_offset, 10);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(o.Elem(i).n_slices, 40u);
    EXPECT_EQ(o.Elem(i)(0, 0, 0), field_(0, 0, 30 * i));
    EXPECT_EQ(o.ElemL(i)(0, 0, 0), field_(0, 0, i == 0 ? 0 : 30 * i));
  }
  EXPECT_TRUE(o.ElemR(3).is_empty());
  EXPECT_NE(out.find("Setting Elements done.... \n\nNumber of z slices in elements:\n40 with "
                     "overlap: 10\n40 with overlap: 10\n"),
            std::string::npos);
  // True offsets within the element; slice 125 belongs to the last element.
  EXPECT_TRUE(arma::approx_equal(o.ElemOfCP, vec{0, 1, 2, 3, 3, 2}, "absdiff", 0));
  EXPECT_TRUE(arma::approx_equal(o.CP.CPMat.col(2), vec{35, 15, 5, 29, 35, 0}, "absdiff", 0));
  EXPECT_EQ(o.CP.CPMat(0, 0) + o.CP.CPMat(0, 1), 7 + 1);
  // Packing: rows fastest, then columns, then slices.
  cube c = o.Elem(1);
  EXPECT_EQ(o.ToVect(c)(3 + 8 * 2 + 64 * 5), c(3, 2, 5));
  vec v = o.ToVect(c);
  EXPECT_TRUE(arma::approx_equal(o.DeVect(v, 8, 8, 40), c, "absdiff", 0));
  EXPECT_NE(out.find("Point 1 in element 1 at position 35.\nPoint 2 in element 2 at position 15."),
            std::string::npos);

  field_.resize(8, 8, 131);
  ::testing::internal::CaptureStdout();
  Optimise longer = Make("10\n2000\n100\n5\n4\n300\n");
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(longer.Elem(3).n_slices, 41u);
}

TEST_F(OptimiseTest, SearchesTheGridAndKeepsTheSmallestOfEqualHtcs) {
  ::testing::internal::CaptureStdout();
  Optimise o = Make("100\n1000\n100\n1\n4\n0\n");
  EXPECT_EQ(o.CandidateHtcs(), (std::vector<double>{100, 200, 300, 400, 500, 600, 700, 800,
                                                    900, 1000}));
  o.htcmax = 950;
  EXPECT_EQ(o.CandidateHtcs().size(), 9u);
  EXPECT_EQ(o.TertiaryLengthOf(3), 5.0);
  EXPECT_NEAR(o.TertiaryLengthOf(2), 2.0, 1e-12);
  EXPECT_NEAR(o.TertiaryLengthOf(0), -13.0, 1e-12);
  // No time step: every candidate leaves the field as it is and scores the
  // same, so the smallest htc wins; the signed deviation 1005 - 1008.9 prints as -3.
  vec X_av_old{0.0, 0.02};
  cube none;
  vec r = o.CompScen(0, o.Elem(0), o.Param, X_av_old, none, 500);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(o.OptimalHtcs(0), 100);
  EXPECT_EQ(r.n_elem, 2561u);
  EXPECT_EQ(r(2560), 100);
  EXPECT_EQ(o.X_L(0).n_elem, 640u);
  EXPECT_NE(out.find("\n\n Scenario 1 \n: Minimal ObjFValue: -3 \n"), std::string::npos);
}

TEST_F(OptimiseTest, HedgingIsTheSameForAnyThreadCountAndAssemblesTheStrand) {
  ::testing::internal::CaptureStdout();
  Optimise zero = Make("100\n1000\n300\n0\n4\n10\n");
  zero.ComputePHA();
  mat profile;
  profile.load("TeporaOut/Profile.mat", raw_ascii);
  EXPECT_TRUE(arma::approx_equal(zero.T, field_, "absdiff", 0));
  for (int k : {39, 69, 99})
    EXPECT_TRUE(arma::approx_equal(profile.col(k), 0.5 * (profile.col(k - 1) + profile.col(k + 1)),
                                   "absdiff", 1e-9));
  EXPECT_TRUE(arma::approx_equal(profile.col(40), vec(field_.slice(40).col(1)),
                                 "absdiff", 0));
  EXPECT_TRUE(arma::all(zero.OptimalHtcs == 0.0));

  // The first iteration takes every inlet slice from the starting fields:
  // on one thread the last element evaluated is element 3, whose inlet is
  // slice 30 of element 2, slice 90 of the strand.
  omp_set_num_threads(1);
  Make("100\n1000\n300\n1\n4\n10\n").ComputePHA();
  cube inlet;
  inlet.load("Tf.vec", arma_ascii);
  EXPECT_TRUE(arma::approx_equal(inlet, cube(field_.slices(90, 90)), "absdiff", 0));

  cube T_one;
  vec htcs_one;
  for (int threads : {1, 2, 8}) {
    omp_set_num_threads(threads);
    Optimise o = Make("100\n1000\n300\n2\n4\n10\n", {35.5, 45.5, 65.5, 119.5});
    o.ComputePHA();
    if (threads == 1) {
      T_one = o.T;
      htcs_one = o.OptimalHtcs;
      // Combined htcs are the means of neighbours' choices.
      EXPECT_EQ(o.Param(0), 0.5 * o.OptimalHtcs(0) + 0.5 * o.OptimalHtcs(1));
      EXPECT_EQ(o.Param(3), 0.5 * o.OptimalHtcs(3) + 0.5 * o.OptimalHtcs(2));
      // The last element's own cells are its evaluation's, uncombined.
      vec own = o.X_s(3).head(o.X_s(3).n_elem - 2);
      EXPECT_TRUE(arma::approx_equal(cube(o.Elem(3).slices(10, 39)), o.DeVect(own, 8, 8, 30),
                                     "absdiff", 0));
    }
    EXPECT_TRUE(arma::approx_equal(o.T, T_one, "absdiff", 0));
    EXPECT_TRUE(arma::approx_equal(o.OptimalHtcs, htcs_one, "absdiff", 0));
  }
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("---------------------------------------------------------------\n 2. PHA "
                     "iteration out of 2 total. \n"),
            std::string::npos);
}

// Every layout the up-front check accepts can be cut: each element holds at
// least four slices and the last more than those it shares with the one
// before, which its upstream coefficient covers.
TEST_F(OptimiseTest, AcceptsExactlyTheElementLayoutsThatCanBeCut) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  vec r{0.005}, phi{1.0}, z{0.05}, val{1000};
  ControlPoints cp(r, phi, z, val);
  int accepted = 0;
  for (int ndz = 4; ndz <= 160; ++ndz)
    for (int n = 3; n <= 24; ++n) {
      RunDir::Write("Input/OptSettings.txt", Lines({100, 200, 100, 1, double(n), 1}));
      cube field(2, 3, ndz, fill::value(1000.0));
      bool fits = true;
      try {
        ElementLayoutOf(n, 0.25, ndz);
      } catch (const InputError&) {
        fits = false;
      }
      if (!fits) continue;
      ++accepted;
      Optimise o(0.02, field, 0.25, "Input/Interp.csv", 0.01, 0.1, 2.1, 30, 0.5, cp);
      for (int i = 0; i < n; ++i) ASSERT_GE(o.Elem(i).n_slices, 4u) << ndz << " " << n;
      ASSERT_GT(o.Elem(n - 1).n_slices, uword(o.n_offset)) << ndz << " " << n;
    }
  EXPECT_GT(accepted, 500);
  field_.resize(8, 8, 131);  // point 1 lies outside the pointless elements 1 to 3
  EXPECT_THROW(Make("10\n2000\n100\n5\n4\n300\n", {130.5}), InputError);
  ::testing::internal::GetCapturedStdout();
  ::testing::internal::GetCapturedStderr();
}

}  // namespace
