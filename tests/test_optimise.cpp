// The optimiser: settings, the cut into elements, the control points in
// element coordinates, the htc search and progressive hedging.
#include <omp.h>

#include "optimise/element_bounds.h"
#include "model/exact_cylinder.h"
#include "optimise/optimise.h"
#include "model/tepora.h"
#include "test_support.h"

using namespace tepora;

namespace {

class OptimiseTest : public ::testing::Test {
 protected:
  OptimiseTest() {
    RunDir::Write("Input/Interp.csv", SteelTable());
    table_ =
        Tepora(0.01, 0.1, 0.25 * M_PI, 0.08, 13, 1000, 1550, "Input/Interp.csv", 0.01, 30, 0.5, 500)
            .material.ConstM;
    field_.set_size(8, 8, 130);
    for (uword c = 0; c < field_.n_elem; ++c) field_(c) = double(900 + c % 8 * 10 + c / 64 % 130);
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
  EXPECT_EQ(o.settings.iterations + o.settings.elements + o.settings.element_steps, 309);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(o.elements[i].field.n_slices, 40u);
    EXPECT_EQ(o.elements[i].field(0, 0, 0), field_(0, 0, 30 * i));
    EXPECT_EQ(o.elements[i].slices.first, 30 * i);
  }
  EXPECT_NE(out.find("Setting Elements done.... \n\nNumber of z slices in elements:\n40 with "
                     "overlap: 10, z = 0 .. 4 m\n40 with overlap: 10, z = 3 .. 7 m\n"), npos);
  // True offsets within the element; slice 125 belongs to the last element.
  EXPECT_TRUE(arma::approx_equal(o.ElemOfCP, vec{0, 1, 2, 3, 3, 2}, "absdiff", 0));
  EXPECT_TRUE(arma::approx_equal(o.CP.CPMat.col(2), vec{35, 15, 5, 29, 35, 0}, "absdiff", 0));
  EXPECT_EQ(o.CP.CPMat(0, 0) + o.CP.CPMat(0, 1), 7 + 1);
  EXPECT_NE(out.find("Point 1 in element 1 at position 35.\nPoint 2 in element 2 at position 15."),
            npos);
}

TEST_F(OptimiseTest, SearchesTheGridAndKeepsTheSmallestOfEqualHtcs) {
  ::testing::internal::CaptureStdout();
  Optimise o = Make("100\n1000\n100\n1\n4\n0\n");
  EXPECT_EQ(o.CandidateHtcs(), (std::vector<double>{100, 200, 300, 400, 500, 600, 700, 800,
                                                    900, 1000}));
  o.settings.highest_htc = 950;
  EXPECT_EQ(o.CandidateHtcs().size(), 9u);
  EXPECT_EQ(o.TertiaryLengthOf(3), 5.0);
  EXPECT_NEAR(o.TertiaryLengthOf(2), 2.0, 1e-12);
  EXPECT_NEAR(o.TertiaryLengthOf(0), -13.0, 1e-12);
  // No time step: every candidate leaves the field as it is and scores the
  // same, so the smallest htc wins; the signed deviation 1005 - 1008.9 prints as -3.
  cube none;
  const ElementResult r = o.SearchElement(0, o.elements[0].field, 0.02, none, 500);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(o.OptimalHtcs(0), 100);
  EXPECT_EQ(r.htc, 100);
  EXPECT_EQ(o.ScenOut[0], "\n\n Scenario 1 \n: Minimal ObjFValue: -3 \n");
}

// Air cooling from 6.5 m of 13 m: in the cylindrical step every element
// (slices 0-39, 30-69, 60-99, 90-129) is air-cooled on the very slices the
// whole strand is; the flat step's rule leaves element 2 none.
TEST_F(OptimiseTest, ElementsAreAirCooledWhereTheWholeStrandIs) {
  Tepora strand(0.01, 0.1, 0.25 * M_PI, 0.08, 13, 1000, 1550, "Input/Interp.csv", 0.02, 30,
                0.5, 500);
  strand.cooling.TertiaryLength = 6.5;
  const std::vector<char> air = CylinderStep(strand, StepRule()).tertiary;
  Optimise o = [&] { Silenced quiet; return Make("100\n1000\n100\n1\n4\n0\n"); }();
  o.RealTertiaryLength = 6.5;
  o.model = Formulation::Cylindrical;
  const long first[4] = {0, 30, 60, 90};
  const int expected[4] = {0, 5, 35, 40};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE("element " + std::to_string(i + 1));
    ElementSearch s;
    o.PrepareSearch(i, o.elements[i].field, 0.02, cube(), 500, s);
    const std::vector<char> own = CylinderStep(*s.model, StepRule()).tertiary;
    ASSERT_EQ(own.size(), 40u);
    EXPECT_EQ(std::count(own.begin(), own.end(), 1), expected[i]);
    EXPECT_TRUE(std::equal(own.begin(), own.end(), air.begin() + first[i]));
  }
  o.model = Formulation::Flat;
  EXPECT_NEAR(o.TertiaryLengthOf(1), 6.5 - 3.0 - 2 * 3.0, 1e-12);
}

