// Optimiser set-up: the cut of the strand into overlapping elements, every
// element's starting state, and the control points in element-local grid
// indices.
#include "optimise/optimise.h"
#include "model/tepora.h"

namespace tepora {

double GridIndex(double x, double step) { return std::ceil(x / step) - 1; }

// A position as engineers write it: to the micrometre, no trailing digits of
// the binary sum of slice lengths.
static std::string Metres(double x) { return ValueText(std::round(x * 1e6) / 1e6); }

std::vector<SprayZone> ElementStretches(const ElementLayout& layout, const vec& htcs, double dz,
                                        double mould_length, double air_from) {
  const size_t n = layout.elem.size();
  const long shared = n > 2 ? layout.right[1].Count() : 0;  // the n_offset of the cut
  std::vector<double> start(n + 1);
  start[0] = 0.0;
  for (size_t i = 1; i < n; ++i) start[i] = double(layout.elem[i].first + shared + 1) * dz;
  start[n] = double(layout.elem[n - 1].last + 1) * dz;
  std::vector<SprayZone> zones;
  for (size_t i = 0; i < n; ++i) {
    const double from = std::min(std::max(start[i], mould_length), air_from);
    const double to = std::max(std::min(start[i + 1], air_from), from);
    zones.push_back({std::round(from * 1e6) / 1e6, std::round(to * 1e6) / 1e6, htcs(i)});
  }
  return zones;
}

std::string SpraysToml(const std::vector<SprayZone>& zones) {
  std::string text =
      "# Spray zones found by tepora-opt: the stretch where each element's own htc acts.\n"
      "# Put them into Input/Caster.toml and run tepora-sim to see the strand they give.\n";
  for (size_t i = 0; i < zones.size(); ++i) {
    if (!(zones[i].to_m > zones[i].from_m)) continue;  // wholly in the mould or the air
    text += "\n[[spray]]   # element " + std::to_string(i + 1) + "\nfrom_m = " +
            ValueText(zones[i].from_m) + "\nto_m = " + ValueText(zones[i].to_m) +
            "\nhtc_W_m2K = " + ValueText(zones[i].htc) + "\n";
  }
  return text;
}

Optimise::Optimise(double pv_z, cube& T_0, double poverlap, const mat& pConstM, double pdr0,
                   double pdz0, double pdphi, double pT_inf, double pdtau, ControlPoints& pCP)
    : settings(ReadOptSettings()),
      dr0(pdr0),
      dz0(pdz0),
      dphi(pdphi),
      T_inf(pT_inf),
      dtau(pdtau),
      casting_speed(pv_z),
      ndr(int(T_0.n_rows)),
      ndphi(int(T_0.n_cols)),
      ndz(int(T_0.n_slices)),
      n_offset(0),
      T(T_0),
      overlap(poverlap),
      CP(pCP),
      RealTertiaryLength(kAirCooledLength),
      ConstM(pConstM) {
  const double steps[3] = {dr0, dphi, dz0};
  const int counts[3] = {ndr, ndphi, ndz};
  CheckControlPoints(CP.CPMat, steps, counts);
  ElemOfCP.set_size(CP.CPMat.n_rows);
  OptimalHtcs.zeros(settings.elements);
  ScenOut.assign(size_t(settings.elements), "");
  ScenErr.assign(size_t(settings.elements), "");
  SetElements();
}

// An element run starts from the element's field of the iteration before and
// its inlet slice; only steel that has entered through that inlet during the
// run carries the candidate's cooling all the way. A run shorter than the
// steel's passage through the element leaves its downstream part, where the
// points usually lie, partly the start field, and the search fits htcs to
// that. The passage is taken to a tenth of a second, as it is printed, and
// the rounding of its division by the time step is not counted as a step.
// Without steps the htcs are not searched at all, which is warned of apart;
// a strand at rest has no passage to wait for.
void Optimise::WarnIfRunsShort(double speed_m_min) const {
  const int steps = settings.element_steps;
  if (steps <= 0 || !(speed_m_min > 0)) return;
  uword slices = 0;
  for (const ElementState& el : elements) slices = std::max(slices, el.field.n_slices);
  const double length = std::round(double(slices) * dz0 * 1e6) / 1e6;   // m
  const double passage = std::round(length * 60 / speed_m_min * 10) / 10;  // s
  const double needed = std::ceil(passage / dtau * (1 - 1e-12));
  if (double(steps) >= needed) return;
  const SettingsFile file = OptSettingsFile();
  std::cout.flush();
  std::cerr << "warning: " << file.Entry(5) << " is " << steps << ", which simulates "
            << ValueText(std::round(steps * dtau * 10) / 10) << " s, shorter than the "
            << ValueText(passage) << " s the steel takes through an element of "
            << ValueText(length) << " m at " << ValueText(speed_m_min)
            << " m/min; expected at least " << ValueText(needed) << " steps" << std::endl;
}

void CheckControlPoints(const mat& M, const double steps[3], const int counts[3]) {
  if (M.n_rows == 0)
    throw InputError(
        "Input/ControlPoints.mat: no control points; expected at least one line "
        "of r (m), phi (rad), z (m), target temperature (degC)");
  if (M.n_cols < 4)
    throw InputError("Input/ControlPoints.mat: holds " + std::to_string(M.n_cols) +
                     " values per line; expected 4 (r m, phi rad, z m, target degC)");
  const char* names[3] = {"r", "phi", "z"};
  for (uword p = 0; p < M.n_rows; ++p) {
    const std::string point = "Input/ControlPoints.mat: point " + std::to_string(p + 1);
    for (int c = 0; c < 3; ++c) {
      const double x = M(p, c);
      if (!(x > 0) || !std::isfinite(x))
        throw InputError(point + " has " + names[c] + " = " + ValueText(x) +
                         ", expected a positive position");
      if ((c == 2 ? PointSlice(x, steps[c]) : GridIndex(x, steps[c])) >= counts[c])
        throw InputError(point + " has " + names[c] + " = " + ValueText(x) +
                         ", outside the grid (" + std::to_string(counts[c]) + " cells of " +
                         ValueText(steps[c]) + ")");
    }
    if (!std::isfinite(M(p, 3)))
      throw InputError(point + " has the target " + ValueText(M(p, 3)) +
                       ", expected a finite temperature");
  }
}

std::vector<uword> ElementLayout::Counts() const {
  std::vector<uword> counts;
  for (const SliceRange& r : elem) counts.push_back(uword(r.Count()));
  return counts;
}

ElementLayout ElementLayoutOf(int nElem, double overlap, int ndz) {
  double sumElem = 0;
  for (int i = 1; i < nElem; ++i) sumElem += 1 - overlap;
  int nInElem = int(std::ceil(ndz / (sumElem + 1)));
  nInElem = nInElem - nInElem % 4;
  const std::string entry = OptSettingsFile().Entry(4) + " is " + std::to_string(nElem);
  if (nInElem < 4)
    throw InputError(entry + ", which leaves fewer than four slices an element in a strand of " +
                     std::to_string(ndz) + " slices; expected fewer elements");
  // Element i starts where i regular elements, less their overlaps, end; the
  // last runs to the end of the strand.
  ElementLayout layout;
  const double e = nInElem, q = 1 - overlap;
  layout.left0 = {0, long(e * overlap - 1)};
  for (int i = 0; i < nElem - 1; ++i) {
    const double a = q * double(long(nInElem) * i);
    layout.elem.push_back({long(a), long(e + a - 1)});
    layout.right.push_back({long(q * double(long(nInElem) * (i + 1))), long(i * (e * q) + e - 1)});
  }
  layout.elem.push_back({long(q * double(long(nInElem) * (nElem - 1))), long(ndz) - 1});
  // Every range must lie in the strand, and the last element must hold more
  // than the slices it shares, which its upstream coefficient covers.
  bool fits = true;
  for (const auto* ranges : {&layout.elem, &layout.right})
    for (const SliceRange& r : *ranges) fits = fits && r.first >= 0 && r.Count() >= 1 && r.last < ndz;
  const long shared = layout.right[1].Count();
  if (!fits || layout.elem.back().Count() < std::max(4L, shared + 1))
    throw InputError(entry + ", which does not fit elements of " + std::to_string(nInElem) +
                     " slices sharing " + std::to_string(shared) + " into a strand of " +
                     std::to_string(ndz) + " slices; expected fewer elements");
  return layout;
}

// Every element's state from the strand's field: its slices, its leading
// shared ones, the casting speed and the starting htc.
void Optimise::SetElements() {
  const int n = settings.elements;
  layout = ElementLayoutOf(n, overlap, ndz);
  n_offset = int(layout.right[1].Count());
  elements.assign(size_t(n), ElementState());
  for (int i = 0; i < n; ++i) {
    ElementState& el = elements[size_t(i)];
    el.slices = layout.elem[size_t(i)];
    el.shared_before = i == 0 ? layout.left0.Count() : layout.right[size_t(i) - 1].Count();
    el.field = T.slices(uword(el.slices.first), uword(el.slices.last));
    el.speed = casting_speed;
    el.htc = kStartHtc;
  }

  std::cout << "Setting Elements done.... \n\n";
  std::cout << "Number of z slices in elements:" << "\n";
  for (const ElementState& el : elements)
    std::cout << el.field.n_slices << " with overlap: " << el.shared_before << ", z = "
              << Metres(double(el.slices.first) * dz0) << " .. "
              << Metres(double(el.slices.last + 1) * dz0) << " m\n";

  AssignControlPoints();
}

// The points in element-local grid indices: the stored slice is the point's
// offset from the first slice of its element.
void Optimise::AssignControlPoints() {
  mat& M = CP.CPMat;
  CPRadius = M.n_rows > 0 ? vec(M.col(0)) : vec();
  for (uword p = 0; p < M.n_rows; ++p) {
    M(p, 0) = GridIndex(M(p, 0), dr0);
    M(p, 1) = GridIndex(M(p, 1), dphi);
    M(p, 2) = PointSlice(M(p, 2), dz0);
  }
  std::vector<uword> slices;
  for (const ElementState& el : elements) slices.push_back(el.field.n_slices);
  vec offset = M.col(2);
  PlacePoints(offset, ElemOfCP, slices, n_offset);
  M.col(2) = offset;

  std::cout << "\n" << "Setting Control Points done:" << "\n";
  for (uword p = 0; p < M.n_rows; ++p)
    std::cout << "Point " << p + 1 << " in element " << ElemOfCP(p) + 1 << " at position "
              << M(p, 2) << "." << "\n";
  CheckUnpointedElements(ElemOfCP, M(0, 2), slices, true);
}

void PlacePoints(vec& slice, vec& element, const std::vector<uword>& elem_slices, int n_offset) {
  const int nElem = int(elem_slices.size());
  element.set_size(slice.n_elem);
  for (uword p = 0; p < slice.n_elem; ++p) {
    const double Mz = slice(p);
    if (Mz - double(elem_slices[0]) < 0) {
      element(p) = 0;
      continue;
    }
    int diff = int(Mz), c = 0, diff_old = 0;
    while (c < nElem - 1) {
      diff = diff + n_offset - int(elem_slices[c]);
      if (diff < 0) break;
      diff_old = diff;
      ++c;
    }
    element(p) = c;
    slice(p) = diff_old;
  }
}

void CheckUnpointedElements(const vec& element, double offset1,
                            const std::vector<uword>& elem_slices, bool warn) {
  for (uword i = 0; i < elem_slices.size(); ++i) {
    if (any(element == double(i))) continue;
    if (warn)
      std::cerr << "warning: element " << i + 1
                << " holds no control point; it is scored at the indices of point 1" << std::endl;
    if (offset1 >= double(elem_slices[i]))
      throw InputError("Input/ControlPoints.mat: element " + std::to_string(i + 1) +
                       " holds no control point, and point 1's position " + ValueText(offset1) +
                       " lies outside its " + std::to_string(elem_slices[i]) +
                       " slices; expected a control point in that element");
  }
}

}  // namespace tepora
