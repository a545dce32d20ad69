#!/usr/bin/env bash
# Builds the Debian package from this build, checks it with lintian, installs it with apt,
# runs the programs from PATH, finds their manual pages, removes the package and checks
# that nothing is left.
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
# The libraries loaded by name at run time are named by no binary: the package must still
# depend on them.
for library in libcurl4 libpulse0; do
  dpkg-deb -f "$deb" Depends | grep -q "\b$library\b" || { echo "the package does not depend on $library"; exit 1; }
done
# Clean at lintian's default level: any error or warning fails. In a build without the
# sanitizers (which go without hardening, see CMakeLists.txt) a binary without bind-now
# fails too. The other informational tags are shown, not judged: lintian reports
# "no fortify functions" for a library none of whose calls has a size known when it is
# compiled, and spelling errors in pieces of correct texts that the compiler copies 16
# bytes at a time ("bad track addres" + "s").
lintian --display-info --fail-on error,warning "$deb" | tee "$work/lintian.txt"
if ! grep -q '^ZIMBAR_SANITIZE:BOOL=ON$' "$build/CMakeCache.txt" &&
   grep -E '^I: zimbar: hardening-no-bindnow ' "$work/lintian.txt"; then
  echo "lintian: binaries without bind-now in a hardened build"
  exit 1
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
unset ZIMBAR_LIB_DIR ZIMBAR_SHARE_DIR LD_LIBRARY_PATH
export ZIMBAR_HOME="$work/home"
for program in zbmaker zbplayer zbskinview zbaacdec; do
  [ "$(command -v $program)" = /usr/bin/$program ] || { echo "$program is not /usr/bin/$program"; exit 1; }
  man -w $program
done
zbplayer --version
zbmaker --version
zbaacdec --version
QT_QPA_PLATFORM=offscreen zbskinview --help | grep -q -- --skin
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq zimbar >/dev/null
for left in /usr/lib/zimbar /usr/share/zimbar /usr/bin/zbmaker /usr/bin/zbplayer /usr/bin/zbskinview /usr/bin/zbaacdec; do
  if [ -e "$left" ]; then echo "left behind: $left"; exit 1; fi
done
echo "package installed, ran and was removed cleanly"