// Each element's own point is given the surface temperature a chosen
// candidate leaves (+0.5 K): the search must find it, not the coldest nor one
// fitted to another point or the ring's centre; shared slices are means.
TEST_F(OptimiseTest, SearchFindsTheHtcOfEachOwnPointAndCombinesTheSharedSlices) {
  const long first[4] = {0, 30, 60, 90};
  const double air[4] = {0, 0, 0, 10 * 0.1};  // the last 1 m of the strand
  // The element's field after a run, and its surface temperatures.
  const auto run = [&](int i, double htc, mat* surface = nullptr) {
    Tepora U(0.01, 0.1, 0.25 * M_PI, field_.slices(first[i], first[i] + 39), table_, 0.02, 30,
             0.5, htc, air[i], 500, 10);
    U.model = Formulation::Cylindrical;
    cube T = U.ComputeOpt(
        ElementBounds(i, i == 0 ? cube() : cube(field_.slices(first[i], first[i]))), 40);
    if (surface) *surface = U.SurfaceField();
    return T;
  };
  // Each element's own point (ring 7, sector 1, slice) and its chosen htc.
  const uword own[4] = {20, 55 - 30, 75 - 60, 110 - 90};
  const double chosen[4] = {300, 700, 400, 900};
  std::vector<cube> W(4);
  vec target(5);
  target(1) = 500;  // element 2's first point, colder than any candidate leaves it
  for (int i = 0; i < 4; ++i) {
    std::vector<double> at;
    for (double htc = 100; htc <= 1000; htc += 100) {
      mat Ts;
      const double centre = run(i, htc, &Ts)(7, 1, own[i]);
      at.push_back(Ts(1, own[i]));
      ASSERT_GT(centre - at.back(), 20) << i << " " << htc;
    }
    // The data must tell the candidates apart by more than the whole degrees scored.
    for (size_t c = 1; c < at.size(); ++c) ASSERT_GT(at[c - 1] - at[c], 1.5) << i << " " << c;
    const size_t c = size_t(chosen[i] / 100) - 1;
    target(i == 0 ? 0 : i + 1) = at[c] + 0.5;
    W[i] = run(i, chosen[i]);
  }
  RunDir::Write("Input/OptSettings.txt", "100\n1000\n100\n1\n4\n40\n");
  vec z{20.5, 45.5, 55.5, 75.5, 110.5}, r(5, fill::value(0.075)), phi(5, fill::value(1.0));
  z *= 0.1;
  ControlPoints cp(r, phi, z, target);
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();  // element 2's second point
  Optimise o(0.02, field_, 0.25, table_, 0.01, 0.1, 0.25 * M_PI, 30, 0.5, cp);
  o.model = Formulation::Cylindrical;
  o.RealTertiaryLength = 1.0;
  {  // a candidate scores the very surface temperature its run leaves
    ElementSearch s;
    o.PrepareSearch(1, o.elements[1].field, 0.02, cube(field_.slices(30, 30)), 500, s);
    o.RunCandidate(s, 0, 700, false);
    mat Ts;
    run(1, 700, &Ts);
    EXPECT_NEAR(s.best.diff + s.target, Ts(1, own[1]), 1e-9);
  }
  o.ComputePHA();
  ::testing::internal::GetCapturedStderr();
  ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(arma::approx_equal(o.OptimalHtcs, vec(chosen, 4), "absdiff", 0)) << o.OptimalHtcs;
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE("element " + std::to_string(i + 1));
    cube expected = W[i];
    if (i < 3) expected.slices(30, 39) = 0.5 * W[i].slices(30, 39) + 0.5 * W[i + 1].slices(0, 9);
    if (i > 0) expected.slices(0, 9) = 0.5 * W[i - 1].slices(30, 39) + 0.5 * W[i].slices(0, 9);
    EXPECT_TRUE(arma::approx_equal(o.elements[i].field, expected, "absdiff", 0));
  }
  // The next iteration's inlet is the first shared slice, as combined.
  const cube inlet = o.elements[3].field.slices(0, 0);
  RunDir::Write("Input/OptSettings.txt", "100\n1000\n100\n2\n4\n40\n");
  {
    Silenced quiet;
    Optimise next(0.02, field_, 0.25, table_, 0.01, 0.1, 0.25 * M_PI, 30, 0.5, cp);
    next.model = Formulation::Cylindrical;
    next.RealTertiaryLength = 1.0;
    next.ComputePHA();
  }
  cube tf;
  ASSERT_TRUE(tf.load("Tf.vec", arma_ascii));
  EXPECT_TRUE(arma::approx_equal(tf, inlet, "absdiff", 1e-9));
}

