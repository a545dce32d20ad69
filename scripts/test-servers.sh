# Servers the desktop tests use, private to one test run: an X server (Xvfb) and a
# PulseAudio daemon with a null sink whose monitor the tests record.
# Source this file, then call zb_servers_start; zb_servers_stop ends what it started.
# zb_servers_start exports DISPLAY, XDG_RUNTIME_DIR, PULSE_SERVER and
# ZIMBAR_TEST_SERVERS=1 (tests that need a server fail instead of skipping when it is set).
#
# The servers' packages are not installed on the machine: scripts/fetch-test-servers.sh
# unpacks them into $ZIMBAR_TEST_SERVERS_DIR (default build-test/test-servers), and
# zb_servers_start runs the sound server from there and puts the folder's programs (the
# proxies the CDDB tests start) first on PATH until zb_servers_stop. Without that folder
# the programs installed on the machine are used.
ZB_SERVERS_TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

zb_servers_start() {
  local unpacked=${ZIMBAR_TEST_SERVERS_DIR:-$ZB_SERVERS_TOP/build-test/test-servers}
  local pulseaudio=(pulseaudio)
  ZB_SERVERS_OLD_PATH=$PATH
  if [ -x "$unpacked/usr/bin/pulseaudio" ]; then
    export PATH="$unpacked/usr/sbin:$unpacked/usr/bin:$PATH"
    # The daemon's own library and modules sit in the unpacked tree, not where it was
    # built to look for them.
    local modules
    modules=$(echo "$unpacked"/usr/lib/pulse-*/modules)
    pulseaudio=(env "LD_LIBRARY_PATH=$(echo "$unpacked"/usr/lib/*-linux-gnu*/pulseaudio):$modules"
                "$unpacked/usr/bin/pulseaudio" "--dl-search-path=$modules")
  fi
  ZB_SERVERS_DIR=$(mktemp -d "${TMPDIR:-/tmp}/zimbar-servers.XXXXXX")
  chmod 700 "$ZB_SERVERS_DIR"

  # Xvfb picks a free display number and writes it to fd 3.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    3>"$ZB_SERVERS_DIR/display" >"$ZB_SERVERS_DIR/xvfb.log" 2>&1 &
  ZB_XVFB_PID=$!
  local i
  for i in $(seq 100); do
    [ -s "$ZB_SERVERS_DIR/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$ZB_SERVERS_DIR/display" ]; then
    echo "test-servers: Xvfb did not start:" >&2
    cat "$ZB_SERVERS_DIR/xvfb.log" >&2
    return 1
  fi
  export DISPLAY=":$(cat "$ZB_SERVERS_DIR/display")"

  # A sound server of our own; runs as root too (it warns, but works for one user).
  export XDG_RUNTIME_DIR="$ZB_SERVERS_DIR/runtime"
  mkdir -m 700 -p "$XDG_RUNTIME_DIR"
  # Shared-memory transport off: with memfd blocks the daemon can abort on a bad block
  # reference while clients come and go quickly (clients then copy over the socket).
  "${pulseaudio[@]}" -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$ZB_SERVERS_DIR/pulse-native" \
    -L "module-null-sink sink_name=nullsink" \
    >"$ZB_SERVERS_DIR/pulse.log" 2>&1 &
  ZB_PULSE_PID=$!
  export PULSE_SERVER="unix:$ZB_SERVERS_DIR/pulse-native"
  for i in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  if ! pactl info >/dev/null 2>&1; then
    echo "test-servers: PulseAudio did not start:" >&2
    cat "$ZB_SERVERS_DIR/pulse.log" >&2
    return 1
  fi
  pactl set-default-sink nullsink
  export ZIMBAR_TEST_SERVERS=1
  echo "test-servers: X on $DISPLAY, PulseAudio at $PULSE_SERVER"
}

zb_servers_stop() {
  [ -n "${ZB_PULSE_PID:-}" ] && kill "$ZB_PULSE_PID" 2>/dev/null
  [ -n "${ZB_XVFB_PID:-}" ] && kill "$ZB_XVFB_PID" 2>/dev/null
  wait "${ZB_PULSE_PID:-}" "${ZB_XVFB_PID:-}" 2>/dev/null
  [ -n "${ZB_SERVERS_DIR:-}" ] && rm -rf "$ZB_SERVERS_DIR"
  ZB_PULSE_PID= ZB_XVFB_PID= ZB_SERVERS_DIR=
  [ -n "${ZB_SERVERS_OLD_PATH:-}" ] && export PATH=$ZB_SERVERS_OLD_PATH
  ZB_SERVERS_OLD_PATH=
  return 0
}
