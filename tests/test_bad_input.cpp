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
  const char* name;     // test name
  const char* program;  // "sim" or "opt"
  const char* file;     // the input changed from the small case
  const char* fault;    // what is wrong with it
  std::string content;  // its new content, or one of the markers above
  int status;           // expected exit status
  const char* message;  // in the last line on standard error
};

std::ostream& operator<<(std::ostream& os, const BadInput& c) { return os << c.name; }

std::string Numbers(std::initializer_list<double> values) { return Lines(values); }

const std::string kOptSettings = "300\n900\n300\n1\n4\n4\n";  // elements of 8, 8, 8, 12 slices
const std::string kControlPoints = "0.09 1.0 1.0 1500\n0.09 1.0 2.5 1480\n";

// A temperature field of the small case's grid (5 x 8 x 30 cells) in the
// simulator's own format, with `value` in its first cell.
std::string StartField(const std::string& value) {
  std::string text = "ARMA_CUB_TXT_FN008\n5 8 30\n";
  for (int n = 0; n < 5 * 8 * 30; ++n) text += (n == 0 ? value : "1500") + (n % 8 == 7 ? "\n" : " ");
  return text;
}

std::string BinaryBytes() {
  std::string bytes;
  for (int n = 0; n < 256; ++n) bytes += char((n * 73 + 11) % 256);
  return bytes;
}

