#!/usr/bin/env python3
"""Material table of a plain-carbon or low-alloy steel for Input/Interp.csv,
from a hand-set melting range or from the steel's chemistry.

Lines: temperature [degC], volumetric enthalpy [kJ/m^3], conductivity [W/(m K)],
no header. H(T) = integral of rho(T)*cp(T) dT from 0 degC (H(0) = 0).

Usage:
  make_steel_table.py                      table on standard output
  make_steel_table.py -o Input/Interp.csv  table into a file
  make_steel_table.py --solidus 1470 --liquidus 1515 --latent-heat 260 -o my.csv
  make_steel_table.py --composition "C=0.18 Si=0.25 Mn=0.80 P=0.015 S=0.010" -o my.csv
  make_steel_table.py --grade C45 --case runs/c45     a whole case for a grade
  make_steel_table.py --list-grades

The table goes to standard output unless -o or --case names where, so that
running the script never replaces a case's table by accident; the example's
table is regenerated with -o examples/billet/Input/Interp.csv. The script
prints the [steel] lines of Input/Caster.toml that match the table; --case DIR
writes them into DIR/Input/Caster.toml itself (DIR is made from the example,
with TeporaOut/ and the plot script, when it holds no case yet), and --superheat K then sets the casting
temperature of DIR/Input/TechSettings.txt to the liquidus plus K.

Melting range from the chemistry (--composition, mass %, or --grade NAME from
scripts/steel_grades.toml): the linear formulas in common use for
plain-carbon and low-alloy steels in continuous casting (quoted, for example,
in The Making, Shaping and Treating of Steel, 11th ed., Casting Volume, AISE
Steel Foundation, Pittsburgh 2003):
    T_liq = 1536 - (78 C + 7.6 Si + 4.9 Mn + 34.4 P + 38 S
                    + 4.7 Cu + 3.1 Ni + 1.3 Cr + 3.6 Al)
    T_sol = 1535 - (200 C + 12.3 Si + 6.8 Mn + 124.5 P + 183.9 S
                    + 4.3 Ni + 1.4 Cr + 4.1 Al)
Above 0.17 %C the carbon term follows the Fe-C diagram's austenite solidus;
in the peritectic range (0.09 to 0.17 %C) the straight line lies up to 22 K
above the diagram's 1495 degC, which is left out. A content above C 1.0,
Si 1.0, Mn 2.0, P 0.05, S 0.05, Cu 0.5, Ni 2.0, Cr 2.0 or Al 0.1 % lies outside the
plain-carbon and low-alloy steels they are quoted for and is warned of, as is
any element they do not hold (Mo, V, Nb, Ti, B, N ...), which is left out.
The programs compute the range of a [steel] composition with the same
coefficients (src/model/steel_chemistry.cpp).

Properties used:
* Specific heat cp [J/(kg K)], 0-1200 degC: carbon-steel correlation of
  EN 1993-1-2 (structural fire design of steel), clause 3.4.1.2:
    T < 600:   425 + 0.773 T - 1.69e-3 T^2 + 2.22e-6 T^3
    600-735:   666 + 13002 / (738 - T)      (peak 5000 at 735 degC:
    735-900:   545 + 17820 / (T - 731)       ferrite-austenite / Curie region)
    900-1200:  650
  Above 1200 (austenite, delta ferrite): 650 rising to 690 at the solidus;
  liquid 800, as tabulated in steel thermophysical-property handbooks
  (liquid low-alloy steel about 750-820 J/(kg K)). The same for every
  chemistry: where carbon moves the ferrite-austenite transformation
  (727 degC at 0.8 %C, up to about 900 degC in a low-carbon steel) is left
  out; the strand's surface stays above it in the sprays.
* Latent heat of fusion 270 kJ/kg by default (pure iron 247 kJ/kg, from
  13.8 kJ/mol; handbook values for steels 250-280), released at a uniform
  rate between solidus and liquidus (liquid fraction linear in T): the
  peritectic reaction and the uneven release of segregated solidification
  are left out.
* Density [kg/m^3]: 7850 at 25 degC, thermal expansion to 7330 at the
  solidus (about -0.36 kg/(m^3 K), handbook value for carbon steel),
  7010 at the liquidus (solidification shrinkage ~4 %) and 6960 at 1600 degC
  (liquid iron/steel about -0.6 to -0.8 kg/(m^3 K)). Linear in between.
* Conductivity [W/(m K)] with a hand-set range: EN 1993-1-2 clause 3.4.1.3:
    54 - 3.33e-2 T up to 800 degC (53.2 at 25), 27.3 from 800 to 1200.
  From a chemistry, below 700 degC Harste's fit to measured Fe-C alloys
  (K. Harste, dissertation, TU Clausthal 1989, as published by Meng and
  Thomas, Metall. Mater. Trans. B 34 (2003) 685-705), in which carbon lowers the ferrite-pearlite's conductivity:
    (80.91 - 9.9269e-2 T + 4.613e-5 T^2) (1 - a1 C^a2),
    a1 = 0.425 - 4.385e-4 T,  a2 = 0.209 + 1.09e-3 T   (C in mass %),
  then straight to the austenite's 27.3 at 800 degC, where carbon hardly
  matters; alloying elements' own effect is left out.
  Both: austenite rising slowly above 1200: 27.3 + 0.0135 (T - 1200), i.e.
  30 at 1400 and 31.1 at 1480 degC (handbook austenite values 28-32).
  Liquid: molecular value about 33 W/(m K); melt convection is modelled
  with the customary effective-conductivity factor (here 4), giving 132.
  In the mushy zone k ramps linearly with liquid fraction from the solid
  value to the effective liquid value, and stays at 132 above the liquidus.
* Table rows every 5 degC, and at the solidus and liquidus themselves (to
  0.1 degC), so that the latent heat starts and ends where the range does.
"""
import argparse
import math
import os
import re
import shutil
import sys
import tempfile

