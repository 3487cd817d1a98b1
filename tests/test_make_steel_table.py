"""The steel table script: its heats against integrals worked by hand, and the
cases it writes."""
import os
import subprocess
import sys
import tempfile
import tomllib
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "scripts",
                      "make_steel_table.py")


def run(*args, cwd=None):
    return subprocess.run([sys.executable, SCRIPT, *args], capture_output=True, text=True,
                          cwd=cwd)


def table(*args):
    r = run(*args)
    assert r.returncode == 0, r.stderr
    return {float(t): (float(h), float(k))
            for t, h, k in (line.split(",") for line in r.stdout.splitlines())}


def gauss3(f, a, b):
    """Three-point Gauss-Legendre: exact for polynomials up to degree five."""
    m, h = 0.5 * (a + b), 0.5 * (b - a)
    x = h * (3.0 / 5.0) ** 0.5
    return h * (5.0 * f(m - x) + 8.0 * f(m) + 5.0 * f(m + x)) / 9.0


class HeatOfTheTable(unittest.TestCase):
    """rho cp is a product of straight lines and a cubic over each stretch, so
    its integral is exact by three-point Gauss; the table integrates it step
    by step."""

    def melting(self, sol, liq, H):
        # Latent heat L over the mean density, plus the sensible heat of cp
        # rising from 690 to 800 J/(kg K) while rho falls from 7330 to 7010.
        rho = lambda T: 7330.0 + (T - sol) / (liq - sol) * (7010.0 - 7330.0)
        cp = lambda T: 690.0 + (T - sol) / (liq - sol) * (800.0 - 690.0)
        latent = 270e3 * 0.5 * (7330.0 + 7010.0)
        sensible = gauss3(lambda T: rho(T) * cp(T), sol, liq)
        self.assertAlmostEqual(H[liq][0] - H[sol][0], (latent + sensible) / 1000.0, delta=0.01)

    def test_sensible_and_latent_heat(self):
        sol, liq = 1470.0, 1515.0
        H = table("--solidus", str(sol), "--liquidus", str(liq))
        rho = lambda T: 7850.0 + (T - 25.0) / (sol - 25.0) * (7330.0 - 7850.0)
        en_cp = lambda T: 425.0 + 0.773 * T - 1.69e-3 * T ** 2 + 2.22e-6 * T ** 3
        # Ferrite below the transformation: EN 1993-1-2's cubic, kJ/m^3.
        self.assertAlmostEqual(H[600.0][0] - H[25.0][0],
                               gauss3(lambda T: rho(T) * en_cp(T), 25.0, 600.0) / 1000.0,
                               delta=0.01)
        # Austenite at 650 J/(kg K).
        self.assertAlmostEqual(H[1200.0][0] - H[900.0][0],
                               650.0 * 300.0 * 0.5 * (rho(900.0) + rho(1200.0)) / 1000.0,
                               delta=0.01)
        self.melting(sol, liq, H)
        # From a chemistry: the range on tenths of a degree, rows at both ends.
        # 1536 - (78*0.46 + 7.6*0.25 + 4.9*0.65 + 34.4*0.015 + 38*0.02) = 1493.789
        # 1535 - (200*0.46 + 12.3*0.25 + 6.8*0.65 + 124.5*0.015 + 183.9*0.02) = 1430.0
        H = table("--grade", "C45")
        self.melting(1430.0, 1493.8, H)
        # Carbon lowers the ferrite's conductivity (about 48 W/(m K) at
        # 0.8 %C against 62 at 0.06 %C at room temperature), not the melt's.
        low, high = table("--composition", "C=0.06"), table("--composition", "C=0.8")
        self.assertGreater(low[25.0][1] - high[25.0][1], 10.0)
        self.assertEqual(low[1600.0][1], high[1600.0][1])


