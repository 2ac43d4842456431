# Sourced by cmake/wine-run and the scripts: sets up the Wine environment and offers
# pelinor_wine_ready, which makes sure a display, the prefix and a warm wineserver exist.
_pelinor_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${PELINOR_WINEPREFIX:-$_pelinor_root/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8

_pelinor_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  # Each checkout gets its own virtual display, so parallel work trees never share windows.
  local n="${PELINOR_XVFB_DISPLAY:-$(( 50 + $(printf '%s' "$_pelinor_root" | cksum | cut -d' ' -f1) % 40 ))}"
  export DISPLAY=":$n"
  if xdpyinfo >/dev/null 2>&1; then return 0; fi
  # A server that holds the display's lock may still be starting (on a busy machine that
  # has taken over ten seconds): wait for it rather than start a second one, which would
  # only fail on the lock.
  local log="${TMPDIR:-/tmp}/pelinor-xvfb-$n.log" pid="" ours=""
  [ -r "/tmp/.X$n-lock" ] && pid="$(tr -dc '0-9' <"/tmp/.X$n-lock")"
  if [ -z "$pid" ] || [ "$(cat "/proc/$pid/comm" 2>/dev/null)" != Xvfb ]; then
    ours="$(Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp </dev/null >"$log" 2>&1 & echo $!)"
  fi
  local i
  for i in $(seq 1 600); do
    xdpyinfo >/dev/null 2>&1 && return 0
    # A server that already gave up (the display is taken) will not answer.
    if [ -n "$ours" ] && ! kill -0 "$ours" 2>/dev/null; then break; fi
    sleep 0.1
  done
  echo "wine-run: no Xvfb answered on :$n; its output:" >&2
  tail -n 20 "$log" >&2 2>/dev/null || true
  return 1
}

# True when a wineserver for this prefix is running. A server works in a directory named
# after the prefix's device and inode: one left from an earlier prefix at the same path
# (a removed checkout, say) does not count, as the programs started here would not use it.
_pelinor_server_running() {
  local pid want
  want="server-$(stat -c %D "$WINEPREFIX" 2>/dev/null)-$(printf %x "$(stat -c %i "$WINEPREFIX" 2>/dev/null || echo 0)")"
  for pid in $(pgrep -f '(^|/)wineserver(32|64)?( |$)' 2>/dev/null || true); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
       [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$want" ]; then
      return 0
    fi
  done
  return 1
}

pelinor_wine_ready() {
  _pelinor_display || return 1
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot -i 9>&- </dev/null >/dev/null 2>&1 || true
      wine 9>&- reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        </dev/null >/dev/null 2>&1 || true
      # Test prefixes run on a display with no window manager, where Wine waits about two
      # seconds for one whenever a managed window (a dialog) closes: leave windows unmanaged.
      if [ "${PELINOR_WINE_MANAGED:-0}" != 1 ]; then
        wine 9>&- reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
          </dev/null >/dev/null 2>&1 || true
      fi
      # The server wineboot started is not persistent: with it, every later program
      # found the prefix's services and desktop restarting (each test that opens a
      # window took about 20 s instead of 1). It goes; the persistent one below replaces it.
      wineserver -k 9>&- </dev/null >/dev/null 2>&1 || true
      wineserver -w 9>&- </dev/null >/dev/null 2>&1 || true
    fi
    # A persistent, warmed-up server keeps each start fast, and its helper processes
    # (services, explorer) are started here, detached from the caller's output pipes, so
    # they never hold ctest's pipe open.
    if ! _pelinor_server_running; then
      # (-p600, not -p 600: the server's option takes its value attached, and a bare -p
      # keeps it running for ever after the tests.)
      wineserver -p600 9>&- </dev/null >/dev/null 2>&1 || true
      wine cmd /c exit 9>&- </dev/null >/dev/null 2>&1 || true
    fi
  ) 9>"$WINEPREFIX.lock"
}
