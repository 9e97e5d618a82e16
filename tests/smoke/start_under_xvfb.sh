#!/usr/bin/env bash
# Starts the built program under Xvfb on the xcb platform, with empty
# settings, and passes when a window named "Chronopurge Software" appears.
# Xvfb picks a free display itself (-displayfd), so runs started at once or
# back to back never meet on one display number.
# Exits 77 (skipped) where Xvfb or xdotool is missing or Xvfb cannot start.
#
#   start_under_xvfb.sh <program>
set -u
program=$1

for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "Skipped: $tool is not installed (scripts/deps.sh test installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
xvfb_pid=
pid=
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/config"

# Xvfb writes its display number on descriptor 3 once it takes connections.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
number=
read -r -t 60 number <"$work/displayfd" || number=
if ! [[ "$number" =~ ^[0-9]+$ ]]; then
    echo "Skipped: Xvfb could not start here"
    cat "$work/xvfb.log"
    exit 77
fi
export DISPLAY=":$number"

XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 "$program" >"$work/log" 2>&1 &
pid=$!
found=
# Up to three minutes: a sanitizer build on a busy machine starts slowly.
for _ in $(seq 1 900); do
    if xdotool search --name '^Chronopurge Software$' >/dev/null 2>&1; then
        found=yes
        break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
pid=
cat "$work/log"
if [ -n "$found" ]; then
    echo "The window \"Chronopurge Software\" appeared on $DISPLAY."
    exit 0
fi
echo "No window \"Chronopurge Software\" appeared on $DISPLAY."
exit 1
