#!/usr/bin/env bash
# shellcheck disable=SC1003  # backslashes in single quotes are Windows paths
# End-to-end test of the Windows program under wine, clicked and typed at like a
# person would, on an X server of its own (Xvfb).
#
# A fresh wine prefix in a temporary folder gets test drives in place of the
# Linux root (Z: is removed): D: a fixed drive and N: a network drive, each a
# temporary folder tree, declared as such in the prefix's drive settings. C: stays
# (the prefix's drive_c, a fixed drive as well).
#
# 0. The layout at 96, 120 and 144 DPI (the prefix's LogPixels): the main window,
#    started as the program starts it, measures its texts in its own fonts
#    (LAYOUT-CHECK.exe), also after a move to a monitor of higher DPI; each must
#    fit its control.
# 1. A full scan: start the program, click "start", wait until the log is
#    complete and closed, close the window (close box: SC_CLOSE). The log's D: and
#    N: lines must be exactly the test folders' files as Windows paths in
#    Windows-1252; C:'s lines must be well-formed names of existing files.
#    The window has no task-bar button (wine marks it _NET_WM_STATE_SKIP_TASKBAR).
# 2. A scan cancelled by keys only: the status list has the focus at start, Tab
#    and Shift+Tab move it through "start" and "HILFE" and round, Enter on
#    "start" begins a scan, Enter on "abbrechen" past the double-click time
#    cancels it: the program ends and its log ends with the cancellation line
#    (followed only by the note lines).
# 3. Space on "start" begins a scan, a click on "abbrechen" cancels it.
# 4. Alt+F4 ends the idle program, started with arguments it ignores. (Xvfb has
#    no window manager: a key reaches the wine window only once it has the X
#    input focus, which press() gives it.)
#    The scan of D: takes well under a second under wine: while the test waits
#    out the double-click time and types the cancel, the program is held
#    (SIGSTOP) in the middle of its scan; the key or click waits in the X server
#    and reaches the program when it goes on, at the walk's next yield.
# With RZ_E2E_SCREENSHOTS=FOLDER it also saves the main window at 96, 120 and
# 144 DPI there (window-DPI.png), to be looked at.
#
# Usage: scan-under-wine.sh PROGRAM.exe CLOSE-WINDOW.exe FOCUSED-CONTROL.exe LAYOUT-CHECK.exe
# Exit code 0: passed, 1: failed, 77: skipped (no Xvfb, xdotool or wine).
set -euo pipefail

program=$(realpath "$1")
closer=$(realpath "$2")
focuser=$(realpath "$3")
layout_checker=$(realpath "$4")

# shellcheck source-path=SCRIPTDIR source=wine-session.sh
. "$(dirname "$0")/wine-session.sh"
require_tools Xvfb xdotool xprop wine wineboot wineserver iconv

drives_pid=
stop_making_drives() {
  if [ -n "$drives_pid" ]; then
    kill "$drives_pid" 2>/dev/null
    wait "$drives_pid" 2>/dev/null
  fi
}
on_exit+=(stop_making_drives)

start_xvfb

# --- The test drives. ---------------------------------------------------------
# Made while wine sets up its prefix.
drive_d="$work/drive-d"
drive_n="$work/drive-n"
make_drives() {
  mkdir -p "$drive_d" "$drive_n"
  # D:: 600 folders of 60 files, each with two levels of subfolders of 20 files
  # (60000 files in 1800 folders), plus names with characters of Windows-1252
  # beyond ASCII.
  for i in {001..600}; do
    dir="$drive_d/Ordner $i"
    mkdir -p "$dir/Unterordner/tiefer"
    touch "$dir"/datei-{01..60}.txt "$dir"/Unterordner/bild-{01..20}.jpg "$dir"/Unterordner/tiefer/ton-{01..20}.wav
  done
  mkdir -p "$drive_d/Übersicht/Bäume und Sträucher" "$drive_d/leer"
  touch "$drive_d/wurzel.txt" "$drive_d/Übersicht/Größe.doc" "$drive_d/Übersicht/Preis in €.txt" \
    "$drive_d/Übersicht/Bäume und Sträucher/Eiche (groß).bmp" "$drive_d/Übersicht/ohne Endung"
  echo "Inhalt" >"$drive_d/Übersicht/mit Inhalt.txt"
  mkdir -p "$drive_n/Freigabe/Projekte"
  touch "$drive_n/netz.txt" "$drive_n/Freigabe/Bericht März.pdf" "$drive_n/Freigabe/Projekte/plan-1.txt" \
    "$drive_n/Freigabe/Projekte/plan-2.txt"
}
make_drives &
drives_pid=$!

make_prefix d:hd n:network

