# Shared by the Wine wrapper and the test scripts: where the build's Wine
# prefix and X display are, and how to bring them up. Source it with
# MF_BUILD_DIR set.
# The prefix's architecture is the build's: win32 for the shipped 32-bit
# build, win64 where the machine cannot run 32-bit code (see host-preset.sh).
export WINEARCH=win32
[ -f "$MF_BUILD_DIR/wine-arch" ] && WINEARCH=$(cat "$MF_BUILD_DIR/wine-arch")
# Debian's "wine" script always picks the 32-bit loader when it is
# installed; a 64-bit prefix is run by the 64-bit loader itself.
if [ "$WINEARCH" = win64 ]; then
  MF_WINE=/usr/lib/wine/wine64
  export WINELOADER=$MF_WINE
else
  MF_WINE=wine
fi
export WINEPREFIX="$MF_BUILD_DIR/wineprefix"
export WINEDEBUG=${WINEDEBUG:--all}
# A run that shows Chinese in system-drawn controls (dialog controls, message
# boxes, captions) sets MF_WINE_LOCALE=zh_CN.UTF-8: the ANSI code page is then
# 936. Other runs keep the machine's locale.
if [ -n "${MF_WINE_LOCALE:-}" ]; then
  export LC_ALL=$MF_WINE_LOCALE
fi
# No desktop integration, no Mono or Gecko download prompts.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
MF_XVFB_FILE="$MF_BUILD_DIR/xvfb.display"
MF_LOCK_FILE="$MF_BUILD_DIR/wine.lock"

mf_xvfb_alive() {
  [ -s "$MF_XVFB_FILE" ] || return 1
  local pid
  pid=$(cut -d' ' -f2 "$MF_XVFB_FILE")
  kill -0 "$pid" 2>/dev/null
}

mf_start_xvfb() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] && continue
    [ -e "/tmp/.X11-unix/X$n" ] && continue
    # fd 9 is the set-up lock: no long-lived child may keep it.
    setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 < /dev/null 9>&- &
    local pid=$!
    local i
    for i in $(seq 1 50); do
      if [ -e "/tmp/.X11-unix/X$n" ]; then
        echo ":$n $pid" > "$MF_XVFB_FILE"
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null
  done
  echo "wine-run: could not start Xvfb" >&2
  return 1
}

# A fresh prefix: Wine's defaults, but the shell folders that Wine links to
# the Linux home folder become real folders inside the prefix, so nothing
# a test does lands outside the build tree.
mf_make_prefix() {
  # A test that died while it kept a file immutable (tests/support/
  # immutable_path.h) would keep the old prefix from being removed.
  if [ -d "$WINEPREFIX/drive_c/users" ] && command -v chattr >/dev/null 2>&1; then
    chattr -R -f -i "$WINEPREFIX/drive_c/users" 2>/dev/null || true
  fi
  rm -rf "$WINEPREFIX"
  "$MF_WINE" wineboot -i >/dev/null 2>&1 < /dev/null 9>&-
  wineserver -w 9>&-
  local d
  for d in "$WINEPREFIX"/drive_c/users/*/; do
    local f
    for f in "$d"*; do
      if [ -L "$f" ]; then
        rm -f "$f"
        mkdir -p "$f"
      fi
    done
  done
  # Ready for windows: no window-manager waits, the fonts the windows name.
  local here
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  cp "$here/prefix.reg" "$WINEPREFIX/drive_c/mirefold-prefix.reg"
  "$MF_WINE" reg import 'C:\mirefold-prefix.reg' >/dev/null 2>&1 < /dev/null 9>&-
  wineserver -w 9>&-
  touch "$WINEPREFIX/.mirefold-ready"
}

# Whether a program whose command line matches runs in this build's prefix.
mf_prefix_runs() {
  local p
  for p in $(pgrep -f "$1"); do
    tr '\0' '\n' < "/proc/$p/environ" 2>/dev/null | grep -xF "WINEPREFIX=$WINEPREFIX" >/dev/null && return 0
  done
  return 1
}

mf_wine_ensure() {
  (
    flock 9
    if ! mf_xvfb_alive; then mf_start_xvfb || exit 1; fi
    if [ ! -e "$WINEPREFIX/.mirefold-ready" ]; then
      export DISPLAY
      DISPLAY=$(cut -d' ' -f1 "$MF_XVFB_FILE")
      mf_make_prefix
    fi
    # A wineserver started by the first program would inherit ctest's output
    # pipe and keep ctest waiting: start it here, detached, with its output
    # dropped, and only once (it exits at once when one is running).
    if setsid wineserver -p >/dev/null 2>&1 < /dev/null 9>&-; then
      # A new server: let one program bring up the session's services and
      # desktop before parallel tests race each other for them.
      DISPLAY=$(cut -d' ' -f1 "$MF_XVFB_FILE") "$MF_WINE" cmd.exe /c exit 0 >/dev/null 2>&1 < /dev/null 9>&-
      # The desktop process (explorer.exe /desktop) is started by the first
      # program that makes a window, keeps that program's stderr and lives
      # while any program uses the desktop: the first test with a window
      # would keep ctest waiting on its output until the end. A minimised
      # program that holds the desktop for the whole session starts it here
      # instead, with its output dropped.
      DISPLAY=$(cut -d' ' -f1 "$MF_XVFB_FILE") setsid "$MF_WINE" start /min notepad.exe >/dev/null 2>&1 < /dev/null 9>&-
      for _ in $(seq 1 100); do
        mf_prefix_runs 'explorer.exe /desktop' && break
        sleep 0.1
      done
    fi
    true
  ) 9> "$MF_LOCK_FILE" || return 1
  DISPLAY=$(cut -d' ' -f1 "$MF_XVFB_FILE")
  export DISPLAY
  return 0
}

mf_wine_stop() {
  wineserver -k >/dev/null 2>&1
  if [ -s "$MF_XVFB_FILE" ]; then
    kill "$(cut -d' ' -f2 "$MF_XVFB_FILE")" 2>/dev/null
    rm -f "$MF_XVFB_FILE"
  fi
}
