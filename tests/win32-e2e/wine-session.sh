# shellcheck shell=bash
# shellcheck disable=SC1003  # backslashes in single quotes are Windows paths
# shellcheck disable=SC2034  # the names below are for the scripts that source it
# What the wine end-to-end tests share, sourced by them: an X server of their own
# (Xvfb), a fresh wine prefix in a temporary folder whose drives are the test's
# own, and the program started, clicked and typed at like a person would.
#
# Sets `work` (the test's temporary folder, removed at exit unless RZ_E2E_KEEP is
# set), DISPLAY, HOME, WINEPREFIX. A test adds its own clean-up steps to
# `on_exit` (run first, in order); `program_pid` and `window` are the program
# started last. A test may define fail_details to say more when it fails. With
# RZ_E2E_WINEDEBUG=CHANNELS the program runs with those wine debug channels
# (its output in $work/FOLDER.out; keep it with RZ_E2E_KEEP=1).

# Text tools on bytes (the log is Windows-1252); wine with UTF-8 file names.
export LC_ALL=C
in_wine() { LC_ALL=C.UTF-8 "$@"; }

require_tools() {  # tool...
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is missing"
      exit 77
    fi
  done
}

started=$(date +%s.%N)
seconds_since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }
say() { printf '[%5ss] %s\n' "$(seconds_since "$started")" "$*"; }
fail() {
  say "FAIL: $*"
  if [ -n "${program_pid:-}" ] && [ -n "${window:-}" ]; then
    say "window still there: $(xdotool getwindowname "$window" 2>/dev/null || echo no)"
    import -window root "$work/failure.png" 2>/dev/null || true
  fi
  if declare -F fail_details >/dev/null; then fail_details; fi
  exit 1
}

work=$(mktemp -d /tmp/rz-win32-e2e.XXXXXX)
xvfb_pid=
program_pid=
window=
on_exit=()
session_cleanup() {
  set +e
  local step
  for step in "${on_exit[@]}"; do "$step"; done
  if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null; kill -CONT "$program_pid" 2>/dev/null; fi
  WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  if [ -n "${RZ_E2E_KEEP:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap session_cleanup EXIT

# The X server: the first free display, reported on descriptor 3; wide enough for
# the window at 144 DPI (1044 x 564 and its frame).
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 300); do
    if grep -q '^[0-9]' "$work/display" 2>/dev/null; then break; fi
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb ended: $(cat "$work/xvfb.log")"
    sleep 0.1
  done
  grep -q '^[0-9]' "$work/display" || fail "Xvfb did not report its display"
  DISPLAY=":$(head -n1 "$work/display")"
  export DISPLAY
  unset XAUTHORITY
}

# A fresh prefix with the drives declared as the given types (letter:type, the
# type as wine's drive settings name it: hd, network, cdrom, floppy). No crash
# dialogs, no downloads of Mono or Gecko, an empty home (wine links the user's
# folders in drive_c to it, and C: is scanned).
make_prefix() {  # letter:type...
  mkdir -p "$work/home"
  export HOME="$work/home" WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  in_wine wineboot -i >/dev/null 2>&1 || fail "wineboot failed"
  in_wine wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d false /f >/dev/null 2>&1
  in_wine wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  local drive
  for drive in "$@"; do
    in_wine wine reg add 'HKLM\Software\Wine\Drives' /v "${drive%%:*}:" /d "${drive#*:}" /f >/dev/null 2>&1 ||
      fail "reg add ${drive%%:*}: failed"
  done
  # The drive settings are read when wine starts: let this server end first.
  wineserver -w
  # The window font of the classic forms (MS Sans Serif), as Windows has it; some
  # wine packages do not find their own fonts folder.
  local fonts
  for fonts in /usr/share/wine/fonts /usr/lib/wine/fonts; do
    if [ -d "$fonts" ]; then cp -n "$fonts"/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true; fi
  done
  # Links in drive_c would lead the scan out of C: (to the home folder); plain
  # folders in their place.
  find "$WINEPREFIX/drive_c" -type l -print0 | while IFS= read -r -d '' link; do
    rm -f "$link"
    mkdir -p "$link"
  done
  say "wine prefix ready"
}