// Run on one thread: the order of the elements decides which candidate's
// files are left in the working directory.
TEST_F(OptimiseTest, HedgingCombinesNeighboursAndAssemblesTheStrand) {
  // Quadratic along the strand, so a seam's smoothed value, the mean of its
  // neighbours, differs from its own.
  for (uword c = 0; c < field_.n_elem; ++c) field_(c) += double(c / 64) * double(c / 64) / 64;
  omp_set_num_threads(1);
  ::testing::internal::CaptureStdout();
  Optimise zero = Make("100\n1000\n300\n0\n4\n10\n");
  zero.ComputePHA();
  mat profile;
  profile.load("TeporaOut/Profile.mat", raw_ascii);
  EXPECT_TRUE(arma::approx_equal(zero.T, field_, "absdiff", 0));
  for (int k : {39, 69, 99})
    EXPECT_TRUE(arma::approx_equal(profile.col(k), 0.5 * (profile.col(k - 1) + profile.col(k + 1)),
                                   "absdiff", 1e-9));
  EXPECT_TRUE(arma::approx_equal(profile.col(40), vec(field_.slice(40).col(1)), "absdiff", 0));
  EXPECT_TRUE(arma::all(zero.OptimalHtcs == 0.0));

  // The first iteration's inlets come from the starting fields: the last
  // evaluated, element 3, has slice 90 of the strand.
  Make("100\n1000\n300\n1\n4\n10\n").ComputePHA();
  cube inlet;
  inlet.load("Tf.vec", arma_ascii);
  EXPECT_TRUE(arma::approx_equal(inlet, cube(field_.slices(90, 90)), "absdiff", 0));

  Optimise o = Make("100\n1000\n300\n2\n4\n10\n", {35.5, 45.5, 65.5, 119.5});
  o.progress_interval = 0;  // a progress line after every pair
  o.ComputePHA();
  // Combined htcs are the means of neighbours' choices.
  EXPECT_EQ(o.elements[0].htc, 0.5 * o.OptimalHtcs(0) + 0.5 * o.OptimalHtcs(1));
  EXPECT_EQ(o.elements[3].htc, 0.5 * o.OptimalHtcs(3) + 0.5 * o.OptimalHtcs(2));
  for (const ElementState& el : o.elements) EXPECT_EQ(el.speed, 0.02);  // one casting speed
  // The last element's own cells are its evaluation's, uncombined.
  EXPECT_TRUE(arma::approx_equal(cube(o.elements[3].field.slices(10, 39)),
                                 cube(o.found[3].field.slices(10, 39)), "absdiff", 0));
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("---------------------------------------------------------------\n 2. PHA "
                     "iteration out of 2 total. \n"), npos);
  for (int p = 1; p <= 2; ++p)
    for (int done = 1; done <= 16; ++done)
      EXPECT_NE(out.find("  iteration " + std::to_string(p) + ": " + std::to_string(done) +
                         " of the 16 (element, candidate) pairs done, "), npos) << p << " " << done;
}