class Cases(unittest.TestCase):
    def test_a_grade_into_a_case_keeps_the_rest_of_it(self):
        with tempfile.TemporaryDirectory() as d:
            os.makedirs(os.path.join(d, "Input"))
            caster = ("[mould]\nlength_m = 0.7  # tube\n\n[steel]\n"
                      "# The table of Input/Interp.csv: scripts/make_steel_table.py\n"
                      "solidus_degC = 1480\nliquidus_degC = 1520\ncrater_solid_fraction = 0.9\n"
                      "\n[air]\nfrom_m = 9\n")
            with open(os.path.join(d, "Input", "Caster.toml"), "w") as f:
                f.write(caster)
            elsewhere = os.path.join(d, "elsewhere.csv")
            with open(elsewhere, "w") as f:
                f.write("kept\n")
            os.symlink(elsewhere, os.path.join(d, "Input", "Interp.csv"))
            r = run("--grade", "C80D", "--case", d)
            self.assertEqual(r.returncode, 0, r.stderr)
            with open(os.path.join(d, "Input", "Caster.toml")) as f:
                written = f.read()
            self.assertEqual(written, caster.replace(
                "# The table of Input/Interp.csv: scripts/make_steel_table.py\n"
                "solidus_degC = 1480\nliquidus_degC = 1520\n",
                "# The table of Input/Interp.csv: scripts/make_steel_table.py --grade C80D\n"
                'composition = "C=0.80 Si=0.20 Mn=0.65 P=0.012 S=0.010"   '
                "# solidus 1364.8, liquidus 1468.1 degC\n"))
            # The link is replaced by the table, never written through.
            with open(elsewhere) as f:
                self.assertEqual(f.read(), "kept\n")
            self.assertFalse(os.path.islink(os.path.join(d, "Input", "Interp.csv")))

    def test_every_form_of_a_steel_table_comes_out_one_valid_table(self):
        # [steel] as top-level dotted keys, as a header with spaces and a
        # comment at the end of a CRLF file without its last line end.
        forms = [
            ("steel.solidus_degC = 1480\nsteel.crater_solid_fraction = 0.9\n"
             "[mould]\nlength_m = 0.7  # tube\n", "\n"),
            ("[mould]\r\nlength_m = 0.7  # tube\r\n[ steel ]  # the heat\r\n"
             "solidus_degC = 1480  # said\r\nliquidus_degC = 1520\r\n"
             "crater_solid_fraction = 0.9", "\r\n"),
        ]
        for caster, newline in forms:
            with tempfile.TemporaryDirectory() as d:
                os.makedirs(os.path.join(d, "Input"))
                with open(os.path.join(d, "Input", "Caster.toml"), "w", newline="") as f:
                    f.write(caster)
                # The programs skip blank lines before the first number.
                with open(os.path.join(d, "Input", "TechSettings.txt"), "w", newline="") as f:
                    f.write(newline.join(["", "0.08", "13", "30", "1550", "2.0", ""]))
                r = run("--grade", "C45", "--case", d, "--superheat", "30")
                self.assertEqual(r.returncode, 0, r.stderr)
                with open(os.path.join(d, "Input", "Caster.toml"), "rb") as f:
                    written = f.read().decode()
                self.assertEqual(written.count("\n"), written.count(newline), repr(written))
                doc = tomllib.loads(written)
                self.assertEqual(doc["steel"], {
                    "composition": "C=0.46 Si=0.25 Mn=0.65 P=0.015 S=0.020",
                    "crater_solid_fraction": 0.9}, written)
                self.assertEqual(doc["mould"], {"length_m": 0.7})
                self.assertIn("# tube", written)
                with open(os.path.join(d, "Input", "TechSettings.txt"), newline="") as f:
                    self.assertEqual(f.read(), newline.join(
                        ["", "0.08", "13", "30", "1523.8", "2.0", ""]))
        # An inline table cannot take a line of its own: refused, nothing written.
        with tempfile.TemporaryDirectory() as d:
            os.makedirs(os.path.join(d, "Input"))
            caster = "steel = { solidus_degC = 1480, liquidus_degC = 1520 }\n"
            with open(os.path.join(d, "Input", "Caster.toml"), "w") as f:
                f.write(caster)
            r = run("--grade", "C45", "--case", d)
            self.assertEqual(r.returncode, 2, r.stderr)
            self.assertIn("Caster.toml: line 1 gives steel as an inline table", r.stderr)
            self.assertEqual(os.listdir(os.path.join(d, "Input")), ["Caster.toml"])

    def test_refusals_are_one_line(self):
        for args, said in [
                (["--grade", "C99"], '--grade "C99" is not in'),
                (["--composition", "C=0.2", "--solidus", "1480"], "both give the melting range"),
                (["--composition", "C=0.2 Xx=1"], 'has the element "Xx"'),
                # What the programs read neither: a no-break space, an Arabic-Indic digit.
                (["--composition", "C=0.2\u00a0Si=0.2"], "has C=0.2\u00a0Si=0.2, expected"),
                (["--composition", "C=\u0660.2"], "expected a content in mass %"),
                (["--superheat", "30"], "expected it with --case"),
                (["--composition", "C=2.0"], "expected 1200 < solidus < liquidus"),
                # 1534.8 and 1534.982 share the whole degree 1535.
                (["--composition", "C=0.001 Cu=0.2"], "on different whole degrees"),
                (["--solidus", "1500.1", "--liquidus", "1500.4"], "on different whole degrees")]:
            r = run(*args)
            self.assertEqual(r.returncode, 2, args)
            self.assertEqual(r.stdout, "", args)
            errors = [line for line in r.stderr.splitlines() if ": error: " in line]
            self.assertEqual(len(errors), 1, r.stderr)
            self.assertIn(said, errors[0])


if __name__ == "__main__":
    unittest.main()