try:
    import tomllib
except ImportError:                      # Python before 3.11
    tomllib = None

T_MAX = 1600.0            # degC, highest temperature of the table
K_LIQ_EFF = 4.0 * 33.0    # W/(m K), effective conductivity of the stirred melt
HERE = os.path.dirname(os.path.abspath(__file__))
GRADES = os.path.join(HERE, "steel_grades.toml")
EXAMPLE = os.path.join(os.path.dirname(HERE), "examples", "billet")

# Liquidus and solidus coefficients, K per mass %, and the highest content of
# the plain-carbon and low-alloy steels the formulas are quoted for.
FORMULA = {  # element: (liquidus, solidus, highest)
    "C": (78.0, 200.0, 1.0), "Si": (7.6, 12.3, 1.0), "Mn": (4.9, 6.8, 2.0),
    "P": (34.4, 124.5, 0.05), "S": (38.0, 183.9, 0.05), "Cu": (4.7, 0.0, 0.5),
    "Ni": (3.1, 4.3, 2.0), "Cr": (1.3, 1.4, 2.0), "Al": (3.6, 4.1, 0.1),
}
PURE_LIQUIDUS, PURE_SOLIDUS = 1536.0, 1535.0   # degC
# Elements a heat sheet may list that the formulas leave out.
OTHER = {"Mo", "V", "Nb", "Ti", "B", "N", "W", "Co", "Sn", "As", "Sb", "Ca", "Pb", "Zr",
         "Te", "Se", "Bi", "O", "H", "Mg", "Ce", "La", "Ta", "Zn"}
MOST_CARBON = 2.1   # mass %: above it a cast iron, not a steel
MOST_ALLOY = 50.0   # mass %: iron is the balance


class Bad(Exception):
    """A wrong input, said on one line."""


