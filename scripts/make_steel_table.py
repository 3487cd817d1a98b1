#!/usr/bin/env python3
"""Material table of a plain low-carbon steel (about 0.15 %C, e.g. a common
structural grade) for Input/Interp.csv.

Lines: temperature [degC], volumetric enthalpy [kJ/m^3], conductivity [W/(m K)],
no header. H(T) = integral of rho(T)*cp(T) dT from 0 degC (H(0) = 0).

Usage:
  make_steel_table.py                      table on standard output
  make_steel_table.py -o Input/Interp.csv  table into a file
  make_steel_table.py --solidus 1470 --liquidus 1515 --latent-heat 260 -o my.csv

The table goes to standard output unless -o names a file, so that running the
script never replaces a case's table by accident; the example's table is
regenerated with -o examples/billet/Input/Interp.csv. State the same solidus
and liquidus under [steel] in the case's Input/Caster.toml.

Properties used (typical handbook values for 0.1-0.2 %C steel):
* Specific heat cp [J/(kg K)], 0-1200 degC: carbon-steel correlation of
  EN 1993-1-2 (structural fire design of steel), clause 3.4.1.2:
    T < 600:   425 + 0.773 T - 1.69e-3 T^2 + 2.22e-6 T^3
    600-735:   666 + 13002 / (738 - T)      (peak 5000 at 735 degC:
    735-900:   545 + 17820 / (T - 731)       ferrite-austenite / Curie region)
    900-1200:  650
  Above 1200 (austenite, delta ferrite): 650 rising to 690 at the solidus;
  liquid 800, as tabulated in steel thermophysical-property handbooks
  (liquid low-alloy steel about 750-820 J/(kg K)).
* Solidus 1480 degC, liquidus 1520 degC by default (Fe-C diagram at
  0.15 %C); latent heat of fusion 270 kJ/kg by default, released at a
  uniform rate between them (liquid fraction linear in T).
* Density [kg/m^3]: 7850 at 25 degC, thermal expansion to 7330 at the
  solidus (about -0.36 kg/(m^3 K), handbook value for carbon steel),
  7010 at the liquidus (solidification shrinkage ~4 %) and 6960 at 1600 degC
  (liquid iron/steel about -0.6 to -0.8 kg/(m^3 K)). Linear in between.
* Conductivity [W/(m K)]: EN 1993-1-2 clause 3.4.1.3:
    54 - 3.33e-2 T up to 800 degC (53.2 at 25), 27.3 from 800 to 1200;
  austenite rising slowly above 1200: 27.3 + 0.0135 (T - 1200), i.e. 30 at
  1400 and 31.1 at 1480 degC (handbook austenite values 28-32).
  Liquid: molecular value about 33 W/(m K); melt convection is modelled
  with the customary effective-conductivity factor (here 4), giving 132.
  In the mushy zone k ramps linearly with liquid fraction from the solid
  value to the effective liquid value, and stays at 132 above the liquidus.
"""
import argparse
import os
import sys

T_MAX = 1600.0            # degC, highest temperature of the table
K_LIQ_EFF = 4.0 * 33.0    # W/(m K), effective conductivity of the stirred melt


def interp(x, xs, ys):
    """Piecewise-linear interpolation on sorted xs (clamped at the ends)."""
    if x <= xs[0]:
        return ys[0]
    for i in range(1, len(xs)):
        if x <= xs[i]:
            f = (x - xs[i - 1]) / (xs[i] - xs[i - 1])
            return ys[i - 1] + f * (ys[i] - ys[i - 1])
    return ys[-1]


