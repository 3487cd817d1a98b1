#include "model/steel_chemistry.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "common/errors.h"

namespace tepora {

namespace {

// The formulas' coefficients, K per mass %, and the highest content of each
// element in the plain-carbon and low-alloy steels they are quoted for.
struct Element {
  const char* symbol;
  double liquidus;  // K/%
  double solidus;   // K/%
  double highest;   // mass %
};
const Element kFormula[] = {
    {"C", 78.0, 200.0, 1.0},  {"Si", 7.6, 12.3, 1.0},   {"Mn", 4.9, 6.8, 2.0},
    {"P", 34.4, 124.5, 0.05}, {"S", 38.0, 183.9, 0.05}, {"Cu", 4.7, 0.0, 0.5},
    {"Ni", 3.1, 4.3, 2.0},    {"Cr", 1.3, 1.4, 2.0},    {"Al", 3.6, 4.1, 0.1},
};
const double kPureLiquidus = 1536.0;  // degC
const double kPureSolidus = 1535.0;   // degC

// Elements a heat sheet may list that the formulas leave out.
const char* const kOtherElements[] = {"Mo", "V",  "Nb", "Ti", "B",  "N",  "W",  "Co", "Sn",
                                      "As", "Sb", "Ca", "Pb", "Zr", "Te", "Se", "Bi", "O",
                                      "H",  "Mg", "Ce", "La", "Ta", "Zn"};

// Above 2.1 %C iron solidifies with a eutectic: a cast iron, not a steel.
const double kMostCarbon = 2.1;
// Iron is the balance: alloying elements of half the mass are not a steel.
const double kMostAlloy = 50.0;

const Element* FormulaElement(const std::string& s) {
  for (const Element& e : kFormula)
    if (s == e.symbol) return &e;
  return nullptr;
}

bool OtherElement(const std::string& s) {
  for (const char* e : kOtherElements)
    if (s == e) return true;
  return false;
}

double Sum(const SteelComposition& c, double Element::*coefficient) {
  double sum = 0;
  for (const Element& e : kFormula) sum += e.*coefficient * c.Percent(e.symbol);
  return sum;
}

}  // namespace

double SteelComposition::Percent(const std::string& symbol) const {
  for (const auto& [s, x] : elements)
    if (s == symbol) return x;
  return 0;
}

std::string ReadComposition(const std::string& text, SteelComposition& c) {
  c.elements.clear();
  c.text.clear();
  size_t at = 0;
  double alloy = 0;
  for (;;) {
    while (at < text.size() && (std::isspace(static_cast<unsigned char>(text[at])) || text[at] == ','))
      ++at;
    if (at == text.size()) break;
    size_t end = at;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) &&
           text[end] != ',')
      ++end;
    const std::string pair = text.substr(at, end - at);
    at = end;
    const size_t eq = pair.find('=');
    if (eq == std::string::npos)
      return "has \"" + pair + "\", expected ELEMENT=PERCENT pairs such as C=0.18 Si=0.25";
    const std::string symbol = pair.substr(0, eq), value = pair.substr(eq + 1);
    if (symbol == "Fe")
      return "gives Fe, which is the balance; expected the alloying elements only";
    if (!FormulaElement(symbol) && !OtherElement(symbol))
      return "has the element \"" + symbol + "\", expected a symbol such as C, Si, Mn, P, S, "
             "Cu, Ni, Cr, Al, Mo (as written, in upper and lower case)";
    char* stop = nullptr;
    const double x = std::strtod(value.c_str(), &stop);
    // A decimal number as a heat sheet prints it (strtod alone would also
    // take hexadecimal and "inf").
    if (value.empty() || value.find_first_not_of("0123456789.+-eE") != std::string::npos ||
        stop != value.c_str() + value.size() || !std::isfinite(x))
      return "has " + symbol + "=" + value + ", expected a content in mass % such as " + symbol +
             "=0.25";
    if (x < 0) return "has " + symbol + "=" + value + ", expected a content of zero or more";
    for (const auto& [s, y] : c.elements)
      if (s == symbol) return "gives " + symbol + " twice, expected each element once";
    c.elements.emplace_back(symbol, x);
    c.text += (c.text.empty() ? "" : " ") + pair;
    alloy += x;
  }
  if (c.elements.empty())
    return "is empty, expected ELEMENT=PERCENT pairs such as C=0.18 Si=0.25 Mn=0.80";
  if (c.Percent("C") > kMostCarbon)
    return "has C=" + ValueText(c.Percent("C")) + ", above the " + ValueText(kMostCarbon) +
           " % of steels (a cast iron, or not in mass %?)";
  if (alloy >= kMostAlloy)
    return "adds up to " + ValueText(alloy) + " %, expected a steel of mostly iron (not in "
           "mass %?)";
  return "";
}

double LiquidusDegC(const SteelComposition& c) {
  return kPureLiquidus - Sum(c, &Element::liquidus);
}

double SolidusDegC(const SteelComposition& c) { return kPureSolidus - Sum(c, &Element::solidus); }

std::vector<std::string> CompositionCautions(const SteelComposition& c) {
  std::vector<std::string> lines;
  for (const auto& [s, x] : c.elements) {
    const Element* e = FormulaElement(s);
    if (!e && x > 0)
      lines.push_back(s + "=" + ValueText(x) + " is left out: the liquidus and solidus formulas "
                      "do not hold it");
    else if (e && x > e->highest)
      lines.push_back(s + "=" + ValueText(x) + " is above the " + ValueText(e->highest) +
                      " % of the plain-carbon and low-alloy steels the formulas are quoted for; "
                      "the range is an extrapolation");
  }
  return lines;
}

}  // namespace tepora