const BadInput kCases[] = {
    // Run settings of the numerical model.
    {"NumMissing", "sim", "Input/NumSettings.txt", "missing", kMissing, 2,
     "Input/NumSettings.txt: missing; expected one number per line"},
    {"NumEmpty", "sim", "Input/NumSettings.txt", "empty", "", 2,
     "Input/NumSettings.txt: is empty; expected one number per line"},
    {"NumUnreadable", "sim", "Input/NumSettings.txt", "no read permission", kUnreadable, 2,
     "Input/NumSettings.txt: cannot be read (Permission denied)"},
    {"NumDirectory", "opt", "Input/NumSettings.txt", "a directory", kDirectory, 2,
     "Input/NumSettings.txt: is a directory"},
    {"NumPipe", "sim", "Input/NumSettings.txt", "a named pipe", kPipe, 2,
     "Input/NumSettings.txt: is not a regular file (a pipe or a device)"},
    {"NumBinary", "sim", "Input/NumSettings.txt", "binary file", kBinary, 2,
     "Input/NumSettings.txt: is not a plain text file (byte 0x"},
    {"NumWord", "sim", "Input/NumSettings.txt", "a word for a number", "0.02\n0.1\nquarter\n0.5\n20\n",
     2, "Input/NumSettings.txt: line 3: \"quarter\" is not a number; expected one number per line"},
    {"NumTrailingText", "opt", "Input/NumSettings.txt", "number with a unit", "0.02\n0.1m\n0.25\n0.5\n", 2,
     "Input/NumSettings.txt: line 2: \"0.1m\" is not a number"},
    {"NumTooFew", "sim", "Input/NumSettings.txt", "4 entries for the simulator",
     Numbers({0.02, 0.1, 0.25, 0.5}), 2,
     "Input/NumSettings.txt: line 5 (number of time steps) is missing; expected 5 numbers, one "
     "per line, and the file holds 4"},
    {"NumTwoColumns", "sim", "Input/NumSettings.txt", "two numbers on a line",
     "0.02 0.1\n0.25\n0.5\n20\n", 2,
     "Input/NumSettings.txt: line 1 holds 2 numbers; expected one number per line"},
    {"NumBlankLine", "sim", "Input/NumSettings.txt", "blank line between entries",
     "0.02\n0.1\n\n0.25\n0.5\n20\n", 2,
     "Input/NumSettings.txt: line 3 is blank between lines of numbers"},
    {"NumNaN", "sim", "Input/NumSettings.txt", "NaN", Numbers({0.02, NAN, 0.25, 0.5, 20}), 2,
     "Input/NumSettings.txt: line 2 (axial cell length, m) is nan, expected a finite number"},
    {"NumInfinite", "opt", "Input/NumSettings.txt", "infinite time step",
     Numbers({0.02, 0.1, 0.25, INFINITY}), 2,
     "Input/NumSettings.txt: line 4 (time step, s) is inf, expected a finite number"},
    {"NumZeroTimeStep", "sim", "Input/NumSettings.txt", "zero time step",
     Numbers({0.02, 0.1, 0.25, 0, 20}), 2,
     "Input/NumSettings.txt: line 4 (time step, s) is 0, expected a positive number"},
    {"NumNegativeWidth", "sim", "Input/NumSettings.txt", "negative radial width",
     Numbers({-0.02, 0.1, 0.25, 0.5, 20}), 2,
     "Input/NumSettings.txt: line 1 (radial cell width, m) is -0.02, expected a positive number"},
    {"NumZeroAngle", "opt", "Input/NumSettings.txt", "zero angular width",
     Numbers({0.02, 0.1, 0, 0.5}), 2,
     "Input/NumSettings.txt: line 3 (angular cell width, multiple of pi) is 0, expected a positive"},
    {"NumCoarseGrid", "sim", "Input/NumSettings.txt", "cells wider than the strand",
     Numbers({0.5, 0.1, 0.25, 0.5, 20}), 2,
     "Input/NumSettings.txt: line 1 (radial cell width, m) = 0.5 gives 1 radial cell(s) across "
     "Input/TechSettings.txt: line 1 (strand radius, m) = 0.1; expected at least 2"},
    {"NumStepsTooMany", "sim", "Input/NumSettings.txt", "step count beyond 32 bits",
     Numbers({0.02, 0.1, 0.25, 0.5, 1e10}), 2,
     "Input/NumSettings.txt: line 5 (number of time steps) is 10000000000, expected a count that "
     "fits a 32-bit integer"},
    {"NumHugeGridSim", "sim", "Input/NumSettings.txt", "grid too large for memory",
     Numbers({0.0001, 1e-6, 0.25, 0.5, 20}), 2, " cells needs about "},
    {"NumHugeGridOpt", "opt", "Input/NumSettings.txt", "grid too large for memory",
     Numbers({0.0001, 1e-6, 0.25, 0.5}), 2, " cells needs about "},

    // Run settings of the technology.
    {"TechMissing", "opt", "Input/TechSettings.txt", "missing", kMissing, 2,
     "Input/TechSettings.txt: missing; expected one number per line"},
    {"TechUnreadable", "opt", "Input/TechSettings.txt", "no read permission", kUnreadable, 2,
     "Input/TechSettings.txt: cannot be read (Permission denied)"},
    {"TechTooFewForOptimiser", "opt", "Input/TechSettings.txt", "6 entries for the optimiser",
     Numbers({0.1, 3, 30, 1550, 0.6, 500}), 2,
     "Input/TechSettings.txt: line 7 (optimiser casting speed, m/min) is missing; expected 7 "
     "numbers, one per line, and the file holds 6"},
    {"TechZeroRadius", "sim", "Input/TechSettings.txt", "zero radius",
     Numbers({0, 3, 30, 1550, 0.6, 500}), 2,
     "Input/TechSettings.txt: line 1 (strand radius, m) is 0, expected a positive number"},
    {"TechNegativeSpeed", "sim", "Input/TechSettings.txt", "negative casting speed",
     Numbers({0.1, 3, 30, 1550, -0.6, 500}), 2,
     "Input/TechSettings.txt: line 5 (casting speed, m/min) is -0.6, expected zero or a positive "
     "number"},
    {"TechNegativeHtc", "sim", "Input/TechSettings.txt", "negative spray htc",
     Numbers({0.1, 3, 30, 1550, 0.6, -500}), 2,
     "Input/TechSettings.txt: line 6 (spray htc, W/(m2 K)) is -500, expected zero or a positive"},
    {"TechNaNAmbient", "opt", "Input/TechSettings.txt", "NaN", "0.1\n3\nnan\n1550\n0.6\n500\n1.2\n",
     2, "Input/TechSettings.txt: line 3 (ambient temperature, degC) is nan, expected a finite"},
    {"TechAmbientAboveCasting", "sim", "Input/TechSettings.txt", "ambient above casting temperature",
     Numbers({0.1, 3, 1560, 1550, 0.6, 500}), 2,
     "Input/TechSettings.txt: line 4 (casting temperature, degC) is 1550, expected a casting "
     "temperature above the ambient temperature of line 3 (1560)"},
    {"TechCastingAboveTable", "sim", "Input/TechSettings.txt", "casting temperature above the table",
     Numbers({0.1, 3, 30, 1700, 0.6, 500}), 2,
     "the casting temperature 1700 degC lies outside the material table of Input/Interp.csv "
     "(0.5 .. 1600.5 degC)"},
    {"TechHugeStrand", "sim", "Input/TechSettings.txt", "strand too long for memory",
     Numbers({0.1, 1e8, 30, 1550, 0.6, 500}), 2, " cells needs about "},

    // Material table.
    {"TableMissing", "sim", "Input/Interp.csv", "missing", kMissing, 2,
     "Input/Interp.csv: missing; expected temperature (degC), enthalpy (kJ/m^3), conductivity"},
    {"TableEmpty", "opt", "Input/Interp.csv", "empty", "\n\n", 2, "Input/Interp.csv: is empty"},
    {"TableUnreadable", "sim", "Input/Interp.csv", "no read permission", kUnreadable, 2,
     "Input/Interp.csv: cannot be read (Permission denied)"},
    {"TableBinary", "sim", "Input/Interp.csv", "binary file", kBinary, 2,
     "Input/Interp.csv: is not a plain text file"},
    {"TableHeader", "sim", "Input/Interp.csv", "a header line", "T,H,k\n" + SteelTable(), 2,
     "Input/Interp.csv: line 1: \"T\" is not a number"},
    {"TableTwoColumns", "sim", "Input/Interp.csv", "two columns", "25,100000\n1600,6400000\n", 2,
     "Input/Interp.csv: line 1 holds 2 numbers; expected temperature (degC), enthalpy"},
    {"TableShortLine", "opt", "Input/Interp.csv", "a line with fewer columns",
     SteelTable() + "1625,6500000\n", 2,
     "Input/Interp.csv: line 65 holds 2 numbers where line 1 holds 3"},
    {"TableEmptyField", "sim", "Input/Interp.csv", "an empty field", "25,,50\n" + SteelTable(), 2,
     "Input/Interp.csv: line 1 has an empty field"},
    {"TableNaN", "sim", "Input/Interp.csv", "NaN", "25,nan,50\n1600,6400000,80\n", 2,
     "Input/Interp.csv: line 1 holds the value nan in column 2, expected a finite number"},
    {"TableZeroDegrees", "sim", "Input/Interp.csv", "a temperature below 0.5 degC",
     "0,0,50\n" + SteelTable(), 2, "Input/Interp.csv: line 1 holds the temperature 0 degC"},
    {"TableNegativeConductivity", "sim", "Input/Interp.csv", "negative conductivity",
     "25,100000,-50\n" + SteelTable(), 2,
     "Input/Interp.csv: line 1 holds the conductivity -50 W/(m K), expected a positive value"},
    {"TableFallingEnthalpy", "opt", "Input/Interp.csv", "enthalpy falling with temperature",
     "25,100000,50\n50,90000,50\n1600,6400000,30\n", 2,
     "Input/Interp.csv: line 2 holds the enthalpy 90000 kJ/m^3 at 50 degC, not above the 100000 "
     "kJ/m^3 at 25 degC; expected the enthalpy to rise with temperature"},
    {"TableTooHot", "sim", "Input/Interp.csv", "a highest temperature of 1e10 degC",
     "25,100000,50\n1e10,9e9,30\n", 2,
     "Input/Interp.csv: line 2 holds the temperature 10000000000 degC, expected a highest "
     "temperature of at most 100000 degC"},
    {"TableByteOrderMark", "sim", "Input/Interp.csv", "UTF-8 byte-order mark", "\xEF\xBB\xBF" + SteelTable(),
     2, "Input/Interp.csv: starts with a byte-order mark"},

    // Control points: unused by the simulator, which only warns.
    {"PointsMissingSim", "sim", "Input/ControlPoints.mat", "missing", kMissing, 0,
     "Mat::load(): couldn't read; file: Input/ControlPoints.mat"},
    {"PointsPipeSim", "sim", "Input/ControlPoints.mat", "a named pipe", kPipe, 0,
     "warning: Input/ControlPoints.mat: is not a regular file and is not read"},
    {"PointsMissingOpt", "opt", "Input/ControlPoints.mat", "missing", kMissing, 2,
     "Input/ControlPoints.mat: missing; expected r (m), phi (rad), z (m), target temperature"},
    {"PointsEmpty", "opt", "Input/ControlPoints.mat", "empty", "", 2,
     "Input/ControlPoints.mat: is empty"},
    {"PointsUnreadable", "opt", "Input/ControlPoints.mat", "no read permission", kUnreadable, 2,
     "Input/ControlPoints.mat: cannot be read (Permission denied)"},
    {"PointsBinary", "opt", "Input/ControlPoints.mat", "binary file", kBinary, 2,
     "Input/ControlPoints.mat: is not a plain text file"},
    {"PointsThreeColumns", "opt", "Input/ControlPoints.mat", "three values a line",
     "0.09 1.0 1.0\n", 2, "Input/ControlPoints.mat: line 1 holds 3 numbers; expected r (m)"},
    {"PointsCommas", "opt", "Input/ControlPoints.mat", "commas between values",
     "0.09,1.0,1.0,1500\n", 2, "Input/ControlPoints.mat: line 1: \"0.09,1.0,1.0,1500\" is not a"},
    {"PointsOutsideEmptyElement", "opt", "Input/ControlPoints.mat",
     "an element without a point, which point 1 lies outside", "0.09 1.0 2.95 1500\n", 2,
     "Input/ControlPoints.mat: element 1 holds no control point, and point 1's position 11 lies "
     "outside its 8 slices; expected a control point in that element"},
    {"PointsNaNTarget", "opt", "Input/ControlPoints.mat", "NaN target", "0.09 1.0 1.0 nan\n", 2,
     "Input/ControlPoints.mat: point 1 has the target nan, expected a finite temperature"},
    {"PointsNegativeRadius", "opt", "Input/ControlPoints.mat", "negative radius",
     "-0.09 1.0 1.0 1500\n", 2,
     "Input/ControlPoints.mat: point 1 has r = -0.09, expected a positive position"},
    {"PointsBeyondStrand", "opt", "Input/ControlPoints.mat", "position beyond the strand",
     "0.09 1.0 7.5 1500\n", 2,
     "Input/ControlPoints.mat: point 1 has z = 7.5, outside the grid (30 cells of 0.1)"},

    // Optimiser settings.
    {"OptMissing", "opt", "Input/OptSettings.txt", "missing", kMissing, 2,
     "Input/OptSettings.txt: missing; expected one number per line"},
    {"OptUnreadable", "opt", "Input/OptSettings.txt", "no read permission", kUnreadable, 2,
     "Input/OptSettings.txt: cannot be read (Permission denied)"},
    {"OptBinary", "opt", "Input/OptSettings.txt", "binary file", kBinary, 2,
     "Input/OptSettings.txt: is not a plain text file"},
    {"OptTooFew", "opt", "Input/OptSettings.txt", "5 entries", "300\n900\n300\n1\n3\n", 2,
     "Input/OptSettings.txt: line 6 (time steps of an element simulation) is missing; expected 6 "
     "numbers, one per line, and the file holds 5"},
    {"OptWord", "opt", "Input/OptSettings.txt", "a word for a number",
     "300\n900\nhundred\n1\n3\n4\n", 2, "Input/OptSettings.txt: line 3: \"hundred\" is not a number"},
    {"OptZeroHtcStep", "opt", "Input/OptSettings.txt", "zero htc step", "300\n900\n0\n1\n3\n4\n",
     2, "Input/OptSettings.txt: line 3 (htc step, W/(m2 K)) is 0, expected a positive number"},
    {"OptNegativeHtc", "opt", "Input/OptSettings.txt", "negative lowest htc",
     "-900\n300\n100\n1\n3\n4\n", 2,
     "Input/OptSettings.txt: line 1 (lowest htc, W/(m2 K)) is -900, expected zero or a positive "
     "number"},
    {"OptNegativeHtcStep", "opt", "Input/OptSettings.txt", "negative htc step",
     "300\n900\n-100\n1\n3\n4\n", 2,
     "Input/OptSettings.txt: line 3 (htc step, W/(m2 K)) is -100, expected a positive number"},
    {"OptEndlessGrid", "opt", "Input/OptSettings.txt", "htc step too small to move the candidate",
     "1e17\n2e17\n1\n1\n3\n4\n", 2, "which gives more than 10000 candidates"},
    {"OptHtcsReversed", "opt", "Input/OptSettings.txt", "lowest htc above highest",
     "900\n300\n100\n1\n3\n4\n", 2,
     "Input/OptSettings.txt: line 1 (lowest htc, W/(m2 K)) is 900, above line 2 (300)"},
    {"OptZeroIterations", "opt", "Input/OptSettings.txt", "zero iterations",
     "300\n900\n300\n0\n3\n4\n", 2,
     "Input/OptSettings.txt: line 4 (number of iterations) is 0, expected a count of at least 1"},
    {"OptTwoElements", "opt", "Input/OptSettings.txt", "two elements", "300\n900\n300\n1\n2\n4\n",
     2, "Input/OptSettings.txt: line 5 (number of elements) is 2, expected a count of at least 3"},
    {"OptTooManyElements", "opt", "Input/OptSettings.txt", "more elements than fit the strand",
     "300\n900\n300\n1\n12\n4\n", 2,
     "Input/OptSettings.txt: line 5 (number of elements) is 12, which does not fit elements of 4 "
     "slices sharing 1 into a strand of 30 slices; expected fewer elements"},
    {"OptFiftyElements", "opt", "Input/OptSettings.txt", "elements shorter than 4 slices",
     "300\n900\n300\n1\n50\n4\n", 2,
     "Input/OptSettings.txt: line 5 (number of elements) is 50, which leaves fewer than four "
     "slices an element in a strand of 30 slices; expected fewer elements"},
    {"OptNegativeSteps", "opt", "Input/OptSettings.txt", "negative time steps",
     "300\n900\n300\n1\n3\n-4\n", 2,
     "Input/OptSettings.txt: line 6 (time steps of an element simulation) is -4, expected a count "
     "of at least 1"},
    {"OptInfinite", "opt", "Input/OptSettings.txt", "infinite highest htc",
     "300\ninf\n300\n1\n3\n4\n", 2,
     "Input/OptSettings.txt: line 2 (highest htc, W/(m2 K)) is inf, expected a finite number"},

    // Output directory.
    {"OutputMissing", "opt", "TeporaOut", "missing", kMissing, 2,
     "TeporaOut: the output directory is missing or not writable"},
    {"OutputIsAFile", "sim", "TeporaOut", "a file, not a directory", "results\n", 2,
     "TeporaOut: the output directory is missing or not writable"},

    // Start field: optional, so a field that cannot serve is reported and
    // the run starts from the casting temperature.
    {"StartEmpty", "sim", "TeporaOut/T_0.cub", "empty", "", 0,
     "warning: TeporaOut/T_0.cub: is not a temperature field saved by the simulator (no "
     "ARMA_CUB_TXT_FN008 header)"},
    {"StartUnreadable", "sim", "TeporaOut/T_0.cub", "no read permission", kUnreadable, 0,
     "warning: TeporaOut/T_0.cub: cannot be read (Permission denied); the strand starts at the "
     "casting temperature 1550 degC instead"},
    {"StartBinary", "sim", "TeporaOut/T_0.cub", "binary file", kBinary, 0,
     "warning: TeporaOut/T_0.cub: is not a temperature field saved by the simulator"},
    {"StartWord", "sim", "TeporaOut/T_0.cub", "a word in the field", StartField("hot"), 0,
     "warning: TeporaOut/T_0.cub: holds \"hot\" for cell (0, 0, 0), expected a temperature"},
    {"StartNaN", "sim", "TeporaOut/T_0.cub", "NaN temperature", StartField("nan"), 0,
     "warning: TeporaOut/T_0.cub: cell (0, 0, 0) holds nan degC, outside the material table"},
    {"StartExtraValue", "sim", "TeporaOut/T_0.cub", "a value after the field",
     StartField("1500") + "1500\n", 0,
     "warning: TeporaOut/T_0.cub: holds more values than its 5 x 8 x 30 cells"},
    {"StartPipe", "sim", "TeporaOut/T_0.cub", "a named pipe", kPipe, 0,
     "warning: TeporaOut/T_0.cub: is not a regular file"},
    {"StartAboveTable", "sim", "TeporaOut/T_0.cub", "temperature above the table",
     StartField("5000"), 0,
     "warning: TeporaOut/T_0.cub: cell (0, 0, 0) holds 5000 degC, outside the material table "
     "(0.5 .. 1600.5 degC)"},
};

