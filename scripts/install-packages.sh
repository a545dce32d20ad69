#!/usr/bin/env bash
# Installs the Debian packages of the named lists that are missing (needs root or sudo):
#   install-packages.sh build        scripts/packages-build.txt (building and running)
#   install-packages.sh build test   and scripts/packages-test.txt (tests, benchmarks)
#   install-packages.sh -- PKG...    the packages named
# Installs packages and nothing else: it neither starts, stops, enables nor disables a
# service of the machine.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wanted=()
if [ "${1:-}" = -- ]; then
  shift
  wanted=("$@")
else
  [ $# -gt 0 ] || { echo "usage: $0 LIST... (build, test) | -- PACKAGE..." >&2; exit 2; }
  for list in "$@"; do
    [ -f "$here/packages-$list.txt" ] || { echo "install-packages: no list $here/packages-$list.txt" >&2; exit 2; }
    mapfile -t -O "${#wanted[@]}" wanted < <(grep -vE '^\s*(#|$)' "$here/packages-$list.txt")
  done
fi
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
