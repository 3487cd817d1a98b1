#!/bin/sh
# Installs the Debian packages Tepora needs to build, test and plot, and does
# nothing when they are all there. Uses sudo when not run as root.
set -eu

packages="g++ make cmake libarmadillo-dev libgtest-dev libcli11-dev libtomlplusplus-dev nlohmann-json3-dev octave gnuplot-nox fonts-freefont-otf"

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