class BadInputTest : public ::testing::TestWithParam<BadInput> {};

std::set<std::string> Listing(const char* dir) {
  if (!std::filesystem::is_directory(dir)) return {"(" + ReadFile(dir) + ")"};
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.insert(e.path().filename().string());
  return names;
}

void Apply(const BadInput& c) {
  std::filesystem::remove(c.file);
  if (c.content == kMissing) return;
  if (c.content == kDirectory) {
    std::filesystem::create_directory(c.file);
    return;
  }
  if (c.content == kPipe) {
    mkfifo(c.file, 0666);
    return;
  }
  if (c.content == kUnreadable) {
    RunDir::Write(c.file, "1\n");
    chmod(c.file, 0);
    return;
  }
  RunDir::Write(c.file, c.content == kBinary ? BinaryBytes() : c.content);
}

TEST_P(BadInputTest, EndsWithOneLineAndTheDocumentedStatus) {
  const BadInput& c = GetParam();
  RunDir dir;
  WriteSmallCase(0.02, 0.1, 0.25, 0.1, 3.0, 20);
  RunDir::Write("Input/OptSettings.txt", kOptSettings);
  RunDir::Write("Input/ControlPoints.mat", kControlPoints);
  Apply(c);
  // The run may be another user's, so that file permissions hold for it.
  chmod(dir.path().c_str(), 0755);
  if (std::filesystem::is_directory("TeporaOut")) chmod("TeporaOut", 0777);
  const std::set<std::string> before = Listing("TeporaOut");

  const Outcome r = Start(std::string(c.program) == "sim" ? TEPORA_SIM : TEPORA_OPT, 1,
                          c.content == kUnreadable);
  ASSERT_EQ(r.signal, 0) << "ended by signal " << r.signal << "\n" << r.err;
  EXPECT_EQ(r.status, c.status) << r.err;
  ASSERT_FALSE(r.err.empty());
  ASSERT_EQ(r.err.back(), '\n') << r.err;
  // The line that reports the fault: the only line of a stopped run; a
  // warning of a run that goes on.
  const size_t at = r.err.find(c.message);
  ASSERT_NE(at, std::string::npos) << r.err;
  const size_t from = r.err.rfind('\n', at);
  const std::string line =
      r.err.substr(from == std::string::npos ? 0 : from + 1,
                   r.err.find('\n', at) - (from == std::string::npos ? 0 : from + 1));
  if (c.status == 2) {
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(line.rfind("error: ", 0), 0u) << line;
    EXPECT_EQ(Listing("TeporaOut"), before) << "a stopped run left files behind";
  } else {
    // The warning is the run's only line apart from the shell's note that
    // the plotter is not installed (and the library's blank line before
    // its own warnings).
    std::istringstream lines(r.err);
    int said = 0;
    for (std::string l; std::getline(lines, l);) said += !l.empty() && l.rfind("sh: ", 0) != 0;
    EXPECT_EQ(said, 1) << r.err;
    EXPECT_TRUE(std::filesystem::exists("TeporaOut/T_0_final.cub"));
  }
  if (std::getenv("TEPORA_LIST_BAD_INPUT"))
    std::cout << "| `" << c.file << "` | " << c.program << " | " << c.fault << " | " << line
              << " | " << r.status << " |\n";
}

INSTANTIATE_TEST_SUITE_P(Inputs, BadInputTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
