// The front of a radial line from its rings' enthalpies: the annulus rule
// over a wide freezing range, the split ring of a narrow one.
#include <cmath>

#include "model/front.h"
#include "test_support.h"

using namespace tepora;

namespace {

// Rings of 1 mm: the surface ring solid, ring 2 half, ring 1 a quarter, the
// disc melt. By volume the solid half of ring 2 ends at sqrt(3^2 - 5 / 2).
TEST(Front, WideRangeTakesTheSolidPartAsAnAnnulusByVolume) {
  RadialLine line;
  line.faces = {0.0, 1.0, 2.0, 3.0, 4.0};
  line.H_sol = 1.0;
  line.H_liq = 2.0;
  line.H = {3.0, 1.75, 1.5, 0.5};
  EXPECT_DOUBLE_EQ(SolidFraction(1.75, 1.0, 2.0), 0.25);
  EXPECT_DOUBLE_EQ(FrontRadius(line, 1.0), std::sqrt(6.5));
  EXPECT_DOUBLE_EQ(LiquidusFront(line), 0.5 + 1.0 / 1.25);
  // Half solid: ring 2 has reached it, ring 1 is half way there.
  EXPECT_DOUBLE_EQ(FrontRadius(line, 0.5), std::sqrt(4.0 - 0.5 * 3.0));
  // All melt, all solid, a disc half frozen.
  line.H = {3.0, 3.0, 3.0, 3.0};
  EXPECT_DOUBLE_EQ(FrontRadius(line, 1.0), 4.0);
  EXPECT_DOUBLE_EQ(LiquidusFront(line), 4.0);
  line.H_surface = 2.5;
  EXPECT_DOUBLE_EQ(LiquidusFront(line), 4.0);
  line.H_surface = 1.0;  // the surface reaches the liquidus half way from the centre
  EXPECT_DOUBLE_EQ(LiquidusFront(line), 3.75);
  line.H = {0.5, 0.5, 0.5, 0.5};
  EXPECT_DOUBLE_EQ(FrontRadius(line, 1.0), 0.0);
  EXPECT_DOUBLE_EQ(LiquidusFront(line), 0.0);
  line.H = {1.5, 0.5, 0.5, 0.5};
  EXPECT_DOUBLE_EQ(FrontRadius(line, 1.0), std::sqrt(0.5));
  EXPECT_DOUBLE_EQ(LiquidusFront(line), 0.0);
  EXPECT_THROW(FrontRadius(line, 0.0), std::invalid_argument);
  line.faces.pop_back();
  EXPECT_THROW(FrontRadius(line, 1.0), std::invalid_argument);
}

// A sharp front at rf near r = 50 mm, sensible heat on both sides, each ring
// holding the profile's exact mean: as rf sweeps three rings the front read
// stays within 1 um and never jumps; the annulus rule is out by a tenth of
// a ring.
TEST(Front, NarrowRangeFollowsASweptFrontWithoutJumps) {
  const int I = 56;
  RadialLine line;
  for (int i = 0; i <= I; ++i) line.faces.push_back(0.001 * i);
  line.H_sol = 1.0;
  line.H_liq = 2.0;
  const auto profile = [&](double r, double rf) {
    return r >= rf ? line.H_sol - 400.0 * (r - rf) : line.H_liq + 100.0 * (rf - r);
  };
  // Mean over ring i, r-weighted midpoint rule, pieces split at rf.
  const auto ring_mean = [&](int i, double rf) {
    const double a = line.faces[i], b = line.faces[i + 1];
    double s = 0.0, w = 0.0;
    const int n = 2000;
    for (int m = 0; m < n; ++m) {
      const double r1 = a + (b - a) * m / n, r2 = a + (b - a) * (m + 1) / n;
      const auto piece = [&](double x1, double x2) {
        if (x2 <= x1) return;
        const double x = 0.5 * (x1 + x2), dA = 0.5 * (x2 * x2 - x1 * x1);
        s += profile(x, rf) * dA;
        w += dA;
      };
      piece(r1, std::min(r2, std::max(r1, rf)));
      piece(std::max(r1, std::min(r2, rf)), r2);
    }
    return s / w;
  };
  double worst = 0.0, worst_plain = 0.0, last = -1.0, largest_step = 0.0;
  const int sweep = 300;
  for (int n = 0; n <= sweep; ++n) {
    const double rf = 0.053 - 0.003 * n / sweep;  // from the face of rings 52/53 to 49/50
    line.H.assign(I, 0.0);
    for (int i = 0; i < I; ++i) line.H[i] = ring_mean(i, rf);
    line.H_surface = profile(line.faces[I], rf);
    const double r = FrontRadius(line, 1.0);
    EXPECT_LE(LiquidusFront(line), r);
    EXPECT_GT(LiquidusFront(line), r - 0.0015);  // within the freezing ring and its melt neighbour
    worst = std::max(worst, std::fabs(r - rf));
    if (last >= 0) largest_step = std::max(largest_step, std::fabs(r - last));
    last = r;
    // The annulus rule on the outermost ring not wholly solid.
    size_t j = I - 1;
    while (SolidFraction(line.H[j], 1.0, 2.0) >= 1.0) --j;
    const double f = SolidFraction(line.H[j], 1.0, 2.0), ro = line.faces[j + 1], ri = line.faces[j];
    worst_plain = std::max(worst_plain, std::fabs(std::sqrt(ro * ro - f * (ro * ro - ri * ri)) - rf));
  }
  std::printf("front error %.3g m, largest step %.3g m, annulus rule %.3g m\n", worst, largest_step, worst_plain);
  EXPECT_LT(worst, 1e-6);  // a thousandth of a ring
  EXPECT_LT(largest_step, 3.0 * 0.003 / sweep);  // a jump would be a share of a ring
  EXPECT_GT(worst_plain, 1e-4);
}

// The surface ring itself freezing: its outer point is the surface.
TEST(Front, NarrowRangeInTheSurfaceRingReadsTheSurface) {
  RadialLine line;
  line.faces = {0.0, 0.001, 0.002, 0.003};
  line.H_sol = 1.0;
  line.H_liq = 2.0;
  line.H = {2.05, 2.15, 1.4};  // melt, melt, the surface ring part solid
  line.H_surface = 0.8;
  const double with = FrontRadius(line, 1.0);
  EXPECT_GT(with, 0.002);
  EXPECT_LT(with, 0.003);
  line.H_surface = std::numeric_limits<double>::quiet_NaN();  // unknown: the annulus rule
  EXPECT_DOUBLE_EQ(FrontRadius(line, 1.0), std::sqrt(9e-6 - 0.6 * 5e-6));
  EXPECT_NE(with, FrontRadius(line, 1.0));
}

// A wide range with a potential exactly quadratic in r: the parabola through
// the front ring's centre and the two points out finds its crossing where a
// straight line would be out by a good part of a millimetre.
TEST(Front, WideRangeReadsThePotentialOnAParabola) {
  RadialLine line;
  for (int i = 0; i <= 10; ++i) line.faces.push_back(0.008 * i);  // rings of 8 mm, R = 80 mm
  line.H_sol = 1.0;
  line.H_liq = 2.0;
  line.H = {3, 3, 3, 3, 3, 3, 3, 1.6, 0.5, 0.5};  // ring 7 freezing, 8 and 9 solid
  const auto phi = [](double r) { return 1000.0 - 4e5 * (r - 0.08) * (r - 0.02); };
  line.range_K = 40;
  for (int i = 0; i < 10; ++i) line.phi.push_back(phi(0.5 * (line.faces[i] + line.faces[i + 1])));
  line.phi_surface = phi(0.08);
  const double r_f = 0.0635;
  line.phi_sol = phi(r_f);
  line.phi_liq = phi(0.055);
  EXPECT_NEAR(FrontRadius(line, 1.0), r_f, 1e-12);
  const double straight = 0.06 + (phi(0.06) - line.phi_sol) / (phi(0.06) - phi(0.068)) * 0.008;
  EXPECT_GT(std::fabs(straight - r_f), 3e-4);
  EXPECT_NEAR(LiquidusFront(line), 0.055, 1e-12);
  // The front in the surface ring: a straight line to the surface.
  line.H = {3, 3, 3, 3, 3, 3, 3, 3, 3, 1.6};
  line.phi_sol = phi(0.078);
  EXPECT_NEAR(FrontRadius(line, 1.0),
              0.076 + (phi(0.076) - line.phi_sol) / (phi(0.076) - phi(0.08)) * 0.004, 1e-12);
  // No potentials: the annulus rule.
  line.phi.clear();
  EXPECT_DOUBLE_EQ(FrontRadius(line, 1.0), std::sqrt(0.08 * 0.08 - 0.4 * (0.08 * 0.08 - 0.072 * 0.072)));
}

}  // namespace
