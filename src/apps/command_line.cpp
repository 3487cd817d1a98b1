#include "command_line.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

#include "errors.h"

std::optional<int> ReadCommandLine(int argc, char** argv, const char* program,
                                   ProgramOptions& options) {
  const std::string usage = std::string("usage: ") + program +
                            " [--help] [--version] [--model cylindrical|flat] [-C DIR]";
  CLI::App app(std::string(program) +
                   ": temperature field of a round steel strand in continuous casting, from "
                   "Input/ into TeporaOut/ of the working directory",
               program);
  app.set_version_flag("--version", std::string(program) + " " + TEPORA_VERSION);
  std::string model = FormulationName(options.model);
  app.add_option("--model", model,
                 "discretisation of the time step: cylindrical (finite volumes, the default) or "
                 "flat (reproduces earlier results to the bit)")
      ->check(CLI::IsMember(
          {FormulationName(Formulation::Cylindrical), FormulationName(Formulation::Flat)}))
      ->type_name("MODEL");
  std::string dir;
  CLI::Option* in =
      app.add_option("-C", dir, "run in DIR instead of the working directory")->type_name("DIR");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // help or version, on standard output
    std::string what = e.what();
    for (char& c : what)
      if (c == '\n') c = ' ';
    std::cerr << "error: " << what << "; " << usage << std::endl;
    return kExitBadInput;
  }
  options.model =
      model == FormulationName(Formulation::Flat) ? Formulation::Flat : Formulation::Cylindrical;
  if (in->count() > 0 && chdir(dir.c_str()) != 0) {
    std::cerr << "error: -C " << dir << ": cannot change into it (" << std::strerror(errno)
              << "); expected a directory holding Input/ and TeporaOut/" << std::endl;
    return kExitBadInput;
  }
  return std::nullopt;
}
