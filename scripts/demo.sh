#!/bin/sh
# Runs both programs on the example billet: the simulation of the whole
# strand, then the optimisation of the spray htcs starting from the
# simulated field. Results and plots stay in <build>/demo/.
set -eu
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
demo="$build/demo"

run_case() {  # directory, program
  rm -rf "$1"
  mkdir -p "$1/TeporaOut"
  cp -r "$root/examples/billet/Input" "$1/"
  cp "$root/scripts/visualiseF.m" "$1/TeporaOut/"
}

echo "== tepora-sim: example billet, $demo/billet"
run_case "$demo/billet"
(cd "$demo/billet" && "$root/$build/tepora-sim")
echo

echo "== tepora-opt: spray htcs per element, $demo/billet-opt"
run_case "$demo/billet-opt"
# The optimiser starts from the simulated strand rather than from a strand
# full of liquid steel.
cp "$demo/billet/TeporaOut/T_0_final.cub" "$demo/billet-opt/TeporaOut/T_0.cub"
(cd "$demo/billet-opt" && "$root/$build/tepora-opt")
echo
echo
echo "Results:"
ls "$demo"/billet/TeporaOut/*.png "$demo"/billet-opt/TeporaOut/*.png 2>/dev/null ||
  echo "(no plots: Octave is not available)"
