#!/bin/sh
# Installs the Debian packages Tepora needs to build, test and plot, and does
# nothing when they are all there. Uses sudo when not run as root.
# TEPORA_MPI=1 adds Open MPI, for the optimiser across processes
# (make test-mpi); nothing else needs it.
set -eu

packages="g++ make cmake python3 libarmadillo-dev libgtest-dev libcli11-dev libtomlplusplus-dev nlohmann-json3-dev octave gnuplot-nox fonts-freefont-otf"
if [ "${TEPORA_MPI:-0}" = 1 ]; then packages="$packages libopenmpi-dev openmpi-bin"; fi

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# Octave's recommended packages (documentation, GUI) are not needed to plot.
$sudo apt-get install -y -qq --no-install-recommends $missing
