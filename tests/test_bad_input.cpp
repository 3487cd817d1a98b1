// Bad input, end to end: every fault of every input file ends the run with
// the documented status and one line on standard error naming the file, the
// entry and what was expected, never with a signal, and a run stopped for
// bad input leaves TeporaOut as it found it.
//
// TEPORA_LIST_BAD_INPUT=1 prints each case's outcome as a Markdown table row.
#include <sys/stat.h>

#include <algorithm>
#include <set>

#include "test_support.h"

namespace {

// Contents that are not text to write.
const char kMissing[] = "<missing>";
const char kUnreadable[] = "<unreadable>";
const char kDirectory[] = "<directory>";
const char kBinary[] = "<binary>";
const char kPipe[] = "<pipe>";  // a reader that opens it waits for ever

struct BadInput {
  std::string name;     // test name
  std::string program;  // "sim" or "opt"
  std::string file;     // the input changed from the small case
  std::string fault;    // what is wrong with it
  std::string content;  // its new content, or one of the markers above
  int status;           // expected exit status
  std::string message;  // in the line that reports the fault
};

std::ostream& operator<<(std::ostream& os, const BadInput& c) { return os << c.name; }

const char kNum[] = "Input/NumSettings.txt";
const char kTech[] = "Input/TechSettings.txt";
const char kTable[] = "Input/Interp.csv";
const char kPoints[] = "Input/ControlPoints.mat";
const char kOpt[] = "Input/OptSettings.txt";
const char kStart[] = "TeporaOut/T_0.cub";
const char kCaster[] = "Input/Caster.toml";

// A temperature field of the small case's grid (5 x 8 x 30 cells) in the
// simulator's own format, with `value` in its first cell.
std::string StartField(const std::string& value) {
  std::string text = "ARMA_CUB_TXT_FN008\n5 8 30\n";
  for (int n = 0; n < 5 * 8 * 30; ++n) text += (n == 0 ? value : "1500") + (n % 8 == 7 ? "\n" : " ");
  return text;
}

// Faults of the file as a whole. Every input goes through one reader, so
// they are tried on one file, and a missing file on each of the others; the
// message follows "<file>: ".
std::vector<BadInput> FileFaults() {
  const char* generic[][4] = {
      {"Missing", "missing", kMissing, "missing; expected"},
      {"Empty", "empty", "\n\n", "is empty; expected"},
      {"Unreadable", "no read permission", kUnreadable, "cannot be read (Permission denied)"},
      {"Directory", "a directory", kDirectory, "is a directory; expected a file of"},
      {"Pipe", "a named pipe", kPipe, "is not a regular file (a pipe or a device)"},
      {"Binary", "binary file", kBinary, "is not a plain text file (byte 0x"},
      {"Word", "a word for a number", "ten\n", "line 1: \"ten\" is not a number; expected"}};
  std::vector<BadInput> cases;
  for (const auto& g : generic)
    cases.push_back({std::string("Num") + g[0], "sim", kNum, g[1], g[2], 2,
                     std::string(kNum) + ": " + g[3]});
  const char* others[][3] = {
      {"Tech", kTech, "opt"}, {"Table", kTable, "sim"}, {"Points", kPoints, "opt"},
      {"Opt", kOpt, "opt"}};
  for (const auto& in : others)
    cases.push_back({std::string(in[0]) + "Missing", in[2], in[1], "missing", kMissing, 2,
                     std::string(in[1]) + ": missing; expected"});
  return cases;
}

const std::vector<BadInput> kEntryFaults = {
    {"NumTrailingText", "opt", kNum, "number with a unit", "0.02\n0.1m\n0.25\n0.5\n", 2,
     "Input/NumSettings.txt: line 2: \"0.1m\" is not a number"},
    {"NumTooFew", "sim", kNum, "4 entries for the simulator", Lines({0.02, 0.1, 0.25, 0.5}), 2,
     "line 5 (number of time steps) is missing; expected 5 numbers, one per line"},
    {"NumTwoColumns", "sim", kNum, "two numbers on a line", "0.02 0.1\n0.25\n0.5\n20\n", 2,
     "Input/NumSettings.txt: line 1 holds 2 numbers; expected one number per line"},
    {"NumBlankLine", "sim", kNum, "blank line between entries", "0.02\n0.1\n\n0.25\n0.5\n20\n",
     2, "Input/NumSettings.txt: line 3 is blank between lines of numbers"},
    {"NumNaN", "sim", kNum, "NaN", Lines({0.02, NAN, 0.25, 0.5, 20}), 2,
     "line 2 (axial cell length, m) is nan, expected a finite number"},
    {"NumZeroTimeStep", "sim", kNum, "zero time step", Lines({0.02, 0.1, 0.25, 0, 20}), 2,
     "Input/NumSettings.txt: line 4 (time step, s) is 0, expected a positive number"},
    {"NumCoarseGrid", "sim", kNum, "cells wider than the strand", Lines({0.5, 0.1, 0.25, 0.5, 20}),
     2, "line 1 (radial cell width, m) = 0.5 gives 1 radial cell(s) across Input/TechSettings.txt"},
    {"NumStepsTooMany", "sim", kNum, "step count beyond 32 bits",
     Lines({0.02, 0.1, 0.25, 0.5, 1e10}), 2, "expected a count that fits a 32-bit integer"},
    {"NumHugeGridSim", "sim", kNum, "grid too large for memory",
     Lines({0.0001, 1e-6, 0.25, 0.5, 20}), 2, " cells needs about "},
    {"NumHugeGridOpt", "opt", kNum, "grid too large for memory", Lines({0.0001, 1e-6, 0.25, 0.5}),
     2, " cells needs about "},

    {"TechNegativeSpeed", "sim", kTech, "negative casting speed",
     Lines({0.1, 3, 30, 1550, -0.6, 500}), 2,
     "line 5 (casting speed, m/min) is -0.6, expected zero or a positive number"},
    {"TechAmbientAboveCasting", "sim", kTech, "ambient above casting temperature",
     Lines({0.1, 3, 1560, 1550, 0.6, 500}), 2,
     "line 4 (casting temperature, degC) is 1550, expected a casting temperature above the"},
    {"TechCastingAboveTable", "sim", kTech, "casting temperature above the table",
     Lines({0.1, 3, 30, 1700, 0.6, 500}), 2,
     "the casting temperature 1700 degC lies outside the material table of Input/Interp.csv"},

    {"TableTwoColumns", "sim", kTable, "two columns", "25,100000\n1600,6400000\n", 2,
     "Input/Interp.csv: line 1 holds 2 numbers; expected temperature (degC), enthalpy"},
    {"TableShortLine", "opt", kTable, "a line with fewer columns", SteelTable() + "1625,6500000\n",
     2, "Input/Interp.csv: line 65 holds 2 numbers where line 1 holds 3"},
    {"TableEmptyField", "sim", kTable, "an empty field", "25,,50\n" + SteelTable(), 2,
     "Input/Interp.csv: line 1 has an empty field"},
    {"TableNaN", "sim", kTable, "NaN", "25,nan,50\n1600,6400000,80\n", 2,
     "line 1 holds the value nan in column 2, expected a finite number"},
    {"TableZeroDegrees", "sim", kTable, "a temperature below 0.5 degC", "0,0,50\n" + SteelTable(),
     2, "Input/Interp.csv: line 1 holds the temperature 0 degC"},
    {"TableNegativeConductivity", "sim", kTable, "negative conductivity",
     "25,100000,-50\n" + SteelTable(), 2, "conductivity -50 W/(m K), expected a positive value"},
    {"TableFallingEnthalpy", "opt", kTable, "enthalpy falling with temperature",
     "25,100000,50\n50,90000,50\n1600,6400000,30\n", 2,
     "line 2 holds the enthalpy 90000 kJ/m^3 at 50 degC, not above the 100000 kJ/m^3 at 25 degC"},
    {"TableTooHot", "sim", kTable, "a highest temperature of 1e10 degC",
     "25,100000,50\n1e10,9e9,30\n", 2, "expected a highest temperature of at most 100000 degC"},
    {"TableByteOrderMark", "sim", kTable, "UTF-8 byte-order mark", "\xEF\xBB\xBF" + SteelTable(),
     2, "Input/Interp.csv: starts with a byte-order mark"},

    // Unused by the simulator, which only warns.
    {"PointsMissingSim", "sim", kPoints, "missing", kMissing, 0,
     "Mat::load(): couldn't read; file: Input/ControlPoints.mat"},
    {"PointsPipeSim", "sim", kPoints, "a named pipe", kPipe, 0,
     "warning: Input/ControlPoints.mat: is not a regular file and is not read"},
    {"PointsNaNTarget", "opt", kPoints, "NaN target", "0.09 1.0 1.0 nan\n", 2,
     "Input/ControlPoints.mat: point 1 has the target nan, expected a finite temperature"},
    {"PointsNegativeRadius", "opt", kPoints, "negative radius", "-0.09 1.0 1.0 1500\n", 2,
     "Input/ControlPoints.mat: point 1 has r = -0.09, expected a positive position"},
    {"PointsBeyondStrand", "opt", kPoints, "position beyond the strand", "0.09 1.0 7.5 1500\n", 2,
     "Input/ControlPoints.mat: point 1 has z = 7.5, outside the grid (30 cells of 0.1)"},
    {"PointsOutsideEmptyElement", "opt", kPoints,
     "an element without a point, which point 1 lies outside", "0.09 1.0 2.95 1500\n", 2,
     "element 1 holds no control point, and point 1's position 11 lies outside its 8 slices"},

    {"OptZeroHtcStep", "opt", kOpt, "zero htc step", "300\n900\n0\n1\n3\n4\n", 2,
     "line 3 (htc step, W/(m2 K)) is 0, expected a positive number"},
    {"OptNegativeHtc", "opt", kOpt, "negative lowest htc", "-900\n300\n100\n1\n3\n4\n", 2,
     "line 1 (lowest htc, W/(m2 K)) is -900, expected zero or a positive number"},
    {"OptEndlessGrid", "opt", kOpt, "htc step too small to move the candidate",
     "1e17\n2e17\n1\n1\n3\n4\n", 2, "which gives more than 10000 candidates"},
    {"OptHtcsReversed", "opt", kOpt, "lowest htc above highest", "900\n300\n100\n1\n3\n4\n", 2,
     "line 1 (lowest htc, W/(m2 K)) is 900, above line 2 (300)"},
    {"OptTwoElements", "opt", kOpt, "two elements", "300\n900\n300\n1\n2\n4\n", 2,
     "line 5 (number of elements) is 2, expected a count of at least 3"},
    {"OptTooManyElements", "opt", kOpt, "more elements than fit the strand",
     "300\n900\n300\n1\n12\n4\n", 2, "is 12, which does not fit elements of 4 slices sharing 1"},
    {"OptFiftyElements", "opt", kOpt, "elements shorter than 4 slices",
     "300\n900\n300\n1\n50\n4\n", 2, "is 50, which leaves fewer than four slices an element"},
    {"OptNegativeSteps", "opt", kOpt, "negative time steps", "300\n900\n300\n1\n3\n-4\n", 2,
     "line 6 (time steps of an element simulation) is -4, expected a count of at least 0"},

    // The strand is 3 m long, its mould 1 m unless the file says otherwise.
    {"CasterSyntax", "sim", kCaster, "TOML syntax error", "[mould\nlength_m = 1\n", 2,
     "Input/Caster.toml: line 1, column 7: "},
    {"CasterNoUnit", "opt", kCaster, "a key without its unit", "[mould]\nlength = 0.8\n", 2,
     "mould has the unknown key \"length\"; known keys: length_m, htc_W_m2K, coolant_degC"},
    {"CasterTable", "sim", kCaster, "an unknown table", "[sprays]\nfrom_m = 1\n", 2,
     "unknown table [sprays]; known tables: [mould], [[spray]], [air], [steel]"},
    {"CasterType", "sim", kCaster, "a string for a number", "[air]\nfrom_m = \"2\"\n", 2,
     "Input/Caster.toml: air.from_m is a string, expected a number"},
    {"CasterOverlap", "sim", kCaster, "overlapping zones",
     "[air]\nfrom_m = 3\n[[spray]]\nfrom_m = 1\nto_m = 2\nhtc_W_m2K = 500\n[[spray]]\nfrom_m = 1.5\nto_m = 2.5\n"
     "htc_W_m2K = 300\n", 2, "spray[2].from_m is 1.5, before the end of spray[1] at 2 m"},
    {"CasterInMould", "opt", kCaster, "a zone inside the mould",
     "[air]\nfrom_m = 3\n[[spray]]\nfrom_m = 0.5\nto_m = 2\nhtc_W_m2K = 500\n", 2,
     "spray[1].from_m is 0.5, inside the mould (1 m)"},
    {"CasterBeyond", "sim", kCaster, "a zone beyond the strand",
     "[air]\nfrom_m = 3\n[[spray]]\nfrom_m = 1\nto_m = 3.5\nhtc_W_m2K = 500\n", 2,
     "spray[1].to_m is 3.5, beyond the strand's end at 3 m"},
    {"CasterNegative", "sim", kCaster, "a negative htc",
     "[air]\nfrom_m = 3\n[[spray]]\nfrom_m = 1\nto_m = 2\nhtc_W_m2K = -5\n", 2,
     "spray[1].htc_W_m2K is -5, expected zero or a positive number"},
    {"CasterSolidus", "sim", kCaster, "solidus above the liquidus",
     "[steel]\nsolidus_degC = 1500\nliquidus_degC = 1450\n", 2,
     "steel.solidus_degC is 1500, expected a solidus below the liquidus of 1450 degC"},
    {"CasterShortZone", "sim", kCaster, "a zone shorter than a slice",
     "[air]\nfrom_m = 3\n[[spray]]\nfrom_m = 1.51\nto_m = 1.54\nhtc_W_m2K = 500\n", 0,
     "warning: Input/Caster.toml: spray[1] from 1.51 to 1.54 m holds no slice centre"},

    // Unit mistakes that still give a run: one warning line each.
    {"SpeedInMetresPerSecond", "sim", kTech, "casting speed in m/s",
     Lines({0.1, 3, 30, 1550, 0.01, 500, 1.2}), 0, "(m/s instead of m/min?)"},
    {"AmbientInKelvin", "sim", kTech, "ambient in kelvin", Lines({0.1, 3, 303, 1550, 0.6, 500}),
     0, "line 3 (ambient temperature, degC) is 303 degC, hotter than any caster hall"},
    {"TableInJoules", "sim", kTable, "enthalpy in J/m^3", "25,100000000,50\n1600,6400000000,30\n",
     0, "(J/m^3 instead of kJ/m^3?)"},
    {"TableInKelvin", "sim", kTable, "temperatures in kelvin", "298.15,100000,50\n1873,6400000,30\n",
     2, "are filled in (kelvin instead of degC?)"},
    {"TargetTooHot", "sim", kPoints, "a target above the casting temperature",
     "0.09 1.0 1.5 2000\n", 0, "point 1 has the target 2000 degC, outside the range"},

    {"OutputMissing", "opt", "TeporaOut", "missing", kMissing, 2,
     "TeporaOut: the output directory is missing or not writable"},
    {"OutputIsAFile", "sim", "TeporaOut", "a file, not a directory", "results\n", 2,
     "TeporaOut: the output directory is missing or not writable"},

    // Optional: a start field that cannot serve is reported, and the run
    // starts from the casting temperature.
    {"StartEmpty", "sim", kStart, "empty", "", 0,
     "TeporaOut/T_0.cub: is not a temperature field saved by the simulator"},
    {"StartUnreadable", "sim", kStart, "no read permission", kUnreadable, 0,
     "T_0.cub: cannot be read (Permission denied); the strand starts at the casting temperature"},
    {"StartWord", "sim", kStart, "a word in the field", StartField("hot"), 0,
     "TeporaOut/T_0.cub: holds \"hot\" for cell (0, 0, 0), expected a temperature"},
    {"StartNaN", "sim", kStart, "NaN temperature", StartField("nan"), 0,
     "T_0.cub: cell (0, 0, 0) holds nan degC, outside the material table (0.5 .. 1600.5 degC)"},
    {"StartExtraValue", "sim", kStart, "a value after the field", StartField("1500") + "1500\n",
     0, "TeporaOut/T_0.cub: holds more values than its 5 x 8 x 30 cells"},
    {"StartPipe", "sim", kStart, "a named pipe", kPipe, 0,
     "warning: TeporaOut/T_0.cub: is not a regular file"},
};

std::set<std::string> Listing(const char* dir) {
  if (!std::filesystem::is_directory(dir)) return {"(" + ReadFile(dir) + ")"};
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.insert(e.path().filename().string());
  return names;
}

void Apply(const BadInput& c) {
  const char* file = c.file.c_str();
  std::filesystem::remove(file);
  if (c.content == kMissing) return;
  if (c.content == kDirectory) {
    std::filesystem::create_directory(file);
  } else if (c.content == kPipe) {
    mkfifo(file, 0666);
  } else if (c.content == kUnreadable) {
    RunDir::Write(file, "1\n");
    chmod(file, 0);
  } else if (c.content == kBinary) {
    std::string bytes;
    for (int n = 0; n < 256; ++n) bytes += char((n * 73 + 11) % 256);
    RunDir::Write(file, bytes);
  } else {
    RunDir::Write(file, c.content);
  }
}

class BadInputTest : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputTest, EndsWithOneLineAndTheDocumentedStatus) {
  const BadInput& c = GetParam();
  RunDir dir;
  WriteSmallCase(0.02, 0.1, 0.25, 0.1, 3.0, 20);
  RunDir::Write(kOpt, "300\n900\n300\n1\n4\n4\n");  // elements of 8, 8, 8, 12 slices
  RunDir::Write(kPoints, "0.09 1.0 1.0 1500\n0.09 1.0 2.5 1480\n");
  Apply(c);
  // The run may be another user's, so that file permissions hold for it.
  chmod(dir.path().c_str(), 0755);
  if (std::filesystem::is_directory("TeporaOut")) chmod("TeporaOut", 0777);
  const std::set<std::string> before = Listing("TeporaOut");

