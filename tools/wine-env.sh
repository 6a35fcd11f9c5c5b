# Sourced by the test and run commands: a Wine prefix of the project's own,
# an Xvfb display, and a persistent wineserver. wine_env_stop ends them all.
VARNO_ROOT=${VARNO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$VARNO_ROOT/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Some machines cannot execute 32-bit Linux programs at all (the kernel or
# the hypervisor refuses them), and Debian's wine wrapper always picks the
# 32-bit loader when it is installed. There, Wine runs 64-bit only: the
# wrappers are shadowed by ones that take the 64-bit loader, and
# VARNO_WIN32_UNAVAILABLE tells the callers that i686 programs cannot run.
if [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1 &&
   [ -x /usr/lib/wine/wine64 ]; then
  export VARNO_WIN32_UNAVAILABLE=1
  varno_wine_shim="$VARNO_ROOT/build/wine64-only"
  mkdir -p "$varno_wine_shim"
  for varno_name in wine wine-stable; do
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' \
      >"$varno_wine_shim/$varno_name"
    chmod +x "$varno_wine_shim/$varno_name"
  done
  case ":$PATH:" in *":$varno_wine_shim:"*) ;; *) export PATH="$varno_wine_shim:$PATH" ;; esac
fi

wine_env_start() {
  if [ -n "${VARNO_WIN32_UNAVAILABLE:-}" ]; then
    echo "wine: NOTE this machine cannot execute 32-bit programs: only x86_64 builds run" \
      "(build/x86_64, cmake/toolchain-x86_64-w64-mingw32.cmake)" >&2
  fi
  if [ -z "${DISPLAY:-}" ] || [ -n "${VARNO_OWN_DISPLAY:-}" ]; then
    local n
    for n in $(seq 91 140); do
      [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break
    done
    Xvfb :$n -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    VARNO_XVFB_PID=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    # Layered windows blend their per-pixel alpha (the window shadow) only
    # under a compositing manager; without one X shows the raw colours.
    xcompmgr >/dev/null 2>&1 &
    VARNO_XCOMPMGR_PID=$!
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine: creating prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  wineserver -p >/dev/null 2>&1 || true
  wine_prefix_prepare
  # The first window of a session starts the desktop process, which then
  # inherits that program's output; started under a test it would hold
  # ctest's pipe open for good. Start it here, with no output to hold.
  timeout 60 wine rundll32.exe >/dev/null 2>&1 || true
}

# Fonts and crash handling of the prefix (tools/wine_prefix.py), redone
# whenever that script changes.
wine_prefix_prepare() {
  local stamp="$WINEPREFIX/.varno-prepared" reg="$WINEPREFIX/varno-prefix.reg" want
  want=$(sha1sum "$VARNO_ROOT/tools/wine_prefix.py" | cut -d' ' -f1)
  [ "$(cat "$stamp" 2>/dev/null)" = "$want" ] && return 0
  echo "wine: preparing prefix fonts and crash handling"
  python3 "$VARNO_ROOT/tools/wine_prefix.py" "$WINEPREFIX" "$reg" || return 1
  wine regedit /S "Z:${reg//\//\\}" >/dev/null 2>&1 || { echo "wine: regedit failed"; return 1; }
  echo "$want" >"$stamp"
}

wine_env_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${VARNO_XCOMPMGR_PID:-}" ]; then
    kill "$VARNO_XCOMPMGR_PID" 2>/dev/null || true
    wait "$VARNO_XCOMPMGR_PID" 2>/dev/null || true
  fi
  if [ -n "${VARNO_XVFB_PID:-}" ]; then
    kill "$VARNO_XVFB_PID" 2>/dev/null || true
    wait "$VARNO_XVFB_PID" 2>/dev/null || true
  fi
}