# --- 0. The layout at 100, 125 and 150 %. -----------------------------------------
set_dpi() {  # dpi
  in_wine wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1 ||
    fail "could not set LogPixels to $1"
}
# The checker runs from a folder of its own on C:, as the program does: the
# description names the log's full path, and a long path is cut off as the window
# means to cut it, wherever the build folder lies.
layout_folder="$WINEPREFIX/drive_c/rz-layout"
mkdir -p "$layout_folder"
cp "$layout_checker" "$layout_folder/layout-check.exe"
# Each started at one DPI, the first then moved to a monitor of 144 DPI. (Not the
# other way: a wine prefix has its bitmap fonts in the sizes of its own DPI only and
# no Microsoft Sans Serif, so below that DPI the texts come out too wide.)
for dpis in "96 144" "120" "144"; do
  dpi=${dpis%% *}
  set_dpi "$dpi"
  # shellcheck disable=SC2086  # two arguments or one
  if ! (cd "$layout_folder" && in_wine wine 'C:\rz-layout\layout-check.exe' $dpis) \
    >"$work/layout-$dpi.txt" 2>/dev/null; then
    fail "the layout at $dpis DPI:
$(tr -d '\r' <"$work/layout-$dpi.txt" | grep -a -v '^ok')"
  fi
  say "layout: $(tr -d '\r' <"$work/layout-$dpi.txt" | grep -a -v '^ok' | paste -s -d ' '), $(grep -a -c '^ok' "$work/layout-$dpi.txt") texts fit"
done
set_dpi 96

wait "$drives_pid" || fail "could not make the test drives"
drives_pid=
use_drives "d:$drive_d" "n:$drive_n"

# The expected lines: every file of a drive as its Windows path, in Windows-1252.
expected_lines() {  # letter folder
  (cd "$2" && find . -type f) | sed -e 's|^\./||' -e 's|/|\\|g' -e "s|^|$1:\\\\|" |
    iconv -f UTF-8 -t CP1252 | LC_ALL=C sort
}
{
  expected_lines D "$drive_d"
  expected_lines N "$drive_n"
} | LC_ALL=C sort >"$work/expected.txt"
say "test drives: $(wc -l <"$work/expected.txt") files on D: and N:"

# --- Driving the program. ------------------------------------------------------
# The control with the keyboard focus, as "Button start" or "ListBox".
focused() {
  in_wine wine "$focuser" 'Rozozovuvor-Ororuzi V1.0' 2>/dev/null | tr -d '\r'
}

# Waits up to 5 s until the focus is on the control named (as focused() names it).
expect_focus() {  # control what
  local now=
  for _ in $(seq 20); do
    now=$(focused)
    if [ "$now" = "$1" ]; then return 0; fi
    sleep 0.1
  done
  fail "$2: the focus is on \"$now\", not on \"$1\""
}

# Every line but the header and the note lines is a file's path on C:, D: or N:.
check_file_lines() {  # log-lines-file
  local bad
  bad=$(tail -n +2 "$1" | grep -a -v -x -F -e "${note_lines[0]}" -e "${note_lines[1]}" -e "${note_lines[2]}" -e "$cancel_line" |
    grep -a -v -E '^[CDN]:\\[^\\[:cntrl:]]([^[:cntrl:]]*[^\\[:cntrl:]])?$' || true)
  [ -z "$bad" ] || fail "malformed lines in the log: $(echo "$bad" | head -n5)"
}

# --- 1. A full scan. -------------------------------------------------------------
start_program "$program" rz-full
xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR ||
  fail "the window has a task-bar button of its own: $(xprop -id "$window" _NET_WM_STATE)"
click_button
log=$(log_in rz-full)
began=$(date +%s.%N)
say "scan running, log $(basename "$log")"

# Complete: the size has not changed for 2 s and the program no longer holds the
# file open.
last_size=-1
stable_since=$(date +%s)
deadline=$(($(date +%s) + 120))
while :; do
  [ "$(date +%s)" -lt "$deadline" ] ||
    fail "the scan did not finish within 120 s; logs: $(ls "$WINEPREFIX/drive_c/rz-full" | grep protokoll | tr '\n' ' ')"
  kill -0 "$program_pid" 2>/dev/null || fail "the program ended during the scan: $(cat "$work/rz-full.out")"
  # The scan ends when its temporary file takes the log's name (a scan over before
  # its temporary file was seen shows the log's name at once).
  if [ ! -e "$log" ] && [ -e "$(final_name "$log")" ]; then
    grown_after=$(seconds_since "$began")
    break
  fi
  if [ "$(final_name "$log")" = "$log" ] && ! is_open "$log"; then
    log="${log%.txt}-UNVOLLSTÄNDIG.txt"
    grown_after=$(seconds_since "$began")
    break
  fi
  sleep 0.05
