#!/bin/sh
# The example billet through the whole loop of a spray-cooling study:
#   1. tepora-sim: the strand under the caster's own spray zones;
#   2. tepora-opt: the spray htcs that bring the control points to their
#      targets, searched from the simulated strand;
#   3. tepora-sim: the strand again under the sprays tepora-opt found, with
#      the control points compared against their targets.
# Each run has its own directory under <build>/demo/, with its TeporaOut/
# and, when Octave is there, a PNG plot.
set -eu
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "$build" && pwd)
example="$root/examples/billet"
demo="$build/demo"

new_case() {  # directory: the example's input, an empty TeporaOut/ and the plot script
  rm -rf "$1"
  mkdir -p "$1/TeporaOut"
  cp -r "$example/Input" "$1/"
  cp "$root/scripts/visualiseF.m" "$1/TeporaOut/"
}

echo "== 1. tepora-sim: the example billet with its own sprays, $demo/billet"
new_case "$demo/billet"
"$bin/tepora-sim" -C "$demo/billet"
echo

echo "== 2. tepora-opt: spray htcs for the control points, $demo/billet-opt"
new_case "$demo/billet-opt"
# The search starts from the simulated strand rather than from a strand full
# of liquid steel.
cp "$demo/billet/TeporaOut/T_0_final.cub" "$demo/billet-opt/TeporaOut/T_0.cub"
"$bin/tepora-opt" -C "$demo/billet-opt"
echo

echo "== 3. tepora-sim: the billet with the optimal sprays, $demo/billet-optimal"
new_case "$demo/billet-optimal"
# The caster's file without its [[spray]] tables (each runs to the next table
# header), then the spray zones tepora-opt wrote.
{
  awk '/^[[:space:]]*\[/ { spray = ($0 ~ /^[[:space:]]*\[\[[[:space:]]*spray[[:space:]]*\]\]/) }
       !spray' "$example/Input/Caster.toml"
  echo
  cat "$demo/billet-opt/TeporaOut/OptimalSprays.toml"
} > "$demo/billet-optimal/Input/Caster.toml"
"$bin/tepora-sim" -C "$demo/billet-optimal"

echo
echo "== Results, in $demo/:"
echo "  billet/TeporaOut/          the example under its own sprays"
echo "  billet-opt/TeporaOut/      the optimisation; its sprays in OptimalSprays.toml"
echo "  billet-optimal/TeporaOut/  the example under those sprays (its Input/Caster.toml);"
echo "                             its control points against their targets are printed above"
plots=""
for p in billet/TeporaOut/TempProfile_final.png billet-opt/TeporaOut/Profile.png \
  billet-optimal/TeporaOut/TempProfile_final.png; do
  [ -f "$demo/$p" ] && plots="$plots $p"
done
if [ -n "$plots" ]; then
  echo "Plots, in $demo/:"
  for p in $plots; do echo "  $p"; done
else
  echo "No plots: Octave is not available."
fi
