#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that are missing (needs root or sudo).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$here/packages.txt")
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
# The proxy servers are test tools only: keep their packaged services from running.
for svc in tinyproxy danted; do
  $sudo systemctl disable --now "$svc" >/dev/null 2>&1 || true
  $sudo service "$svc" stop >/dev/null 2>&1 || true
done