done
temporary=$log
log=$(final_name "$temporary")
[ ! -e "$temporary" ] || fail "the temporary file is left beside the log"
last_size=$(stat -c %s "$log")
say "scan complete: $(wc -l <"$log") lines, $last_size bytes, the last of them about $grown_after s after the log appeared"

# Close it like a person would (the close box) and wait for its end.
request_close "$closer"
wait_exit 20 || fail "the program did not end within 20 s after the close request"
say "closed"

# Every line ends with CR LF.
lines=$(wc -l <"$log")
crlf=$(grep -a -c $'\r$' "$log" || true)
if [ "$lines" -eq 0 ] || [ "$crlf" -ne "$lines" ]; then fail "$((lines - crlf)) of $lines lines do not end with CR LF"; fi
[ "$(tail -c 2 "$log" | od -An -tx1 | tr -d ' \n')" = "0d0a" ] || fail "the log does not end with CR LF"
tr -d '\r' <"$log" >"$work/full.txt"

head -n1 "$work/full.txt" | grep -a -q -E "^${header}[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}$" ||
  fail "header line: $(head -n1 "$work/full.txt")"
if [ "$(tail -n3 "$work/full.txt" | head -n1)" = "${note_lines[0]}" ]; then
  [ "$(tail -n2 "$work/full.txt" | head -n1)" = "${note_lines[1]}" ] || fail "second note line"
  [ "$(tail -n1 "$work/full.txt")" = "${note_lines[2]}" ] || fail "third note line"
fi
grep -a -q -x -F "$cancel_line" "$work/full.txt" && fail "a full scan's log holds the cancellation line"
check_file_lines "$work/full.txt"

grep -a -E '^[DN]:\\' "$work/full.txt" | LC_ALL=C sort >"$work/scanned.txt"
if ! diff <(iconv -f CP1252 -t UTF-8 "$work/expected.txt") <(iconv -f CP1252 -t UTF-8 "$work/scanned.txt") >"$work/diff.txt"; then
  fail "D: and N: in the log differ from the test drives (< expected, > log):
$(head -n 40 "$work/diff.txt")"
fi
duplicates=$(grep -a -E '^[CDN]:\\' "$work/full.txt" | LC_ALL=C sort | uniq -d | head -n5)
[ -z "$duplicates" ] || fail "files listed twice: $duplicates"

# C:'s lines name files that exist in drive_c.
c_lines=0
missing=()
while IFS= read -r path; do
  c_lines=$((c_lines + 1))
  # The scan's own temporary file took the log's name when the scan ended.
  [ "$path" = "rz-full/$(basename "$temporary")" ] && continue
  [ -e "$WINEPREFIX/drive_c/$path" ] || missing+=("$path")