def read_composition(text):
    """[(symbol, mass %)] of "C=0.18 Si=0.25" (pairs apart by spaces or commas)."""
    pairs = []
    # ASCII spaces and digits only, as the programs read them: a no-break
    # space or a digit of another script is no separator or number there.
    for pair in re.split(r"[\s,]+", text.strip(" \t\n\r\f\v"), flags=re.ASCII):
        if not pair:
            continue
        if "=" not in pair:
            raise Bad(f'has "{pair}", expected ELEMENT=PERCENT pairs such as C=0.18 Si=0.25')
        symbol, value = pair.split("=", 1)
        if symbol == "Fe":
            raise Bad("gives Fe, which is the balance; expected the alloying elements only")
        if symbol not in FORMULA and symbol not in OTHER:
            raise Bad(f'has the element "{symbol}", expected a symbol such as C, Si, Mn, P, S, '
                      "Cu, Ni, Cr, Al, Mo (as written, in upper and lower case)")
        # A decimal number as a heat sheet prints it (float() alone would
        # also take "1_0" and "inf").
        x = float(value) if re.fullmatch(r"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?", value,
                                         re.ASCII) else float("nan")
        if not (x == x and abs(x) != float("inf")):
            raise Bad(f"has {symbol}={value}, expected a content in mass % such as {symbol}=0.25")
        if x < 0:
            raise Bad(f"has {symbol}={value}, expected a content of zero or more")
        if any(s == symbol for s, _ in pairs):
            raise Bad(f"gives {symbol} twice, expected each element once")
        pairs.append((symbol, x))
    if not pairs:
        raise Bad("is empty, expected ELEMENT=PERCENT pairs such as C=0.18 Si=0.25 Mn=0.80")
    c = dict(pairs)
    if c.get("C", 0.0) > MOST_CARBON:
        raise Bad(f"has C={c['C']:g}, above the {MOST_CARBON:g} % of steels "
                  "(a cast iron, or not in mass %?)")
    if sum(c.values()) >= MOST_ALLOY:
        raise Bad(f"adds up to {sum(c.values()):g} %, expected a steel of mostly iron "
                  "(not in mass %?)")
    return pairs


def melting_range(pairs):
    """(solidus, liquidus) in degC by the formulas, summed in the formula's order."""
    c = dict(pairs)
    liq = sum(FORMULA[e][0] * c.get(e, 0.0) for e in FORMULA)
    sol = sum(FORMULA[e][1] * c.get(e, 0.0) for e in FORMULA)
    return PURE_SOLIDUS - sol, PURE_LIQUIDUS - liq


def cautions(pairs):
    lines = []
    for symbol, x in pairs:
        if symbol not in FORMULA and x > 0:
            lines.append(f"{symbol}={x:g} is left out: the liquidus and solidus formulas "
                         "do not hold it")
        elif symbol in FORMULA and x > FORMULA[symbol][2]:
            lines.append(f"{symbol}={x:g} is above the {FORMULA[symbol][2]:g} % of the "
                         "plain-carbon and low-alloy steels the formulas are quoted for; "
                         "the range is an extrapolation")
    return lines


def load_grades(path=GRADES):
    """{name: (what, composition text)} of the grades file."""
    if tomllib is None:
        raise Bad("reading the grades needs Python 3.11 or later (tomllib)")
    try:
        with open(path, "rb") as f:
            doc = tomllib.load(f)
    except OSError as e:
        raise Bad(f"{path}: {e.strerror}")
    except tomllib.TOMLDecodeError as e:
        raise Bad(f"{path}: {e}")
    grades = {}
    for name, t in doc.items():
        if not isinstance(t, dict) or not isinstance(t.get("composition"), str):
            raise Bad(f"{path}: [{name}] has no composition string")
        try:
            read_composition(t["composition"])
        except Bad as e:
            raise Bad(f"{path}: [{name}] composition \"{t['composition']}\" {e}")
        grades[name] = (str(t.get("what", "")), t["composition"])
    return grades


def interp(x, xs, ys):
    """Piecewise-linear interpolation on sorted xs (clamped at the ends)."""
    if x <= xs[0]:
        return ys[0]
    for i in range(1, len(xs)):
        if x <= xs[i]:
            f = (x - xs[i - 1]) / (xs[i] - xs[i - 1])
            return ys[i - 1] + f * (ys[i] - ys[i - 1])
    return ys[-1]


def harste_conductivity(T, carbon):
    """Conductivity of ferrite-pearlite of `carbon` mass % C at T degC, W/(m K)."""
    a1 = 0.425 - 4.385e-4 * T
    a2 = 0.209 + 1.09e-3 * T
    return (80.91 - 9.9269e-2 * T + 4.613e-5 * T * T) * (1.0 - a1 * carbon ** a2)