# The test drives in place of the Linux root (Z: is removed); C: stays. A wine
# server that is running may hold the drives it saw: a new one sees these.
use_drives() {  # letter:folder...
  rm -f "$WINEPREFIX/dosdevices/z:"
  local drive
  for drive in "$@"; do
    ln -sfn "${drive#*:}" "$WINEPREFIX/dosdevices/${drive%%:*}:"
  done
  in_wine wineserver -k >/dev/null 2>&1 || true
  in_wine wineserver -w >/dev/null 2>&1 || true
}

# --- Driving the program. ------------------------------------------------------
title_pattern='^Rozozovuvor-Ororuzi V1\.0 '
header='HALVEK-ROZOZOVUVOR-ORORUZI-PROTOKOLL: '
cancel_line=$(printf 'SCANVORGANG WURDE MANUELL ABGEBROCHEN! NICHT VOLLST\xc4NDIG!')
note_lines=(
  'HINWEIS: Es konnten nicht alle Dateien erfasst werden, '
  "$(printf 'da Sie beim Ausf\xfchren des Scanners nicht als ')"
  'Administrator dieses PC angemeldet waren! '
)
# Past the double-click time (a click within it belongs to the click on "start").
cancel_delay=0.6

# Starts the program from a folder of its own on C: (the log lands beside it),
# with the arguments given, and waits for its window. Sets program_pid and window.
start_program() {  # program.exe folder-name [argument...]
  local folder="$WINEPREFIX/drive_c/$2"
  mkdir -p "$folder"
  cp "$1" "$folder/rozozovuvor-ororuzi.exe"
  (cd "$folder" && exec env LC_ALL=C.UTF-8 WINEDEBUG="${RZ_E2E_WINEDEBUG:-$WINEDEBUG}" wine 'C:\'"$2"'\rozozovuvor-ororuzi.exe' "${@:3}") >"$work/$2.out" 2>&1 &
  program_pid=$!
  window=
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name "$title_pattern" 2>/dev/null | head -n1 || true)
    if [ -n "$window" ]; then break; fi
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended before its window showed: $(cat "$work/$2.out")"
    sleep 0.1
  done
  [ -n "$window" ] || fail "no window titled like $title_pattern"
  say "window $window: $(xdotool getwindowname "$window")"
  sleep 0.5  # let it paint and take input
}

# The start/cancel button's middle in the client area (9000,4680 size 1215x495 twips).
click_button() {
  xdotool mousemove --window "$window" 640 328 click 1
}

# Presses a key in the program's window, as typed on the keyboard (XTEST).
press() {  # key
  xdotool windowfocus "$window"
  xdotool key --clearmodifiers "$1"
}

# The log's own name for the temporary file a scan writes under until it ends.
final_name() {  # temporary file
  echo "${1/-UNVOLLSTÄNDIG/}"
}

# The one log in a folder (waits up to 15 s for it): the temporary file of the
# scan while it runs.
log_in() {  # folder-name
  local log=
  for _ in $(seq 300); do
    log=$(find "$WINEPREFIX/drive_c/$1" -maxdepth 1 -name 'protokoll-*.txt' | head -n1)
    if [ -n "$log" ]; then break; fi
    sleep 0.05
  done
  [ -n "$log" ] || fail "no log appeared in C:\\$1"
  echo "$log"
}

# True while the program holds the file open. The program's process has the
# descriptor from its first write to the file until it closes it (wine's server
# may keep its own copy for a while after that).
is_open() {  # file
  local fd
  for fd in /proc/"$program_pid"/fd/*; do
    if [ "$(readlink "$fd" 2>/dev/null)" = "$1" ]; then return 0; fi
  done
  return 1
}

# Waits until the program has exited (up to a time limit in seconds).
wait_exit() {  # seconds
  local i
  for ((i = 0; i < $1 * 10; i++)); do
    if ! kill -0 "$program_pid" 2>/dev/null; then
      wait "$program_pid" 2>/dev/null || true
      program_pid=
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Asks the program's window to close as its close box does.
request_close() {  # closer.exe
  in_wine wine "$1" 'Rozozovuvor-Ororuzi V1.0' >/dev/null 2>&1 || fail "no window to close"
}
