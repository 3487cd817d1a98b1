#!/bin/sh
# The example billet through the whole loop of a spray-cooling study:
#   1. tepora-sim: the strand under the caster's own spray zones;
#   2. tepora-opt: the caster's spray zones designed, zone by zone from the
#      mould down, for the control points within the caster's limits;
#   3. tepora-sim: a transient run of the caster with the zones found, with the control
#      points against their targets and the strand against the limits;
#   4. tepora-opt --speeds: the cooling table from 1.6 to 2.8 m/min.
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

echo "== 2. tepora-opt: the caster's zones designed for the control points, $demo/billet-opt"
new_case "$demo/billet-opt"
"$bin/tepora-opt" -C "$demo/billet-opt"
echo

echo "== 3. tepora-sim: the billet under the zones found, $demo/billet-optimal"
new_case "$demo/billet-optimal"
# The caster with the zones found is the case's whole Caster.toml: a transient run of it
# checks the steady design on the 3-D model.
cp "$demo/billet-opt/TeporaOut/OptimalSprays.toml" "$demo/billet-optimal/Input/Caster.toml"
"$bin/tepora-sim" -C "$demo/billet-optimal"
echo

echo "== 4. tepora-opt --speeds: the cooling table from 1.6 to 2.8 m/min, $demo/billet-table"
new_case "$demo/billet-table"
"$bin/tepora-opt" -C "$demo/billet-table" --speeds 1.6:2.8:0.1
echo
echo "== Results, in $demo/:"
echo "  billet/TeporaOut/          the example under its own sprays"
echo "  billet-opt/TeporaOut/      the zone search; the caster with its zones in OptimalSprays.toml"
echo "  billet-optimal/TeporaOut/  the example under the zones found (its Input/Caster.toml);"
echo "                             its control points and limits are printed above"
echo "  billet-table/TeporaOut/    the cooling table, CoolingTable.csv"
plots=""
for p in billet/TeporaOut/TempProfile_final.png billet-opt/TeporaOut/Profile.png \
  billet-optimal/TeporaOut/TempProfile_final.png billet-table/TeporaOut/CoolingTable.png; do
  [ -f "$demo/$p" ] && plots="$plots $p"
done
if [ -n "$plots" ]; then
  echo "Plots, in $demo/:"
  for p in $plots; do echo "  $p"; done
else
  echo "No plots: Octave is not available."
fi
