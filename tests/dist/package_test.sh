#!/usr/bin/env bash
# Builds the Debian package from this build, installs it with apt, runs the programs from
# PATH, finds the manual page, removes the package and checks that nothing is left.
# It changes the machine, so it runs only as root with ZIMBAR_TEST_PACKAGE=1 (CI sets it);
# otherwise it is skipped (exit 77).
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$1
if [ "$(id -u)" -ne 0 ] || [ "${ZIMBAR_TEST_PACKAGE:-}" != 1 ]; then
  echo "skipped: needs root and ZIMBAR_TEST_PACKAGE=1"
  exit 77
fi
if dpkg-query -W -f='${Status}' zimbar 2>/dev/null | grep -q 'install ok installed'; then
  echo "skipped: a zimbar package is installed already"
  exit 77
fi
work=$(mktemp -d)
trap 'apt-get remove -y -qq zimbar >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work" >/dev/null)
deb=$(ls "$work"/zimbar_*.deb)
lintian "$deb" | { ! grep '^E:'; }
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
unset ZIMBAR_LIB_DIR ZIMBAR_SHARE_DIR LD_LIBRARY_PATH
export ZIMBAR_HOME="$work/home"
[ "$(command -v zbplayer)" = /usr/bin/zbplayer ]
zbplayer --version
zbmaker --version
man -w zbmaker
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq zimbar >/dev/null
for left in /usr/lib/zimbar /usr/share/zimbar /usr/bin/zbmaker /usr/bin/zbplayer; do
  if [ -e "$left" ]; then echo "left behind: $left"; exit 1; fi
done
echo "package installed, ran and was removed cleanly"
