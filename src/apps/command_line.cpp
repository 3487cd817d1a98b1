#include "apps/command_line.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "common/errors.h"
#include "common/viewer.h"

namespace tepora {

namespace {

// "LO,HI": two finite temperatures in degC, the lower first. Returns what is
// wrong with the text, empty when it is right.
std::string ReadPlotRange(const std::string& text, double range[2]) {
  const size_t comma = text.find(',');
  bool read = comma != std::string::npos;
  for (int k = 0; read && k < 2; ++k) {
    const std::string part = k == 0 ? text.substr(0, comma) : text.substr(comma + 1);
    char* end = nullptr;
    range[k] = std::strtod(part.c_str(), &end);
    read = !part.empty() && !std::isspace(static_cast<unsigned char>(part[0])) &&
           end == part.c_str() + part.size() && std::isfinite(range[k]);
  }
  if (!read) return "expected two temperatures in degC as LO,HI, not " + text;
  if (!(range[0] < range[1])) return "expected the lower temperature first, not " + text;
  return "";
}

// Speeds a cooling table may hold: a 0.01 m/min step over a caster's whole
// range gives about a thousand.
const size_t kMostSpeeds = 1000;

// "FIRST:LAST:STEP" in m/min: the speeds first, first + step, ... up to last
// (within a millionth of a step), each computed from first, not summed.
std::string ReadSpeeds(const std::string& text, std::vector<double>& speeds) {
  double v[3] = {0, 0, 0};
  size_t at = 0;
  bool read = true;
  for (int k = 0; k < 3 && read; ++k) {
    const size_t end = k < 2 ? text.find(':', at) : text.size();
    read = end != std::string::npos && end > at;
    if (!read) break;
    const std::string part = text.substr(at, end - at);
    char* stop = nullptr;
    v[k] = std::strtod(part.c_str(), &stop);
    read = !std::isspace(static_cast<unsigned char>(part[0])) &&
           stop == part.c_str() + part.size() && std::isfinite(v[k]);
    at = end + 1;
  }
  if (!read) return "expected FIRST:LAST:STEP in m/min, as 1.6:2.8:0.2, not " + text;
  if (!(v[0] > 0) || !(v[1] >= v[0]) || !(v[2] > 0))
    return "expected speeds above 0 m/min, the last not below the first and a step above 0, "
           "not " + text;
  const double n = std::floor((v[1] - v[0]) / v[2] + 1e-6);
  if (n + 1 > double(kMostSpeeds))
    return "gives " + ValueText(n + 1) + " speeds, expected at most " +
           std::to_string(kMostSpeeds) + ", not " + text;
  speeds.clear();
  for (int i = 0; i <= int(n); ++i) speeds.push_back(v[0] + i * v[2]);
  return "";
}

}  // namespace

std::optional<int> ReadCommandLine(int argc, char** argv, const char* program,
                                   const char* what, ProgramOptions& options) {
  const std::string usage = std::string("usage: ") + program +
                            " [--help] [--version] [--model cylindrical|flat]" +
                            (options.steady_offered ? " [--steady]" : "") +
                            (options.speeds_offered ? " [--speeds FIRST:LAST:STEP]" : "") +
                            " [--plot-range LO,HI] [--no-plot] [-C DIR]";
  CLI::App app(std::string(program) + ": " + what, program);
  app.set_version_flag("--version", std::string(program) + " " + TEPORA_VERSION);
  std::string model = FormulationName(options.model);
  app.add_option("--model", model,
                 "discretisation of the time step: cylindrical (finite volumes, the default) or "
                 "flat (reproduces earlier results to the bit)")
      ->check(CLI::IsMember(
          {FormulationName(Formulation::Cylindrical), FormulationName(Formulation::Flat)}))
      ->type_name("MODEL");
  CLI::Option* steady = nullptr;
  if (options.steady_offered)
    steady = app.add_flag("--steady",
                          "solve the steady strand directly, slice by slice from the meniscus, "
                          "without axial conduction (cylindrical model), instead of time steps");
  std::string speeds_text;
  if (options.speeds_offered)
    app.add_option("--speeds", speeds_text,
                   "design the caster's [[spray]] zones at every casting speed from FIRST to "
                   "LAST m/min by STEP, into TeporaOut/CoolingTable.csv")
        ->check(CLI::Validator(
            [&options](std::string& text) { return ReadSpeeds(text, options.speeds); }, ""))
        ->type_name("FIRST:LAST:STEP");
  std::string range_text;
  double range[2] = {0, 0};
  CLI::Option* range_option =
      app.add_option("--plot-range", range_text,
                     "colour range of the plots in degC, the same for every run, so that the "
                     "plots of two runs compare (default: each plot's own range)")
          ->check(CLI::Validator(
              [&range](std::string& text) { return ReadPlotRange(text, range); }, ""))
          ->type_name("LO,HI");
  CLI::Option* no_plot =
      app.add_flag("--no-plot", "draw no plot: Octave is not started, and an earlier plot and "
                                "TeporaOut/plot.log stay as they are");
  std::string dir;
  CLI::Option* in =
      app.add_option("-C", dir, "run in DIR instead of the working directory")->type_name("DIR");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // help or version, on standard output
    std::string message = e.what();
    for (char& c : message)
      if (c == '\n') c = ' ';
    std::cerr << "error: " << message << "; " << usage << std::endl;
    return kExitBadInput;
  }
  options.model =
      model == FormulationName(Formulation::Flat) ? Formulation::Flat : Formulation::Cylindrical;
  options.steady = steady != nullptr && steady->count() > 0;
  // The flat step is kept to reproduce earlier transient runs; the steady
  // equations are those of the finite volumes.
  if (options.steady && options.model == Formulation::Flat) {
    std::cerr << "error: --steady solves the cylindrical model's steady strand, not the flat "
                 "one; expected --steady without --model flat; "
              << usage << std::endl;
    return kExitBadInput;
  }
  if (!options.speeds.empty() && options.model == Formulation::Flat) {
    std::cerr << "error: --speeds designs the caster's spray zones on the cylindrical model's "
                 "steady strand; expected --speeds without --model flat; "
              << usage << std::endl;
    return kExitBadInput;
  }
  if (range_option->count() > 0) SetPlotRange(range[0], range[1]);
  if (no_plot->count() > 0) SkipPlots();
  if (in->count() > 0 && chdir(dir.c_str()) != 0) {
    std::cerr << "error: -C " << dir << ": cannot change into it (" << std::strerror(errno)
              << "); expected a directory holding Input/ and TeporaOut/" << std::endl;
    return kExitBadInput;
  }
  return std::nullopt;
}

}  // namespace tepora
