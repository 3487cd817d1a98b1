// Thermal model of a round strand: enthalpy as state, temperature through the
// material table, an explicit step of the heat equation in cylindrical
// coordinates with transport in the casting direction and zone-wise surface
// cooling (mould, secondary sprays, tertiary air cooling).
#pragma once

#include "common/headers.h"
#include "model/formulations.h"
#include "model/schedule.h"
#include "model/strand_model.h"

namespace tepora {

// Radial temperatures of angular sector 1 along the strand (rows from the
// axis to the surface, columns from the inlet): the profile the plots show.
mat SectorProfile(const cube& T);

// How a piece of strand meets what lies around it: the mould, and what
// enters through its inlet.
struct PieceBounds {
  // The piece begins at the meniscus, and the slices of its first
  // CrystallizerLength take the mould's flux; false for a piece below the mould.
  bool mould = true;
  // Fixed: liquid steel at the casting temperature enters; Field: slice 0
  // holds the enthalpy of the temperatures of the face above the piece.
  InletKind inlet = InletKind::Fixed;
  mat upstream;  // Field: temperature of every cell of the face above, degC (ndr x ndphi or more)
};

// The start of a run of a piece, which does not depend on the spray htcs:
// the enthalpy and temperature of the start field and the step's constants
// with its rule. Prepared once, it serves any number of runs, each from its
// own copy.
struct PieceStart {
  cube H, T;     // start field, J/m^3 and degC (the axis disc made one in the cylindrical step)
  AnyStep step;  // the formulation's constants and rule (and the state beside T and H)
};

// The strand model: the composition of its grid, material table, cooling
// and field with the process parameters of a run (StrandModel), and the
// solvers over them.
class Tepora : public StrandModel {
 public:
  // Whole strand from the run settings.
  Tepora(double dr0, double dz0, double pdphi, double pR, double pL, double pTaumax,
         double pT_in, const char* const_file, double pvz, double pT_inf, double pdtau,
         double htc);
  // A piece of the strand from its temperature field and the refined
  // material table of the whole strand; the first n_z + 1 slices are cooled
  // with htcl, the rest with htc.
  Tepora(double dr0, double dz0, double dphi, cube T_old, const mat& pConstM, double pvz,
         double pT_inf, double pdtau, double htc, double pTertiaryLength, double htcl, int n_z);
  // Temperature of the surface at sector j, slice k of the current field,
  // degC: in the cylindrical step the outer face's temperature, which the
  // surface flux sees through half a ring of steel; in the flat step the
  // outer ring's own temperature.
  double SurfaceTemperature(int j, int k);
  // Surface temperature of every sector (rows) and slice (columns), degC.
  mat SurfaceField() const;
  // Longest stable time step of the explicit scheme at a casting speed
  // (m/s), s, estimated from the smallest cell widths and the table's
  // largest diffusivity bound.
  double StableStepEstimate(double speed) const;

  // Solvers.
  cube Compute(int pmax, char swtch);
  // pmax steps of the piece the model holds within its bounds, the field
  // left in TeporaOut/T_0.cub and its profile in TempProfile_part.mat.
  cube ComputeOpt(const PieceBounds& bounds, int pmax);
  // ComputeOpt in two parts: the start from the current field, then pmax
  // steps from it into T.
  PieceStart StartPiece(const PieceBounds& bounds);
  void RunPiece(const PieceStart& start, int pmax);

  // Enthalpy of a temperature and the field's, J/m^3: whole-degree rows in
  // the flat step, straight lines between the rows in the cylindrical one.
  double EnthalpyAt(double T) const;
  cube EnthalpyOf(const cube& T) const;

  // The rule of a run at the inlet (upstream: the temperatures of the face
  // above, degC, read by InletKind::Field) and in the mould.
  StepRule InletRule(InletKind inlet, bool mould, const mat& upstream) const;
  // Advances T by the steps from p up to pmax; H enters as the enthalpy of T
  // and leaves as that of the last step.
  void RunSteps(int pmax, const StepRule& rule, cube& H, bool progress);
  // Called around every step of the cylindrical step's runs when set (a
  // casting schedule and its history); not owned.
  RunHook* hook = nullptr;

 private:
  template <class S>
  void StepsFrom(S& step, cube& H, int pmax, bool progress);
  void CheckInletTemperature(const char* const_file);
  void InitialField();
};

}  // namespace tepora
