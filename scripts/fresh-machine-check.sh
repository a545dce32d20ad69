#!/usr/bin/env bash
# Checks the README's two commands on a fresh Debian 12: debootstraps a minimal Debian 12
# (--variant=minbase) into a folder, copies a clean clone of one commit into it and runs
# `./scripts/setup.sh` and then `./scripts/test.sh` there as written, as root, with no
# LANG or other locale variable, printing the time each took. Not part of the test
# command: it needs root, the network to Debian's archive and an hour or more.
#
#   scripts/fresh-machine-check.sh [--setup-only] [--keep] DIR [COMMIT]
#
# DIR holds the tree (DIR/root, made afresh on every run) and the downloaded packages of
# debootstrap (DIR/cache, kept for the next run). COMMIT (default HEAD) is cloned from the
# repository this script belongs to. The tree runs in a mount and PID namespace of its
# own: /proc, /sys, /dev, /dev/pts and /dev/shm are mounted into it there, so they vanish
# with the last process of the check and nothing is left running or mounted. --keep
# leaves DIR/root in place for a look afterwards; --setup-only stops after the set-up.
set -euo pipefail

setup_only=0
keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --setup-only) setup_only=1; shift ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    --) shift; break ;;
    -*) echo "fresh-machine-check: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -eq 1 ] || [ $# -eq 2 ] || { echo "usage: $0 [--setup-only] [--keep] DIR [COMMIT]" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "fresh-machine-check: needs root (debootstrap, chroot, mounts)" >&2; exit 2; }

top=$(cd "$(dirname "$0")/.." && pwd)
dir=$(mkdir -p "$1" && cd "$1" && pwd)
commit=$(git -C "$top" rev-parse --verify "${2:-HEAD}^{commit}")
root=$dir/root
mirror=${ZIMBAR_DEBIAN_MIRROR:-http://deb.debian.org/debian}
security=${ZIMBAR_DEBIAN_SECURITY:-http://deb.debian.org/debian-security}

# A tree of an earlier run is removed, but only when nothing is mounted below it (the
# namespace makes that so; this guards against a tree someone mounted by hand).
if [ -e "$root" ]; then
  if findmnt -rn -o TARGET | grep -q "^$root/"; then
    echo "fresh-machine-check: something is mounted below $root; unmount it first" >&2
    exit 1
  fi
  rm -rf --one-file-system "$root"
fi

command -v debootstrap >/dev/null ||
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap

seconds() { date +%s; }
t0=$(seconds)
mkdir -p "$dir/cache"
debootstrap --variant=minbase --cache-dir="$dir/cache" bookworm "$root" "$mirror" >"$dir/debootstrap.log" 2>&1 || {
  tail -20 "$dir/debootstrap.log" >&2
  exit 1
}
# What a Debian 12 installation lists: the release, its updates and the security archive.
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security bookworm-security main
EOF
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
t_bootstrap=$(( $(seconds) - t0 ))

# A clean clone of the commit: nothing of this work tree (no build folders, no local
# changes) goes along.
git clone -q --no-local --no-checkout "$top" "$root/root/zimbar"
git -C "$root/root/zimbar" -c advice.detachedHead=false checkout -q "$commit"
echo "fresh-machine-check: Debian 12 minbase in $root (${t_bootstrap} s), commit $(git -C "$root/root/zimbar" log -1 --format='%h %s')"

# The installed packages of the tree: their number and the disk they take (the sum of
# their Installed-Size, so apt's cache of downloaded files does not count), and the size
# of the build folders.
installed() {
  local count size builds=""
  count=$(chroot "$root" dpkg-query -W -f='${db:Status-Abbrev}\n' | grep -c '^ii')
  size=$(chroot "$root" dpkg-query -W -f='${db:Status-Abbrev} ${Installed-Size}\n' |
         awk '/^ii/ { kib += $2 } END { printf "%.0f", kib / 1024 }')
  for b in build build-test build-fuzz; do
    [ -d "$root/root/zimbar/$b" ] && builds+=" $b/ $(du -sm "$root/root/zimbar/$b" | cut -f1) MB"
  done
  chroot "$root" dpkg-query -W -f='${db:Status-Abbrev} ${Package} ${Version} ${Installed-Size}\n' |
    awk '/^ii/ { print $2, $3, $4 }' >"$dir/packages-${1// /-}.txt"
  echo "fresh-machine-check: $1: $count packages installed, $size MB;${builds:- no build folders}"
}
installed "before the set-up"

# Runs one of the README's commands in the tree, as root, with a minimal environment (no
# LANG, LC_*, LANGUAGE), in fresh namespaces so that whatever it leaves running ends with it.
run_in_tree() {
  local log=$1; shift
  unshare --mount --pid --fork --propagation private /bin/bash -euo pipefail -c '
    root=$1; shift
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount --bind /dev "$root/dev"
    mount --bind /dev/pts "$root/dev/pts"
    mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
    exec env -i HOME=/root TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      chroot "$root" /bin/bash -c "cd /root/zimbar && $*"
  ' bash "$root" "$@" >"$log" 2>&1
}

status=0
t0=$(seconds)
run_in_tree "$dir/setup.log" ./scripts/setup.sh || status=$?
t_setup=$(( $(seconds) - t0 ))
echo "fresh-machine-check: ./scripts/setup.sh exited $status after ${t_setup} s (log: $dir/setup.log)"
installed "after the set-up"
[ $status -eq 0 ] || { tail -30 "$dir/setup.log" >&2; exit 1; }

if [ $setup_only -eq 0 ]; then
  t0=$(seconds)
  run_in_tree "$dir/test.log" ./scripts/test.sh || status=$?
  t_test=$(( $(seconds) - t0 ))
  echo "fresh-machine-check: ./scripts/test.sh exited $status after ${t_test} s (log: $dir/test.log)"
  installed "after the tests"
  grep -E '^[0-9]+% tests passed|^The following tests|Failed|\*\*\*' "$dir/test.log" | tail -40 || true
  [ $status -eq 0 ] || { tail -30 "$dir/test.log" >&2; }
fi

if [ $keep -eq 0 ]; then
  rm -rf --one-file-system "$root"
fi
exit $status