// 200 s through an element of 4 m at 1.2 m/min: 400 steps of 0.5 s.
TEST_F(OptimiseTest, WarnsOnceWhenElementRunsEndBeforeTheSteelHasPassedThrough) {
  const struct {
    const char* settings;
    double speed;  // m/min
    bool warns;
  } cases[] = {{"100\n1000\n300\n1\n4\n399\n", 1.2, true},
               {"100\n1000\n300\n1\n4\n400\n", 1.2, false},
               {"100\n1000\n300\n1\n4\n399\n", 0.0, false},
               {"100\n1000\n300\n1\n4\n0\n", 1.2, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.settings);
    const Optimise o = [&] { Silenced quiet; return Make(c.settings); }();
    ::testing::internal::CaptureStderr();
    o.WarnIfRunsShort(c.speed);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, c.warns ? "warning: Input/OptSettings.txt: line 6 (time steps of an element "
                             "simulation) is 399, which simulates 199.5 s, shorter than the 200 s "
                             "the steel takes through an element of 4 m at 1.2 m/min; expected at "
                             "least 400 steps\n"
                           : "");
  }
}

// Element 2's search leaves the table: nothing of the iteration is kept, and
// the table in memory is used, not TeporaOut/ConstM.mat.
TEST_F(OptimiseTest, AFailingElementAbandonsItsIterationWithTheTableInMemory) {
  RunDir::Write("TeporaOut/ConstM.mat", "1 2 3\n");
  field_.slices(72, 88).fill(25.0);
  RunDir::Write("Input/OptSettings.txt", "100\n300\n100\n1\n4\n40\n");
  vec r{0.075}, phi{1.0}, z{3.55}, val{1000};
  ControlPoints cp(r, phi, z, val);
  ::testing::internal::CaptureStderr();  // elements without a point of their own
  Optimise o(0.02, field_, 0.25, table_, 0.01, 0.1, 0.25 * M_PI, -100, 0.5, cp);
  ::testing::internal::GetCapturedStderr();
  o.model = Formulation::Flat;
  omp_set_num_threads(1);
  ::testing::internal::CaptureStdout();
  EXPECT_THROW(o.ComputePHA(), TableRangeError);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.find("Scenario"), npos);
  EXPECT_FALSE(std::filesystem::exists("TeporaOut/T_0.cub"));  // element 3 skipped
  EXPECT_TRUE(arma::all(o.OptimalHtcs == 0.0));
}

// Every element holds at least four slices, a multiple of four but the
// last, which holds more than it shares with the one before.
TEST(ElementLayout, CutsOnlyLayoutsThatLeaveEveryElementItsOwnSlices) {
  const std::vector<uword> refused;
  std::vector<uword> last_of_24(23, 16);
  last_of_24.push_back(5);
  const struct {
    int n, ndz;
    std::vector<uword> counts;
  } cases[] = {
      {3, 7, refused},                // under four slices an element
      {3, 9, refused},                // the last element would hold 3
      {3, 10, {4, 4, 4}},             // the smallest strand for 3 elements
      {3, 12, {4, 4, 6}},             // rounded down to four, the rest to the last
      {4, 30, {8, 8, 8, 12}},
      {4, 131, {40, 40, 40, 41}},
      {12, 30, refused},              // the last element would start beyond the strand
      {24, 280, refused},             // the last holds only the 4 slices it shares
      {24, 281, last_of_24},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.n) + " elements in " + std::to_string(c.ndz) + " slices");
    if (c.counts.empty()) {
      EXPECT_THROW(ElementLayoutOf(c.n, 0.25, c.ndz), InputError);
    } else {
      EXPECT_EQ(ElementLayoutOf(c.n, 0.25, c.ndz).Counts(), c.counts);
    }
  }
}

}  // namespace
