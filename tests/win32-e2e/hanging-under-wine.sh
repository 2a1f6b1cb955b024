#!/usr/bin/env bash
# shellcheck disable=SC1003  # backslashes in single quotes are Windows paths
# End-to-end test of the Windows program under wine with a network drive that
# stops answering, on an X server of its own (Xvfb).
#
# H: is a network drive (so declared in the prefix's drive settings) on a mount of
# the tests' FUSE file system, typed as sshfs: \gut\a.txt, \gut\b.txt, \haengt
# (never answers), \kaputt (I/O error), \weg (device gone), \z.txt. F: before it
# is a plain network folder, C: the prefix's drive_c. (No drive comes after H:: wine
# reads directories under one lock per process, which the read that never returns
# keeps, so every later listing of the program waits as well and its drive is
# given up too.) The whole test runs in a
# private mount namespace of its own (it starts itself again under unshare), wine
# and the program with it: the mount is seen by nothing else and ends with the
# namespace. Each program gets a fresh mount; its server dies with the test
# however the test ends (PR_SET_PDEATHSIG).
#
# 1. A scan comes to H:\haengt and waits: "abbrechen" clicked during the wait, and
#    then in a second program the close request, ends the program at once (long
#    before the drive would be given up), its log ending with the cancellation
#    line (followed only by the note lines).
# 2. A scan waits there and gives H: up after 30 s: the status list says so, the
#    log is whole (header, file lines, the note lines at its end, no cancellation
#    line), nothing of H: after the folder that did not answer is listed, and F:
#    is listed in full.
# The wait is seen from outside: a thread of the file system's server sits in
# pause(), holding the request for \haengt.
#
# "Ends" means: the window is gone and no thread of the process is left but the
# reader that the kernel holds in the request to the file system. Linux lets no
# thread out of a FUSE request that the server has taken, not even for SIGKILL,
# so the process itself ends only when the server answers or dies; the test then
# kills the server and sees the process end.
#
# WHERE says what never answers: "reading" (\haengt opens, reading it never
# returns) or "opening" (opening \haengt never returns). wine opens every file in
# its server process, which then waits in the kernel for the answer, and every
# thread of every program of the prefix waits for the server: the window freezes
# whatever the program does. So "opening" skips unless RZ_E2E_TRY_OPEN_HANG=1.
#
# Usage: hanging-under-wine.sh PROGRAM.exe CLOSE-WINDOW.exe STATUS-LINES.exe ERROR-FS WHERE
# ERROR-FS is rz_error_fs built for this machine: the Windows build makes it with
# the host's compiler where libfuse3 is there (build-windows/tests/win32-e2e/host/).
# Exit code 0: passed, 1: failed, 77: skipped (no Xvfb, xdotool, wine, /dev/fuse,
# private mount namespace or ERROR-FS).
set -euo pipefail

program=$(realpath "$1")
closer=$(realpath "$2")
status_lister=$(realpath "$3")
error_fs=$4
case "${5:-}" in
  reading) fs_mode=--haengt-beim-lesen ;;
  opening) fs_mode=--haengt ;;
  *)
    echo "usage: $0 PROGRAM.exe CLOSE-WINDOW.exe STATUS-LINES.exe ERROR-FS reading|opening" >&2
    exit 2
    ;;
esac

if [ "$fs_mode" = --haengt ] && [ -z "${RZ_E2E_TRY_OPEN_HANG:-}" ]; then
  echo "SKIP: a folder whose opening never answers freezes wine itself: its server opens the"
  echo "folder for the program and waits in the kernel (request_wait_answer), and every thread"
  echo "of the program waits for the server. RZ_E2E_TRY_OPEN_HANG=1 runs it anyway."
  exit 77
fi

# shellcheck source-path=SCRIPTDIR source=wine-session.sh
. "$(dirname "$0")/wine-session.sh"
require_tools Xvfb xdotool wine wineboot wineserver unshare setpriv mountpoint
skip() {
  echo "SKIP: $*"
  exit 77
}
[ -x "$error_fs" ] || skip "$error_fs was not built (it needs the host's C++ compiler and libfuse3-dev)"
if [ ! -r /dev/fuse ] || [ ! -w /dev/fuse ]; then skip "no /dev/fuse to use on this machine"; fi
if [ -z "${RZ_E2E_PRIVATE_MOUNTS:-}" ]; then
  unshare --mount --propagation private true 2>/dev/null ||
    skip "this machine gives the test no private mount namespace (unshare --mount)"
  rm -rf "$work"  # the run in the namespace makes its own
  trap - EXIT
  RZ_E2E_PRIVATE_MOUNTS=1 exec unshare --mount --propagation private bash "$0" "$@"
fi