  const Outcome r =
      Start(c.program == "sim" ? TEPORA_SIM : TEPORA_OPT, 1, c.content == kUnreadable);
  ASSERT_EQ(r.signal, 0) << "ended by signal " << r.signal << "\n" << r.err;
  EXPECT_EQ(r.status, c.status) << r.err;
  const size_t at = r.err.find(c.message);
  ASSERT_NE(at, std::string::npos) << r.err;
  const size_t from = r.err.rfind('\n', at) + 1;  // 0 when the fault's is the first line
  const std::string line = r.err.substr(from, r.err.find('\n', at) - from);
  // Besides the fault's line only the library's blank line before its own
  // warnings. A run that goes on also reports on its own outcome: the small
  // case is far from steady after its few steps, and the tests keep Octave
  // away, so that the plot is missing.
  std::istringstream lines(r.err);
  int said = 0;
  const auto outcome = [](const std::string& l) {
    return l.rfind("warning: the strand is not yet steady", 0) == 0 ||
           l == NoPlotWarning("TempProfile_final.png") || l == NoPlotWarning("Profile.png");
  };
  for (std::string l; std::getline(lines, l);) said += !l.empty() && !outcome(l);
  EXPECT_EQ(said, 1) << r.err;
  if (c.status == 2) {
    EXPECT_EQ(r.err, line + "\n");
    EXPECT_EQ(line.rfind("error: ", 0), 0u) << line;
    EXPECT_EQ(Listing("TeporaOut"), before) << "a stopped run left files behind";
  } else {
    EXPECT_TRUE(std::filesystem::exists("TeporaOut/T_0_final.cub"));
  }
  if (std::getenv("TEPORA_LIST_BAD_INPUT"))
    std::cout << "| `" << c.file << "` | " << c.program << " | " << c.fault << " | " << line
              << " | " << r.status << " |\n";
}

INSTANTIATE_TEST_SUITE_P(FileFaults, BadInputTest, ::testing::ValuesIn(FileFaults()),
                         [](const auto& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(EntryFaults, BadInputTest, ::testing::ValuesIn(kEntryFaults),
                         [](const auto& info) { return info.param.name; });

}  // namespace