class Steel:
    def __init__(self, solidus, liquidus, latent, carbon=None):
        self.sol, self.liq, self.latent = solidus, liquidus, latent  # degC, degC, J/kg
        self.carbon = carbon  # mass %; None: the hand-set range's EN conductivity

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
            if self.carbon is None:
                return 54.0 - 3.33e-2 * T
            if T <= 700.0:
                return harste_conductivity(T, self.carbon)
            return interp(T, [700.0, 800.0], [harste_conductivity(700.0, self.carbon), 27.3])
        k_solid = 27.3 + 0.0135 * (min(T, self.sol) - 1200.0) if T > 1200.0 else 27.3
        fl = min(1.0, max(0.0, (T - self.sol) / (self.liq - self.sol)))  # liquid fraction
        return k_solid + fl * (K_LIQ_EFF - k_solid)


def table(steel):
    # Table temperatures: whole degrees 1..24 (so the program's refined table is
    # filled from 1 degC on), then every 5 degC from 25 to 1600, and the solidus
    # and liquidus where they fall between.
    # The programs place each point on its nearest whole degree (halves
    # upwards), so an edge takes the place of the 5-degree point it shares
    # a whole degree with.
    temps = [float(t) for t in range(1, 25)] + [float(t) for t in range(25, int(T_MAX) + 1, 5)]
    whole = lambda t: math.floor(t + 0.5)
    for edge in (round(steel.sol, 1), round(steel.liq, 1)):
        temps = [t for t in temps if whole(t) != whole(edge)] + [edge]
    temps.sort()
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


def write_whole(path, text):
    """Writes `path` whole or not at all: a temporary file beside it, renamed
    over it, so a reader never sees half a file and a symlink at `path` is
    replaced, never written through."""
    parent = os.path.dirname(path) or "."
    os.makedirs(parent, exist_ok=True)
    fd, tmp = tempfile.mkstemp(dir=parent, prefix=".tepora-")
    try:
        with os.fdopen(fd, "w") as f:
            f.write(text)
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(tmp, 0o666 & ~umask)
        os.replace(tmp, path)
    except BaseException:
        if os.path.exists(tmp):
            os.unlink(tmp)
        raise


def steel_lines(args, sol, liq, composition):
    """The [steel] lines of Input/Caster.toml for this table."""
    made = "scripts/make_steel_table.py " + (" ".join(args) if args else "with its defaults")
    lines = ["[steel]", f"# The table of Input/Interp.csv: {made}"]
    if composition is None:
        lines += [f"solidus_degC = {sol:g}", f"liquidus_degC = {liq:g}"]
    else:
        lines += [f'composition = "{composition}"   # solidus {sol:.1f}, liquidus {liq:.1f} degC']
    return lines


MELTING_KEYS = re.compile(r"\s*(solidus_degC|liquidus_degC|composition)\s*=")


def with_steel(caster, lines, path):
    """Caster.toml text `caster` with its melting range and the table's note
    replaced by `lines`, every other key and comment kept, and its line ends;
    a [steel] table is added when there is none, taking the keys of a
    top-level steel.KEY (TOML allows no [steel] beside them)."""
    newline = "\r\n" if "\r\n" in caster else "\n"
    out, inside, done, top, moved = [], False, False, True, []
    for n, line in enumerate(caster.splitlines(), 1):
        header = re.match(r"\s*\[", line)
        if header:
            top = False
            inside = re.match(r"\s*\[\s*steel\s*\]", line) is not None
            if inside:
                out += [line] + lines[1:]     # the header as written, with its comment
                done = True
                continue
        if top and re.match(r"\s*steel\s*=", line):
            raise Bad(f"{path}: line {n} gives steel as an inline table; expected a [steel] "
                      "table, whose melting range --case rewrites")
        dotted = re.match(r"\s*steel\s*\.\s*(.*)", line) if top else None
        if dotted:
            if not MELTING_KEYS.match(dotted.group(1)):
                moved.append(dotted.group(1))
            continue
        if inside and (MELTING_KEYS.match(line) or "make_steel_table.py" in line):
            continue
        out.append(line)
    if not done:
        out += [""] + lines + moved
    return newline.join(out) + newline


