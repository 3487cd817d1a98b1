// The steel's melting range from its chemistry, and the grades the table
// script knows, through both programs.
#include <toml++/toml.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <map>

#include "model/steel_chemistry.h"
#include "test_support.h"

namespace tepora {
namespace {

SteelComposition Read(const std::string& text) {
  SteelComposition c;
  const std::string wrong = ReadComposition(text, c);
  EXPECT_EQ(wrong, "") << text;
  return c;
}

// The formulas' sums worked by hand, term by term, for three heats: the
// liquidus holds Cu and the solidus does not, so a formula that swapped or
// dropped a coefficient misses one of them by more than 0.1 K.
TEST(SteelChemistry, MeltingRangesOfThreeHeatsWorkedByHand) {
  struct Heat {
    const char* text;
    double liquidus, solidus;  // degC
  };
  const Heat heats[] = {
      // 78*0.18 + 7.6*0.25 + 4.9*0.80 + 34.4*0.015 + 38*0.010 = 20.756;
      // 200*0.18 + 12.3*0.25 + 6.8*0.80 + 124.5*0.015 + 183.9*0.010 = 48.2215
      {"C=0.18 Si=0.25 Mn=0.80 P=0.015 S=0.010", 1536 - 20.756, 1535 - 48.2215},
      // 31.2 + 2.28 + 3.43 + 0.688 + 0.57 + Cu 0.94 + Ni 3.1 + Cr 1.3 + Al 0.108 = 43.616;
      // 80 + 3.69 + 4.76 + 2.49 + 2.7585 + Ni 4.3 + Cr 1.4 + Al 0.123 = 99.5215
      {"C=0.40,Si=0.30,Mn=0.70,P=0.020,S=0.015,Cu=0.20,Ni=1.0,Cr=1.0,Al=0.03", 1536 - 43.616,
       1535 - 99.5215},
      // 62.4 + 1.52 + 3.185 + 0.4128 + 0.38 = 67.8978; 160 + 2.46 + 4.42 + 1.494 + 1.839 = 170.213
      {"C=0.80\tSi=0.20  Mn=0.65 P=0.012 S=0.010", 1536 - 67.8978, 1535 - 170.213},
  };
  for (const Heat& h : heats) {
    const SteelComposition c = Read(h.text);
    EXPECT_NEAR(LiquidusDegC(c), h.liquidus, 1e-9) << h.text;
    EXPECT_NEAR(SolidusDegC(c), h.solidus, 1e-9) << h.text;
    EXPECT_TRUE(CompositionCautions(c).empty()) << h.text;
  }
  // The Fe-C diagram's invariant points: pure iron melts at 1538 degC; the
  // peritectic at 1495 degC joins the melt of 0.53 %C and the austenite of
  // 0.17 %C, the eutectic at 1147 degC the austenite of 2.11 %C. Between
  // 0.17 and 2.11 %C the austenite solidus runs nearly straight.
  EXPECT_NEAR(LiquidusDegC(Read("C=0")), 1538, 2.5);
  EXPECT_NEAR(LiquidusDegC(Read("C=0.53")), 1495, 1.0);
  for (double c : {0.17, 0.53, 0.8}) {
    const double diagram = 1495 + (c - 0.17) / (2.11 - 0.17) * (1147 - 1495);
    EXPECT_NEAR(SolidusDegC(Read("C=" + std::to_string(c))), diagram, 7.5) << c;
  }
}

TEST(SteelChemistry, ReadsAHeatSheetAndRefusesWhatIsNoSteel) {
  const SteelComposition c = Read(" C=0.42 , Mn=0.7\nMo=0.2 ");
  EXPECT_EQ(c.text, "C=0.42 Mn=0.7 Mo=0.2");
  EXPECT_EQ(c.Percent("Mn"), 0.7);
  EXPECT_EQ(c.Percent("Si"), 0.0);
  // Mo is accepted and left out of the range, with a line that says so.
  EXPECT_DOUBLE_EQ(LiquidusDegC(c), LiquidusDegC(Read("C=0.42 Mn=0.7")));
  ASSERT_EQ(CompositionCautions(c).size(), 1u);
  EXPECT_NE(CompositionCautions(c)[0].find("Mo=0.2 is left out"), npos);
  const std::vector<std::string> high = CompositionCautions(Read("C=1.2 Si=3 Al=0.05"));
  ASSERT_EQ(high.size(), 2u);
  EXPECT_NE(high[0].find("C=1.2 is above the 1 %"), npos);
  EXPECT_NE(high[1].find("Si=3 is above the 1 %"), npos);

  const std::pair<const char*, const char*> refused[] = {
      {"", "is empty"},
      {" , ", "is empty"},
      {"C0.18", "has \"C0.18\", expected ELEMENT=PERCENT pairs"},
      {"C=0.18 Fe=98", "Fe, which is the balance"},
      {"C=0.18 si=0.2", "has the element \"si\""},
      {"C=", "has C=, expected a content in mass %"},
      {"C=0.18%", "has C=0.18%, expected a content"},
      {"C=nan", "has C=nan"},
      {"C=0x0.3", "has C=0x0.3"},
      {"Mn=-0.1", "expected a content of zero or more"},
      {"C=0.1 Mn=1 C=0.2", "gives C twice"},
      {"C=2.5", "above the 2.1 % of steels"},
      {"Mn=30 Cr=25", "adds up to 55 %"},
  };
  for (const auto& [text, why] : refused) {
    SteelComposition r;
    EXPECT_NE(ReadComposition(text, r).find(why), npos) << text << ": " << ReadComposition(text, r);
  }
}

// What a command prints, its status in `status`.
std::string Output(const std::string& command, int& status) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
  const int rc = pclose(p);
  status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

const std::string kScript =
    std::string(TEPORA_PYTHON) + " " + TEPORA_SOURCE_DIR + "/scripts/make_steel_table.py";

std::map<std::string, std::string> Grades() {
  const toml::table doc = toml::parse_file(TEPORA_SOURCE_DIR "/scripts/steel_grades.toml");
  std::map<std::string, std::string> grades;
  for (auto&& [name, t] : doc)
    grades[std::string(name.str())] = t.as_table()->get("composition")->value_or(std::string());
  return grades;
}

// The script computes the range of its tables, the programs that of a
// [steel] composition: the two carry the same coefficients.
TEST(SteelGrades, TheScriptAndTheProgramsGiveOneRange) {
  int status = -1;
  const std::string listing = Output(kScript + " --list-grades", status);
  ASSERT_EQ(status, 0) << listing;
  const std::map<std::string, std::string> grades = Grades();
  ASSERT_GE(grades.size(), 4u);
  for (const auto& [name, text] : grades) {
    const size_t at = listing.find(name + " ");
    ASSERT_NE(at, npos) << name << " missing from\n" << listing;
    double sol = 0, liq = 0;
    ASSERT_EQ(std::sscanf(listing.c_str() + at + name.size(), " solidus %lf, liquidus %lf", &sol,
                          &liq),
              2)
        << listing.substr(at, 80);
    const SteelComposition c = Read(text);
    EXPECT_NEAR(sol, SolidusDegC(c), 0.05) << name;
    EXPECT_NEAR(liq, LiquidusDegC(c), 0.05) << name;
    EXPECT_TRUE(CompositionCautions(c).empty()) << name << ": " << CompositionCautions(c)[0];
  }
  // Each agreeing heat the script reads, each refused one it refuses on one line.
  for (const char* text : {"C=0.05 Si=0.9 Mn=1.9 P=0.04 S=0.04 Cu=0.4 Ni=1.9 Cr=1.9 Al=0.09",
                           "C=0.95 Mn=0.3"}) {
    const std::string lines =
        Output(kScript + " --composition \"" + text + "\" 2>&1 >/dev/null", status);
    double sol = 0, liq = 0;
    const size_t at = lines.find("# solidus ");
    ASSERT_NE(at, npos) << lines;
    ASSERT_EQ(std::sscanf(lines.c_str() + at, "# solidus %lf, liquidus %lf", &sol, &liq), 2);
    EXPECT_NEAR(sol, SolidusDegC(Read(text)), 0.05) << text;
    EXPECT_NEAR(liq, LiquidusDegC(Read(text)), 0.05) << text;
  }
  const std::string refused = Output(kScript + " --composition \"C=0.2 Fe=99\" 2>&1", status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(refused.find("error: the composition \"C=0.2 Fe=99\" gives Fe, which is the balance"),
            npos)
      << refused;
  EXPECT_EQ(std::count(refused.begin(), refused.end(), '\n'), 1) << refused;
}

// Every grade makes a whole case in one command, which both programs run
// without a refusal or a word about the steel, and which reports the
// grade's range.
TEST(SteelGrades, EachGradeMakesACaseBothProgramsRun) {
  for (const auto& [name, text] : Grades()) {
    RunDir dir;
    int status = -1;
    const std::string made =
        Output(kScript + " --grade " + name + " --case . --superheat 30 2>&1", status);
    ASSERT_EQ(status, 0) << made;
    ASSERT_NE(ReadFile("Input/Caster.toml").find("composition = \"" + text + "\""), npos)
        << ReadFile("Input/Caster.toml");
    for (const char* program : {TEPORA_SIM, TEPORA_OPT}) {
      const Outcome r = Start(program, 2, false, {"--no-plot"});
      ASSERT_EQ(r.status, 0) << name << " " << program << "\n" << r.err;
      for (const char* word : {"[steel]", "steel.", "liquidus", "solidus", "Interp.csv"})
        EXPECT_EQ(r.err.find(word), npos) << name << " " << program << "\n" << r.err;
    }
    const nlohmann::json summary = nlohmann::json::parse(ReadFile("TeporaOut/Summary.json"));
    const SteelComposition c = Read(text);
    EXPECT_NEAR(summary["liquidus_degC"].get<double>(), LiquidusDegC(c), 1e-3) << name;
    EXPECT_NEAR(summary["solidus_degC"].get<double>(), SolidusDegC(c), 1e-3) << name;
    EXPECT_EQ(summary["composition_mass_percent"], text) << name;
    EXPECT_NE(ReadFile("TeporaOut/OptimalSprays.toml").find("composition = \"" + text + "\""),
              npos)
        << name;
  }
}

}  // namespace
}  // namespace tepora