# --- The drives. ------------------------------------------------------------------
share="$work/share"
drive_f="$work/drive-f"
mkdir -p "$share" "$drive_f/Freigabe"
touch "$drive_f/netz.txt" "$drive_f/Freigabe/Bericht März.pdf"
fs_pid=
stop_share() {
  if [ -n "$fs_pid" ]; then
    kill -KILL "$fs_pid" 2>/dev/null || true
    wait "$fs_pid" 2>/dev/null || true
    fs_pid=
  fi
  umount -l "$share" 2>/dev/null || true
}
on_exit+=(stop_share)
start_share() {
  setpriv --pdeathsig KILL "$error_fs" "$share" "$fs_mode" >>"$work/error-fs.out" 2>&1 &
  fs_pid=$!
  for _ in $(seq 100); do
    if mountpoint -q "$share"; then return 0; fi
    kill -0 "$fs_pid" 2>/dev/null || skip "the FUSE file system did not mount: $(cat "$work/error-fs.out")"
    sleep 0.05
  done
  fail "the FUSE file system did not mount within 5 s"
}
start_share
say "H: on $(grep " $share " /proc/self/mounts | cut -d' ' -f1,3)"

start_xvfb
make_prefix f:network h:network
use_drives "f:$drive_f" "h:$share"

# --- Watching the processes. --------------------------------------------------------
# What each thread of a process waits in, in the kernel (its wchan), counted.
waits_of() {  # pid
  local t
  for t in /proc/"$1"/task/*; do
    cat "$t/wchan" 2>/dev/null || true
    echo
  done | sort | uniq -c | awk '{ printf "%s%s x%s", (NR > 1 ? ", " : ""), $2, $1 }'
}
fail_details() {
  local pid server_dir
  [ -z "$fs_pid" ] || say "the file system's threads wait in: $(waits_of "$fs_pid")"
  [ -z "$program_pid" ] || say "the program's threads wait in: $(waits_of "$program_pid")"
  # The prefix's wine server works in a folder named after the prefix's device and inode.
  server_dir=$(printf 'server-%x-%x' "0x$(stat -c %D "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
  for pid in $(pgrep wineserver || true); do
    case "$(readlink "/proc/$pid/cwd")" in */"$server_dir") say "the wine server waits in: $(waits_of "$pid")" ;; esac
  done
}

# True while a thread of the file system's server holds a request for \haengt
# (it sits in pause()).
share_waits() {
  local t
  for t in /proc/"$fs_pid"/task/*; do
    case "$(cat "$t/wchan" 2>/dev/null)" in *sys_pause*) return 0 ;; esac
  done
  return 1
}

# True once the program has ended as far as the kernel lets it: every thread has
# exited but those held in a request to the file system.
ended_but_held() {
  local t
  for t in /proc/"$program_pid"/task/*; do
    [ -e "$t" ] || continue
    case "$(cut -d' ' -f3 "$t/stat" 2>/dev/null)/$(cat "$t/wchan" 2>/dev/null)" in
      Z/* | X/* | /* | */request_wait_answer) ;;
      *) return 1 ;;
    esac
  done
  return 0
}

# Waits up to a time limit (seconds) until the program has ended as far as it can
# while the file system holds it, then ends the file system and waits for the
# process to end; a fresh mount for the next program.
wait_end() {  # seconds what
  local i asked
  asked=$(date +%s.%N)
  for ((i = 0; i < $1 * 10; i++)); do
    if ended_but_held; then break; fi
    sleep 0.1
  done
  ended_but_held || fail "the program did not end within $1 s after $2"
  say "$2: the program ended $(seconds_since "$asked") s after it (threads left: $(waits_of "$program_pid"))"
  [ -z "$(xdotool search --onlyvisible --name "$title_pattern" 2>/dev/null || true)" ] ||
    fail "a window of the program is still there after $2"
  stop_share
  wait_exit 20 || fail "the program's process did not end within 20 s once the file system ended"
  start_share
}

# Starts the program, starts a scan and waits until it waits for H:\haengt (up to
# 120 s for C: before it). Sets program_pid, window and temporary (the log).
scan_until_the_wait() {  # folder-name
  start_program "$program" "$1"
  click_button
  temporary=$(log_in "$1")
  local began
  began=$(date +%s.%N)
  for _ in $(seq 1200); do
    if share_waits; then break; fi
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended during the scan: $(cat "$work/$1.out")"
    [ -e "$temporary" ] || fail "the scan ended without waiting for H:\\haengt"
    sleep 0.1
  done
  share_waits || fail "the scan did not come to H:\\haengt within 120 s"
  say "the scan waits for H:\\haengt, $(seconds_since "$began") s after the log appeared"
}

# --- Reading the logs. ---------------------------------------------------------------
# The log of a finished scan without its CRs (each line must end with CR LF).
log_lines() {  # log copy
  local lines crlf
  lines=$(wc -l <"$1")
  crlf=$(grep -a -c $'\r$' "$1" || true)
  if [ "$lines" -eq 0 ] || [ "$crlf" -ne "$lines" ] || [ "$(tail -c 1 "$1" | od -An -tx1 | tr -d ' \n')" != "0a" ]; then
    fail "$(basename "$1"): $((lines - crlf)) of $lines lines do not end with CR LF"
  fi
  tr -d '\r' <"$1" >"$2"
  head -n1 "$2" | grep -a -q "^${header}" || fail "header line: $(head -n1 "$2")"
}