def make_case(case, rows_text, lines, liq, superheat):
    """The table and [steel] lines into the case DIR (made from the example
    when it holds no case); the casting temperature set or reported."""
    inp = os.path.join(case, "Input")
    caster_path = os.path.join(inp, "Caster.toml")
    if not os.path.exists(caster_path):
        if os.path.exists(inp) and os.listdir(inp):
            raise Bad(f"{inp} holds files but no Caster.toml; expected a case directory "
                      "or a new one")
        shutil.copytree(os.path.join(EXAMPLE, "Input"), inp, dirs_exist_ok=True)
        # The programs write into TeporaOut/, where the plot script must be.
        out = os.path.join(case, "TeporaOut")
        os.makedirs(out, exist_ok=True)
        if not os.path.lexists(os.path.join(out, "visualiseF.m")):   # never through a link
            shutil.copy(os.path.join(HERE, "visualiseF.m"), out)
        print(f"made {case} from the example case {os.path.relpath(EXAMPLE)}")
    with open(caster_path, newline="") as f:
        caster = f.read()
    caster = with_steel(caster, lines, caster_path)
    write_whole(os.path.join(inp, "Interp.csv"), rows_text)
    write_whole(caster_path, caster)
    print(f"wrote {inp}/Interp.csv and [steel] of {caster_path}")
    tech = os.path.join(inp, "TechSettings.txt")
    if not os.path.exists(tech):
        return
    with open(tech, newline="") as f:
        text = f.read()
    newline = "\r\n" if "\r\n" in text else "\n"
    tlines = text.splitlines()
    # The programs skip blank lines before the first number: line 4 is the
    # fourth number.
    numbers = [i for i, line in enumerate(tlines) if line.strip()]
    if len(numbers) < 4:
        return
    at = numbers[3]
    if superheat is not None:
        tlines[at] = f"{liq + superheat:.1f}"
        write_whole(tech, newline.join(tlines) + newline)
        print(f"{tech}: line 4 (casting temperature) is now {tlines[at]} degC, "
              f"{superheat:g} K above the liquidus")
        return
    try:
        cast = float(tlines[at])
    except ValueError:
        return
    print(f"{tech}: line 4 (casting temperature) is {cast:g} degC, {cast - liq:.1f} K above "
          f"this steel's liquidus (casters run 20 to 40 K; --superheat K sets it)")


def main():
    ap = argparse.ArgumentParser(
        description="Material table (temperature, volumetric enthalpy, conductivity) of a "
        "plain-carbon or low-alloy steel for Input/Interp.csv, from a melting range or the "
        "steel's chemistry; see the script's header for the data.")
    ap.add_argument("--solidus", type=float, metavar="DEGC",
                    help="solidus temperature, degC (default 1480)")
    ap.add_argument("--liquidus", type=float, metavar="DEGC",
                    help="liquidus temperature, degC (default 1520)")
    ap.add_argument("--composition", metavar='"C=0.18 Si=0.25 ..."',
                    help="the steel's chemistry in mass %%, iron the balance: solidus and "
                    "liquidus by the formulas, the conductivity for its carbon")
    ap.add_argument("--grade", metavar="NAME",
                    help="a grade of scripts/steel_grades.toml, by its nominal composition")
    ap.add_argument("--list-grades", action="store_true",
                    help="list the grades with their compositions and melting ranges")
    ap.add_argument("--latent-heat", type=float, default=270.0, metavar="KJ_KG",
                    help="latent heat of fusion, kJ/kg (default 270)")
    ap.add_argument("-o", "--output", metavar="PATH",
                    help="file to write; without it (or --case) the table goes to standard output")
    ap.add_argument("--case", metavar="DIR",
                    help="write DIR/Input/Interp.csv and the [steel] lines of "
                    "DIR/Input/Caster.toml; DIR is made from the example if it holds no case")
    ap.add_argument("--superheat", type=float, metavar="K",
                    help="with --case: set the casting temperature to the liquidus plus K")
    a = ap.parse_args()
    try:
        run(ap, a)
    except Bad as e:
        ap.exit(2, f"{ap.prog}: error: {e}\n")


