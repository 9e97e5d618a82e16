#!/usr/bin/env bash
# Starts the built program under Xvfb on the xcb platform, with empty
# settings, and passes when a window named "Chronopurge Software" appears.
# Exits 77 (skipped) where Xvfb or xdotool is missing or Xvfb cannot start.
#
#   start_under_xvfb.sh <program>
set -u
program=$1

for tool in xvfb-run xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "Skipped: $tool is not installed (scripts/deps.sh test installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config"

cat >"$work/inner.sh" <<'INNER'
touch "$WORK/display-up"
"$PROGRAM" &
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
if [ -n "$found" ]; then
    echo "The window \"Chronopurge Software\" appeared."
    exit 0
fi
echo "No window \"Chronopurge Software\" appeared."
exit 1
INNER

WORK=$work PROGRAM=$program XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb \
    ASAN_OPTIONS=detect_leaks=0 \
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/inner.sh" >"$work/log" 2>&1
status=$?
if [ ! -e "$work/display-up" ]; then
    echo "Skipped: Xvfb could not start here"
    cat "$work/log"
    exit 77
fi
cat "$work/log"
exit $status
