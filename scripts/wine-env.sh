# Shell functions for running the Windows build under Wine. Source, don't run.
#
#   orva_wine_prepare PREFIX   create the prefix once (wineboot -i), safely when
#                              several processes ask at the same time
#   orva_display_start         start Xvfb on a free display and export DISPLAY
#                              (skipped when DISPLAY already works)
#   orva_wine_session_start P  keep one wineserver up for prefix P, so that each
#                              program start costs milliseconds, not seconds
#   orva_wine_session_stop P   stop that wineserver and everything in the prefix
#
# Wine's background processes inherit the standard handles of whichever
# process starts them first, so every start-up here is detached from ours:
# otherwise they would hold a caller's pipe (ctest's output) open for good.

export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko install prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

orva_wine_prepare() {
  local prefix=$1
  export WINEPREFIX=$prefix
  [[ -f $prefix/.orva-ready ]] && return 0
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [[ ! -f $prefix/.orva-ready ]]; then
      wineboot -i </dev/null >/dev/null 2>&1 || true
      wineserver -w </dev/null >/dev/null 2>&1 || true
      touch "$prefix/.orva-ready"
    fi
  ) 9>"$prefix.lock"
}

orva_display_start() {
  if [[ -n ${DISPLAY:-} ]] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 90 140); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 1600x1200x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    ORVA_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    kill "$ORVA_XVFB_PID" 2>/dev/null || true
  done
  echo "could not start Xvfb" >&2
  return 1
}

orva_display_stop() {
  [[ -n ${ORVA_XVFB_PID:-} ]] && kill "$ORVA_XVFB_PID" 2>/dev/null || true
}

orva_wine_session_start() {
  orva_wine_prepare "$1"
  # Exits non-zero when a server for this prefix already runs: that is fine.
  WINEPREFIX=$1 wineserver -p </dev/null >/dev/null 2>&1 || true
  WINEPREFIX=$1 wine wineboot </dev/null >/dev/null 2>&1 || true
}

orva_wine_session_stop() {
  WINEPREFIX=$1 wineserver -k </dev/null >/dev/null 2>&1 || true
  WINEPREFIX=$1 wineserver -w </dev/null >/dev/null 2>&1 || true
}
