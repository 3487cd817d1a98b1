// The formulations of the time step the model can run, and the one place
// that maps a Formulation to its class. A new formulation is a file of its
// own holding a class with the interface that step.h describes; it is
// named here, in AnyStep and in WithFormulation, and in the Formulation
// enum, and every driver of the model (a run of steps, the start of a piece,
// the enthalpy of a temperature, the surface field, the stable step) then
// runs it.
#pragma once

#include <variant>

#include "model/cylinder_step.h"
#include "model/flat_step.h"

namespace tepora {

// The constants and state of a run of either formulation.
using AnyStep = std::variant<CylinderStep, FlatStep>;

// The type a formulation's visitor is called with: StepKind<S>::type is S.
template <class S>
struct StepKind {
  using type = S;
};

// Calls visit(StepKind<S>()) with the class S of formulation f.
template <class Visit>
decltype(auto) WithFormulation(Formulation f, Visit&& visit) {
  if (f == Formulation::Flat) return visit(StepKind<FlatStep>());
  return visit(StepKind<CylinderStep>());
}

}  // namespace tepora
