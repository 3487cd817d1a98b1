// Thermal model of a round strand: enthalpy as state, temperature through the
// material table, an explicit step of the heat equation in cylindrical
// coordinates with transport in the casting direction and zone-wise surface
// cooling (mould, secondary sprays, tertiary air cooling).
#pragma once

#include "headers.h"
#include "lookup.h"
#include "step.h"

// Stefan-Boltzmann constant, W/(m^2 K^4).
const double sigma = 5.67e-8;

// Number of cells of the given width that cover an extent, ceil(extent / width),
// before its conversion to a count.
double CellsToCover(double extent, double width);

// Radial temperatures of angular sector 1 along the strand (rows from the
// axis to the surface, columns from the inlet): the profile the plots show.
mat SectorProfile(const cube& T);

// Asks Octave to plot a profile file that lies in TeporaOut; the outcome is
// not read back.
void Visualise(const char* fnameOctave);

class Tepora {
 public:
  cube T;         // temperature of every cell, degC; ndr x ndphi x ndz
  mat ConstM;     // refined material table: temperature, enthalpy J/m^3, conductivity
  mat CoolM;      // spray htc per angular sector (rows) and slice (columns), W/(m^2 K)
  mat ConstM0;    // material table as read
  double dphi;    // angular cell width, rad
  double R;       // strand radius, m
  double L;       // modelled length, m
  double Taumax;  // stored only
  double T_in;    // inlet (casting) temperature, degC
  double vz;      // casting speed, m/s
  double T_inf;   // ambient temperature, degC
  double dtau;    // time step, s
  vec dr;         // radial cell widths, m
  vec dz;         // axial cell lengths, m
  int ndr;
  int ndphi;
  int ndz;
  int p;  // time-step counter of the solvers
  double CrystallizerLength;  // mould length from the inlet, m
  double htc_k;               // mould htc, W/(m^2 K)
  double T_k;                 // temperature the mould flux refers to, degC
  double TertiaryLength;      // length of the air-cooled zone at the end, m
  // Index of the enthalpy column of ConstM for the inverse lookup, rebuilt
  // by IndexConstM whenever ConstM is set.
  EnthalpyIndex ConstHindex;
  Formulation model = Formulation::Cylindrical;  // discretisation of the time step

  // Whole strand from the run settings.
  Tepora(double dr0, double dz0, double pdphi, double pR, double pL, double pTaumax,
         double pT_in, const char* const_file, double pvz, double pT_inf, double pdtau,
         double htc);
  // One element of the strand from its temperature field and the refined
  // material table of the whole strand; the first n_z + 1 slices are cooled
  // with htcl, the rest with htc.
  Tepora(double dr0, double dz0, double dphi, cube T_old, const mat& pConstM, double pvz,
         double pT_inf, double pdtau, double htc, double pTertiaryLength, double htcl, int n_z);
  ~Tepora();

  void erase();
  void SetDisc(double dr0, double dz0, double phi);
  void SetDisc(double pdr0, double pdphi, double pdz0, cube& T_old);
  void SetSqR(double dr0, double pR);
  double getR(int ind);
  void SetDtau(double pdtau);
  void SetCoolM(double htc);
  void SetCoolM(double htc0, double htcl, int n_z);

  // Material table: SetConstM reads and refines it (ReadConstM), then saves
  // the refined and the original table (SaveConstM).
  void SetConstM(const char* filename);
  void ReadConstM(const char* filename);
  void SaveConstM();
  void IndexConstM();
  double getConstT(double& T, char swtch);
  double getConstH(double& H, char swtch);
  cube TempToEn(cube& T);
  cube EnToTemp(cube& H);
  // Longest stable time step of the explicit scheme at a casting speed,
  // estimated from the smallest cell widths and the table's largest
  // diffusivity bound.
  double StableStepEstimate(double speed);

  // Solvers.
  cube Compute(int pmax, char swtch);
  cube ComputeOpt(int ind, int pmax, cube T_L);

  // Constants of a run of steps under a rule.
  StepPlan Plan(const StepRule& rule);
  // One explicit time step from (T, H_old) into (H, T_new); every cell ends
  // with the value of the sweep in which the boundary copies run at every visit.
  void Step(const StepRule& rule, StepPlan& plan, const cube& H_old, cube& H, cube& T_new);
  // Advances T by the steps from p up to pmax; H enters as the enthalpy of T
  // and leaves as that of the last step.
  void RunSteps(int pmax, const StepRule& rule, cube& H, bool progress);

 private:
  void CheckInletTemperature(const char* const_file);
  void InitialField();
};
