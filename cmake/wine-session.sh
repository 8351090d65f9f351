#!/usr/bin/env bash
# Sets up and tears down what every test run under Wine shares:
#   prefix STATE  - a 32-bit prefix in STATE/prefix (made once)
#   start STATE   - the prefix, one persistent wineserver and an Xvfb display
#   stop STATE    - ends the wineserver and Xvfb that start brought up
set -u
cmd=$1 state=$2
mkdir -p "$state"
export WINEPREFIX=$state/prefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=

make_prefix() {
  [ -d "$WINEPREFIX/drive_c" ] && return 0
  (
    flock 9
    [ -d "$WINEPREFIX/drive_c" ] && exit 0
    wineboot -i >/dev/null 2>&1
    # Window teardown waits ~2 s per window for a managed X window otherwise.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
  ) 9>"$state/prefix.lock"
}

case "$cmd" in
  prefix) make_prefix ;;
  start)
    make_prefix
    wineserver -p </dev/null >/dev/null 2>&1
    if ! [ -f "$state/display" ]; then
      for n in $(seq 91 140); do
        [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
        setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        echo $! >"$state/xvfb.pid"
        for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
        echo ":$n" >"$state/display"
        break
      done
    fi
    # Start Wine's own background services now, away from the test runner's
    # output pipes: started by the first test, they would hold them open.
    # The desktop process starts with them and keeps the display it finds,
    # so it must find Xvfb's: without one no test can create a window.
    [ -f "$state/display" ] && export DISPLAY=$(cat "$state/display")
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1
    ;;
  stop)
    wineserver -k 2>/dev/null
    if [ -f "$state/xvfb.pid" ]; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null; rm -f "$state/xvfb.pid" "$state/display"; fi
    ;;
esac
exit 0