done < <(grep -a -E '^C:\\' "$work/full.txt" | iconv -f CP1252 -t UTF-8 | sed -e 's|^C:\\||' -e 's|\\|/|g')
[ "$c_lines" -gt 100 ] || fail "only $c_lines files of C: in the log"
[ ${#missing[@]} -eq 0 ] || fail "C: lines that name no file: ${missing[*]:0:5}"
# The program's own log, under its temporary name while the scan ran, is one of
# C:'s files.
grep -a -q -x -F "C:\\rz-full\\$(basename "$temporary" | iconv -f UTF-8 -t CP1252)" "$work/full.txt" ||
  fail "the log does not list its temporary file"
say "full scan: D: and N: match ($(wc -l <"$work/scanned.txt") files), C: $c_lines files well-formed; checked $(seconds_since "$began") s after the log appeared"

# --- 2. and 3. Cancelled scans. ----------------------------------------------------
# Holds the program in the middle of the scan that writes the temporary file
# (it has not taken the log's name yet), and lets it go on.
hold_scan() {  # temporary-file
  kill -STOP "$program_pid" 2>/dev/null || fail "the program ended during its scan"
  [ -e "$1" ] || { kill -CONT "$program_pid"; fail "the scan was over before the test could hold it"; }
}
go_on() {
  kill -CONT "$program_pid"
}
full_lines=$(grep -a -c -E '^[CDN]:\\' "$work/full.txt" || true)

# Checks the log of a cancelled scan in C:\folder.
check_cancelled() {  # folder-name temporary-file
  local log cancel_at extra file_lines
  [ ! -e "$2" ] || fail "the cancelled scan's temporary file is left"
  log=$(final_name "$2")
  [ -e "$log" ] || fail "the cancelled scan's log did not take its name"
  say "cancelled: $(wc -l <"$log") lines"
  tr -d '\r' <"$log" >"$work/$1.txt"
  head -n1 "$work/$1.txt" | grep -a -q "^${header}" || fail "header line of the cancelled log"
  cancel_at=$(($(wc -l <"$work/$1.txt")))
  if [ "$cancel_at" -ge 4 ] && [ "$(tail -n3 "$work/$1.txt" | head -n1)" = "${note_lines[0]}" ]; then
    [ "$(tail -n2 "$work/$1.txt" | head -n1)" = "${note_lines[1]}" ] || fail "second note line"
    [ "$(tail -n1 "$work/$1.txt")" = "${note_lines[2]}" ] || fail "third note line"
    cancel_at=$((cancel_at - 3))
  fi
  [ "$(sed -n "${cancel_at}p" "$work/$1.txt")" = "$cancel_line" ] ||
    fail "the cancelled log does not end with the cancellation line: $(tail -n4 "$work/$1.txt")"
  # The cancellation line itself in bytes, with CR LF.
  grep -a -c -F -x "$cancel_line"$'\r' "$log" | grep -q '^1$' || fail "the cancellation line is not there once with CR LF"
  [ "$(tail -c 2 "$log" | od -An -tx1 | tr -d ' \n')" = "0d0a" ] || fail "the cancelled log does not end with CR LF"
  check_file_lines "$work/$1.txt"
  # What it listed of D: and N: so far are files of those drives.
  # (none when the cancel came while C: was walked)
  extra=$({ grep -a -E '^[DN]:\\' "$work/$1.txt" || true; } | LC_ALL=C sort | LC_ALL=C comm -13 "$work/expected.txt" - | head -n5)
  [ -z "$extra" ] || fail "the cancelled log lists files that do not exist: $extra"
  file_lines=$(grep -a -c -E '^[CDN]:\\' "$work/$1.txt" || true)
  [ "$file_lines" -lt "$full_lines" ] || fail "the cancel came after the scan had finished ($file_lines file lines)"
  say "cancelled scan: $file_lines of $full_lines file lines, ends with the cancellation line"
}

# 2. Keys only.
start_program "$program" rz-keys
expect_focus ListBox "at start"
press Tab
expect_focus "Button start" "Tab from the status list"
press Tab
expect_focus "Button HILFE" "Tab from start"
press Tab
expect_focus ListBox "Tab from HILFE"
press shift+Tab
expect_focus "Button HILFE" "Shift+Tab from the status list"
press shift+Tab
expect_focus "Button start" "Shift+Tab from HILFE"
say "Tab and Shift+Tab: status list, start, HILFE and round"
press Return
temporary=$(log_in rz-keys)
hold_scan "$temporary"
expect_focus "Button abbrechen" "Enter on start (the scan runs, the button keeps the focus)"
# Past the double-click time: a press within it belongs to the one that started.
sleep "$cancel_delay"
press Return
go_on
wait_exit 30 || fail "the program did not end within 30 s after Enter on abbrechen"
check_cancelled rz-keys "$temporary"

# 3. Space to start, a click to cancel.
start_program "$program" rz-space
press Tab
expect_focus "Button start" "Tab from the status list"
press space
temporary=$(log_in rz-space)
hold_scan "$temporary"
sleep "$cancel_delay"
click_button
go_on
wait_exit 30 || fail "the program did not end within 30 s after the click on abbrechen"
check_cancelled rz-space "$temporary"

# 4. Alt+F4 closes the window as its close box does (idle: no log written). The
#    program takes no command line: started with one, its window shows as ever.
start_program "$program" rz-altf4 -platform offscreen -qwindowtitle X /? 'C:\'
press alt+F4
wait_exit 20 || fail "the program did not end within 20 s after Alt+F4"
[ -z "$(find "$WINEPREFIX/drive_c/rz-altf4" -name 'protokoll-*')" ] || fail "Alt+F4 while idle wrote a log"
say "Alt+F4: closed"

# --- Screenshots, on request. ----------------------------------------------------
if [ -n "${RZ_E2E_SCREENSHOTS:-}" ]; then
  mkdir -p "$RZ_E2E_SCREENSHOTS"
  for dpi in 96 120 144; do
    set_dpi "$dpi"
    start_program "$program" "rz-shot-$dpi"
    import -window "$window" "$RZ_E2E_SCREENSHOTS/window-$dpi.png" || fail "no screenshot at $dpi DPI"
    request_close "$closer"
    wait_exit 20 || fail "the program did not end after the close request"
    say "screenshot at $dpi DPI: $RZ_E2E_SCREENSHOTS/window-$dpi.png"
  done
  set_dpi 96
fi
say "PASS"
