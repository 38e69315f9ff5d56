#!/usr/bin/env bash
# End-to-end check of the save-file and choose-folder commands in a real X
# window. Each case runs one command through the adapter (dialogs_e2e_driver,
# native dialogs = zenity) on a private Xvfb display, waits for the dialog,
# saves a screenshot of it, answers it with xdotool and checks the reply.
#
#   scripts/dialogs-e2e.sh <path of dialogs_e2e_driver> <artifact folder>
#
# Exit status: 0 all cases passed, 1 a case failed, 77 skipped because Xvfb,
# zenity, xdotool or a screenshot tool (import or xwd) is missing.
# Every wait is bounded by WAIT_SECONDS; children are killed on the way out.
set -u

readonly WAIT_SECONDS=20
readonly SKIP=77

if [[ $# -ne 2 ]]; then
  echo "usage: $0 <dialogs_e2e_driver> <artifact folder>" >&2
  exit 2
fi
driver=$1
artifacts=$2

missing=()
for tool in Xvfb zenity xdotool; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if command -v import >/dev/null 2>&1; then
  shot_tool=import
elif command -v xwd >/dev/null 2>&1; then
  shot_tool=xwd
else
  missing+=("import or xwd")
fi
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "SKIP: missing ${missing[*]} (Debian packages: xvfb zenity xdotool imagemagick)"
  exit $SKIP
fi
if [[ ! -x $driver ]]; then
  echo "FAIL: driver $driver is not an executable" >&2
  exit 1
fi
driver="$(cd "$(dirname "$driver")" && pwd)/$(basename "$driver")"

mkdir -p "$artifacts" || exit 1
artifacts=$(cd "$artifacts" && pwd)
# No "." anywhere in the work folder, so that the suffix rule applies to it.
work=$(mktemp -d /tmp/dialogs-e2e-XXXXXX) || exit 1
xvfb_pid=""
driver_pid=""

cleanup() {
  [[ -n $driver_pid ]] && kill -KILL "$driver_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Runs the condition command every 0.2 s until it succeeds or WAIT_SECONDS pass.
wait_for() {
  local deadline=$((SECONDS + WAIT_SECONDS))
  until "$@"; do
    ((SECONDS >= deadline)) && return 1
    sleep 0.2
  done
}

# ---- the X server ------------------------------------------------------------
# Xvfb picks a free display itself and writes its number to descriptor 5.
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display_ready() { [[ -s $work/display ]] || ! kill -0 "$xvfb_pid" 2>/dev/null; }
if ! wait_for display_ready || [[ ! -s $work/display ]]; then
  echo "FAIL: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(tr -dc 0-9 <"$work/display")"
# Quiet GTK in a bare X server: no settings daemon, no accessibility bus.
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
echo "Xvfb on $DISPLAY, work folder $work"

# ---- one case ----------------------------------------------------------------
dialog_window=""
find_dialog() {
  dialog_window=$(xdotool search --onlyvisible --class zenity 2>/dev/null | head -n 1)
  [[ -n $dialog_window ]] || ! kill -0 "$driver_pid" 2>/dev/null
}
driver_done() { ! kill -0 "$driver_pid" 2>/dev/null; }

screenshot() {
  local name=$1
  if [[ $shot_tool == import ]]; then
    import -window root "$artifacts/$name.png"
  else
    xwd -root -silent -out "$artifacts/$name.xwd"
  fi
}

# The value of one member of the styled reply, as JSON text ("…", true, -1).
member() {
  sed -n "s/^[[:space:]]*\"$1\" : \\(.*\\)\$/\\1/p" "$work/reply" | sed 's/,$//' | head -n 1
}

failures=0
driver_env=()  # extra "NAME=value" entries for the driver of the next case
fail() {
  echo "FAIL [$case_name]: $*" >&2
  echo "--- reply:" >&2
  cat "$work/reply" >&2 2>/dev/null
  echo "--- driver stderr (last lines):" >&2
  tail -n 5 "$work/driver.err" >&2 2>/dev/null
  local log
  while IFS= read -r log; do
    echo "--- $log (last lines):" >&2
    tail -n 8 "$log" >&2
  done < <(find "$artifacts" "$work" -name '*.log' -newer "$work/display" 2>/dev/null)
  failures=$((failures + 1))
}

expect_member() {
  local name=$1 expected=$2 actual
  actual=$(member "$name")
  [[ $actual == "$expected" ]] || fail "\"$name\" is $actual, expected $expected"
}

# run_case NAME REQUEST KEYS...: sends REQUEST, waits for the dialog, saves a
# screenshot, focuses the dialog, runs each KEYS item as an xdotool command and
# waits for the reply in $work/reply. False when the case cannot go on.
run_case() {
  case_name=$1
  local request=$2
  shift 2
  : >"$work/reply"
  (cd "$work" && exec env "${driver_env[@]}" "$driver" "$request" "$artifacts") \
    >"$work/reply" 2>"$work/driver.err" &
  driver_pid=$!
  if ! wait_for find_dialog || [[ -z $dialog_window ]]; then
    if driver_done; then
      fail "the command replied without showing a dialog"
    else
      fail "no dialog window appeared within ${WAIT_SECONDS}s"
    fi
    kill -KILL "$driver_pid" 2>/dev/null
    wait "$driver_pid" 2>/dev/null
    driver_pid=""
    return 1
  fi
  # Give GTK a moment to paint before the picture; the keys do not depend on it.
  sleep 0.5
  screenshot "$case_name"
  xdotool windowfocus --sync "$dialog_window"
  local action
  for action in "$@"; do
    # shellcheck disable=SC2086  # each action is an xdotool command line
    xdotool $action
  done
  if ! wait_for driver_done; then
    fail "the dialog did not close within ${WAIT_SECONDS}s"
    kill -KILL "$driver_pid" 2>/dev/null
  fi
  wait "$driver_pid" 2>/dev/null
  local status=$?
  driver_pid=""
  [[ $status -eq 0 ]] || { fail "driver exited with status $status"; return 1; }
  expect_member result 0
}

save_request() {  # fileName fileType suffix
  printf '{"cmd":6,"sno":%d,"param":{"fileName":"%s","fileType":"%s","suffix":"%s"}}' \
    "$RANDOM" "$1" "$2" "$3"
}

# ---- cases -------------------------------------------------------------------
# A typed name without any "." gets the suffix.
if run_case save-typed-name "$(save_request "$work/draft" "" txt)" \
    "key --clearmodifiers ctrl+a" "type --delay 20 report" "key Return"; then
  expect_member filePath "\"$work/report.txt\""
  expect_member isExceed false
fi

# The proposed non-ASCII name comes back as it was (it has a "." already),
# even when the host runs in a locale without UTF-8.
driver_env=(LC_ALL=C LANG=C)
if run_case save-unicode-name "$(save_request "$work/报告.txt" "" txt)" "key Return"; then
  expect_member filePath "\"$work/报告.txt\""
  expect_member isExceed false
fi
driver_env=()

# The picture filter; the suffix still applies to a name without a ".".
if run_case save-images-filter "$(save_request "$work/picture" images png)" "key Return"; then
  expect_member filePath "\"$work/picture.png\""
fi

if run_case save-cancel "$(save_request "$work/draft" "" txt)" "key Escape"; then
  expect_member filePath '""'
  expect_member isExceed false
fi

mkdir -p "$work/chosen"
folder_request="{\"cmd\":7,\"sno\":7,\"param\":{\"defaultPath\":\"$work/chosen\",\"title\":\"Choose a folder\"}}"
if run_case folder-choose "$folder_request" "key Return"; then
  expect_member savePath "\"$work/chosen\""
  expect_member isWritable true
  expect_member errorCode -1
fi

if run_case folder-cancel "$folder_request" "key Escape"; then
  expect_member savePath '""'
  expect_member isWritable false
  expect_member errorCode 0
fi

if ((failures > 0)); then
  echo "dialogs e2e: $failures failure(s); screenshots in $artifacts" >&2
  exit 1
fi
echo "dialogs e2e: all cases passed; screenshots in $artifacts"
exit 0