class Steel:
    def __init__(self, solidus, liquidus, latent):
        self.sol, self.liq, self.latent = solidus, liquidus, latent  # degC, degC, J/kg

    def density(self, T):
        return interp(T, [25.0, self.sol, self.liq, T_MAX], [7850.0, 7330.0, 7010.0, 6960.0])

    def cp(self, T):
        """Apparent specific heat [J/(kg K)], latent heat of fusion included."""
        if T < 600.0:
            return 425.0 + 0.773 * T - 1.69e-3 * T**2 + 2.22e-6 * T**3
        if T < 735.0:
            return 666.0 + 13002.0 / (738.0 - T)
        if T < 900.0:
            return 545.0 + 17820.0 / (T - 731.0)
        if T < 1200.0:
            return 650.0
        if T < self.sol:
            return 650.0 + 40.0 * (T - 1200.0) / (self.sol - 1200.0)
        if T < self.liq:
            return (interp(T, [self.sol, self.liq], [690.0, 800.0])
                    + self.latent / (self.liq - self.sol))
        return 800.0

    def conductivity(self, T):
        if T <= 800.0:
            return 54.0 - 3.33e-2 * T
        k_solid = 27.3 + 0.0135 * (min(T, self.sol) - 1200.0) if T > 1200.0 else 27.3
        fl = min(1.0, max(0.0, (T - self.sol) / (self.liq - self.sol)))  # liquid fraction
        return k_solid + fl * (K_LIQ_EFF - k_solid)


def table(steel):
    # Table temperatures: whole degrees 1..24 (so the program's refined table is
    # filled from 1 degC on), then every 5 degC from 25 to 1600.
    temps = [float(t) for t in range(1, 25)] + [float(t) for t in range(25, int(T_MAX) + 1, 5)]
    step = 0.01                               # K, midpoint-rule integration step
    rows, H, T = [], 0.0, 0.0                 # H in J/m^3
    for t in temps:
        while T < t - 1e-9:
            dT = min(step, t - T)
            Tm = T + 0.5 * dT
            H += steel.density(Tm) * steel.cp(Tm) * dT
            T += dT
        rows.append((t, H / 1000.0, steel.conductivity(t)))
    return rows


def main():
    ap = argparse.ArgumentParser(
        description="Material table (temperature, volumetric enthalpy, conductivity) of a "
        "plain low-carbon steel for Input/Interp.csv; see the script's header for the data.")
    ap.add_argument("--solidus", type=float, default=1480.0, metavar="DEGC",
                    help="solidus temperature, degC (default 1480)")
    ap.add_argument("--liquidus", type=float, default=1520.0, metavar="DEGC",
                    help="liquidus temperature, degC (default 1520)")
    ap.add_argument("--latent-heat", type=float, default=270.0, metavar="KJ_KG",
                    help="latent heat of fusion, kJ/kg (default 270)")
    ap.add_argument("-o", "--output", metavar="PATH",
                    help="file to write; without it the table goes to standard output")
    a = ap.parse_args()
    # The cp ramp of the austenite starts at 1200 degC and the table ends at
    # T_MAX, so the mushy range must lie between them.
    if not 1200.0 < a.solidus < a.liquidus < T_MAX:
        ap.error(f"expected 1200 < solidus < liquidus < {T_MAX:.0f} degC, "
                 f"got solidus {a.solidus:g} and liquidus {a.liquidus:g}")
    if not a.latent_heat >= 0.0:
        ap.error(f"expected a latent heat of zero or more kJ/kg, got {a.latent_heat:g}")

    rows = table(Steel(a.solidus, a.liquidus, a.latent_heat * 1000.0))
    text = "".join(f"{t:.1f},{h:.3f},{k:.4f}\n" for t, h, k in rows)
    if a.output is None:
        sys.stdout.write(text)
        return
    parent = os.path.dirname(a.output)
    if parent:
        os.makedirs(parent, exist_ok=True)
    with open(a.output, "w") as f:
        f.write(text)
    print(f"wrote {len(rows)} lines to {a.output} (solidus {a.solidus:g} degC, liquidus "
          f"{a.liquidus:g} degC, latent heat {a.latent_heat:g} kJ/kg)", file=sys.stderr)


if __name__ == "__main__":
    main()
