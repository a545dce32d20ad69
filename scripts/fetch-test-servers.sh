#!/usr/bin/env bash
# Puts the servers of scripts/packages-test-servers.txt into DIR without installing them:
# downloads their Debian packages with `apt-get download`, unpacks each with `dpkg-deb -x`
# into DIR, and installs what they depend on (libraries) with install-packages.sh. Their
# maintainer scripts never run, so the machine gets no service, user or configuration
# from them; scripts/test-servers.sh starts them from DIR for one test run.
#   fetch-test-servers.sh DIR
# A DIR made for the same package versions is kept as it is.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 1 ] || { echo "usage: $0 DIR" >&2; exit 2; }
dir=$1
mapfile -t servers < <(grep -vE '^\s*(#|$)' "$here/packages-test-servers.txt")

# The versions apt would install now; the unpacked tree is made again when they change.
candidates() {
  local p
  for p in "${servers[@]}"; do
    echo "$p $(apt-cache policy "$p" 2>/dev/null | sed -n 's/^ *Candidate: //p')"
  done
}
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
wanted=$(candidates)
if grep -q ' $\| (none)$' <<<"$wanted"; then
  # No package lists yet (a fresh machine) or old ones.
  $sudo apt-get update -qq
  wanted=$(candidates)
fi
if [ -f "$dir/versions" ] && [ "$(cat "$dir/versions")" = "$wanted" ]; then
  exit 0
fi

rm -rf "$dir"
mkdir -p "$dir/debs"
debs=$dir/debs
# apt fetches as its unprivileged user when it runs as root; let it write there.
[ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1 && chown _apt "$debs"
(cd "$debs" && apt-get download -qq "${servers[@]}")

# What the servers depend on: each package's Depends, the first of alternatives, without
# versions; less the servers themselves and what only their maintainer scripts use.
deps=()
for deb in "$debs"/*.deb; do
  dpkg-deb -x "$deb" "$dir"
  while read -r dep; do
    case " ${servers[*]} adduser lsb-base init-system-helpers logrotate " in
      *" $dep "*) ;;
      *) deps+=("$dep") ;;
    esac
  done < <(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed -e 's/|.*//' -e 's/(.*)//' -e 's/:any//' -e 's/ //g' | grep -v '^$')
done
"$here/install-packages.sh" -- "${deps[@]}"
echo "$wanted" >"$dir/versions"
echo "test servers unpacked in $dir: ${servers[*]}"