def run(ap, a):
    if a.list_grades:
        for name, (what, text) in load_grades().items():
            sol, liq = melting_range(read_composition(text))
            print(f"{name:<10} solidus {sol:6.1f}, liquidus {liq:6.1f} degC  {text}  ({what})")
        return
    chemistry = [x for x in ("--composition", "--grade") if getattr(a, x[2:]) is not None]
    hand = [x for x in ("--solidus", "--liquidus") if getattr(a, x[2:]) is not None]
    if len(chemistry) > 1 or (chemistry and hand):
        ap.error(f"{' and '.join(chemistry + hand)} both give the melting range; "
                 "expected one of them")
    if a.output is not None and a.case is not None:
        ap.error("-o and --case both name where the table goes; expected one of them")
    if a.superheat is not None and a.case is None:
        ap.error("--superheat sets a case's casting temperature; expected it with --case")
    if a.superheat is not None and not 0.0 < a.superheat < 200.0:
        ap.error(f"expected a superheat above 0 and below 200 K, got {a.superheat:g}")
    if not a.latent_heat >= 0.0:
        ap.error(f"expected a latent heat of zero or more kJ/kg, got {a.latent_heat:g}")

    composition, carbon, said = None, None, []
    if a.grade is not None:
        grades = load_grades()
        if a.grade not in grades:
            raise Bad(f'--grade "{a.grade}" is not in {os.path.relpath(GRADES)}; '
                      f"its grades: {', '.join(grades)}")
        composition = grades[a.grade][1]
        said = ["--grade", a.grade]
    elif a.composition is not None:
        composition = a.composition
        said = ["--composition", f'"{a.composition}"']
    if composition is not None:
        try:
            pairs = read_composition(composition)
        except Bad as e:
            raise Bad(f'the composition "{composition}" {e}')
        for line in cautions(pairs):
            print(f"warning: composition: {line}", file=sys.stderr)
        # The table's rows lie on tenths of a degree, and so do its latent
        # heat's ends: 0.05 K at most from the formulas.
        sol, liq = (round(x, 1) for x in melting_range(pairs))
        carbon = dict(pairs).get("C", 0.0)
        composition = " ".join(p for p in re.split(r"[\s,]+", composition, flags=re.ASCII) if p)
    else:
        sol = 1480.0 if a.solidus is None else a.solidus
        liq = 1520.0 if a.liquidus is None else a.liquidus
        if a.solidus is not None:
            said += ["--solidus", f"{a.solidus:g}"]
        if a.liquidus is not None:
            said += ["--liquidus", f"{a.liquidus:g}"]
    if a.latent_heat != 270.0:
        said += ["--latent-heat", f"{a.latent_heat:g}"]
    # The cp ramp of the austenite starts at 1200 degC and the table ends at
    # T_MAX, so the mushy range must lie between them.
    if not 1200.0 < sol < liq < T_MAX:
        raise Bad(f"expected 1200 < solidus < liquidus < {T_MAX:.0f} degC, "
                  f"got solidus {sol:g} and liquidus {liq:g}")
    # The programs hold one row a whole degree: edges on the same one would
    # leave a single row, and the latent heat spread over the 5 K before it.
    if math.floor(round(sol, 1) + 0.5) == math.floor(round(liq, 1) + 0.5):
        raise Bad(f"expected a solidus and liquidus on different whole degrees (the programs' "
                  f"table holds a row a degree), got solidus {sol:g} and liquidus {liq:g}")

    rows = table(Steel(sol, liq, a.latent_heat * 1000.0, carbon))
    text = "".join(f"{t:.1f},{h:.3f},{k:.4f}\n" for t, h, k in rows)
    lines = steel_lines(said, sol, liq, composition)
    if a.case is not None:
        make_case(a.case, text, lines, liq, a.superheat)
        return
    if a.output is None:
        sys.stdout.write(text)
        print("\n".join(["Input/Caster.toml:"] + lines), file=sys.stderr)
        return
    write_whole(a.output, text)
    print(f"wrote {len(rows)} lines to {a.output} (solidus {sol:.1f} degC, liquidus "
          f"{liq:.1f} degC, latent heat {a.latent_heat:g} kJ/kg); in Input/Caster.toml:",
          file=sys.stderr, flush=True)
    print("\n".join(lines))


if __name__ == "__main__":
    main()
