// The melting range of a steel from its chemistry, as the heat sheet gives
// it: mass percentages of the alloying elements, iron the balance.
//
// Linear liquidus and solidus formulas in common use for plain-carbon and
// low-alloy steels in continuous casting (quoted, for example, in The
// Making, Shaping and Treating of Steel, 11th ed., Casting Volume, AISE
// Steel Foundation, Pittsburgh 2003), T in degC, elements in mass %:
//
//   T_liq = 1536 - (78 C + 7.6 Si + 4.9 Mn + 34.4 P + 38 S
//                   + 4.7 Cu + 3.1 Ni + 1.3 Cr + 3.6 Al)
//   T_sol = 1535 - (200 C + 12.3 Si + 6.8 Mn + 124.5 P + 183.9 S
//                   + 4.3 Ni + 1.4 Cr + 4.1 Al)
//
// Above 0.17 %C the carbon term follows the Fe-C diagram's austenite
// solidus; in the peritectic range (0.09 to 0.17 %C) the straight line lies
// up to 22 K above the diagram's 1495 degC, and that and any other phase
// detail are left out. Elements the formulas do not hold (Mo, V, Nb, Ti, B,
// N ...) are accepted and left out, with a warning: at the few tenths of a
// percent of low-alloy steels they move the range by about a kelvin.
//
// scripts/make_steel_table.py carries the same coefficients for the tables
// it makes; a test checks that the two agree.
#pragma once

#include <string>
#include <vector>

namespace tepora {

// Mass percentages of the elements a heat sheet lists.
struct SteelComposition {
  std::vector<std::pair<std::string, double>> elements;  // symbol, mass %, in the given order
  std::string text;  // the pairs as given, one space apart
  double Percent(const std::string& symbol) const;        // 0 when not given
};

// Reads "C=0.18 Si=0.25 Mn=0.80" (pairs apart by spaces or commas). Returns
// what is wrong with the text, empty when it reads.
std::string ReadComposition(const std::string& text, SteelComposition& c);

double LiquidusDegC(const SteelComposition& c);
double SolidusDegC(const SteelComposition& c);

// One line per element outside the compositions the formulas are quoted
// for (plain-carbon and low-alloy steels), or not in them at all.
std::vector<std::string> CompositionCautions(const SteelComposition& c);

}  // namespace tepora