# The number of lines before the note lines at the end of a log copy (all of them
# when it does not end with them).
before_notes() {  # copy
  local n
  n=$(wc -l <"$1")
  if [ "$n" -ge 4 ] && [ "$(tail -n3 "$1" | head -n1)" = "${note_lines[0]}" ]; then
    [ "$(tail -n2 "$1" | head -n1)" = "${note_lines[1]}" ] || fail "second note line: $(tail -n2 "$1" | head -n1)"
    [ "$(tail -n1 "$1")" = "${note_lines[2]}" ] || fail "third note line: $(tail -n1 "$1")"
    n=$((n - 3))
  fi
  echo "$n"
}

# --- 1. The click on "abbrechen" and the close request during the wait. ------------
for request in click close; do
  scan_until_the_wait "rz-$request"
  sleep "$cancel_delay"
  if [ "$request" = click ]; then click_button; else request_close "$closer"; fi
  # Well before the 30 s after which the drive would be given up and the walk
  # would go on by itself.
  wait_end 15 "the $request during the wait"
  [ ! -e "$temporary" ] || fail "the cancelled scan's temporary file is left"
  log=$(final_name "$temporary")
  [ -e "$log" ] || fail "the cancelled scan's log did not take its name"
  log_lines "$log" "$work/rz-$request.txt"
  last=$(before_notes "$work/rz-$request.txt")
  [ "$(sed -n "${last}p" "$work/rz-$request.txt")" = "$cancel_line" ] ||
    fail "the log does not end with the cancellation line: $(tail -n4 "$work/rz-$request.txt")"
  [ "$(grep -a -c -x -F "$cancel_line" "$work/rz-$request.txt")" -eq 1 ] || fail "the cancellation line is there more than once"
  say "the $request during the wait: the log ends with the cancellation line ($(wc -l <"$work/rz-$request.txt") lines)"
done

# --- 2. H: given up after its deadline, the scan completes. ----------------------------
scan_until_the_wait rz-given-up
waiting_since=$(date +%s.%N)
for _ in $(seq 1200); do
  if [ ! -e "$temporary" ] && [ -e "$(final_name "$temporary")" ]; then break; fi
  kill -0 "$program_pid" 2>/dev/null || fail "the program ended during the scan: $(cat "$work/rz-given-up.out")"
  sleep 0.1
done
log=$(final_name "$temporary")
if [ -e "$temporary" ] || [ ! -e "$log" ]; then fail "the scan did not complete within 120 s of the wait"; fi
say "scan complete $(seconds_since "$waiting_since") s after it began to wait for H:\\haengt"
log_lines "$log" "$work/given-up.txt"
[ "$(before_notes "$work/given-up.txt")" -lt "$(wc -l <"$work/given-up.txt")" ] ||
  fail "the log does not end with the note lines: $(tail -n3 "$work/given-up.txt")"
! grep -a -q -x -F "$cancel_line" "$work/given-up.txt" || fail "the log holds the cancellation line"
listed_h=$(grep -a -E '^H:\\(gut\\|z\.txt$)' "$work/given-up.txt" || true)
[ -z "$listed_h" ] || fail "files of H: after the folder that did not answer are listed: $listed_h"
listed_f=$({ grep -a -E '^F:\\' "$work/given-up.txt" || true; } | LC_ALL=C sort | paste -s -d '|')
expected_f=$(printf 'F:\\Freigabe\\Bericht M\xe4rz.pdf|F:\\netz.txt')
[ "$listed_f" = "$expected_f" ] || fail "F: is not listed in full: $listed_f"
in_wine wine "$status_lister" 'Rozozovuvor-Ororuzi V1.0' 2>/dev/null | tr -d '\r' >"$work/status.txt" ||
  fail "could not read the status list"
# The folder named is the one the walk waited for: \haengt, or H:\ itself when the
# read-ahead came to \haengt first and the walk's next read of H:\ waits for wine's
# directory lock (see above).
status_h=$(grep -a 'antwortet' "$work/status.txt" || true)
if [ "$(grep -a -c 'antwortet' "$work/status.txt")" -ne 1 ] ||
  ! grep -a -q -x -E 'Festplatte H:\\ antwortet nicht beim Lesen von H:\\(haengt)? - Rest der Festplatte übersprungen' <<<"$status_h"; then
  fail "the status list does not say once that H: does not answer: $(cat "$work/status.txt")"
fi
say "given up: \"$status_h\"; the log $(wc -l <"$work/given-up.txt") lines, the note lines at the end, nothing of H:, F: in full"
request_close "$closer"
wait_end 20 "the close request after the scan"
say "PASS"
