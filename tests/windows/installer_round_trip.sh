#!/usr/bin/env bash
# issue 21: the setup program round trip under Wine. Installs
# chronopurge-<version>-setup.exe silently for the current user, checks the
# files, the Start menu entry, the uninstall entry and the PATH entry (the
# user's other entries kept), starts the installed program and waits for its
# window, runs the installed chronopurge-cli.exe through PATH from a new
# terminal (its rows on the installed samples must be LINUX_ROWS: the dates
# came through), uninstalls silently and checks that nothing of the program
# is left but a file the user put in its folder, while the settings key
# stays.
#
#   installer_round_trip.sh SETUP_EXE LINUX_ROWS
#       in the Wine prefix, environment and X display test-windows.sh made;
#       LINUX_ROWS: the Linux command line's sorted rows of the samples
#       (--all --date-format iso, paths below the Samples folder, "/")
set -euo pipefail
setup=$(realpath "$1")
linux_rows=$(realpath "$2")
wine=/usr/lib/wine/wine64
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Chronopurge'
settings_key='HKCU\Software\VB and VBA Program Settings\Brindlewick\Chronopurge Software'
user_path='C:\Tools;%USERPROFILE%\bin'
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT

fail() {
    echo "FAILED: installer round trip: $*" >&2
    exit 1
}
# Every value of registry key $1, one "name<TAB>REG_TYPE<TAB>data" a line
# (each Wine start costs seconds, so a key is read whole).
reg_key() {
    "$wine" reg query "$1" 2>/dev/null | tr -d '\r' | sed -n 's/^    \(.*[^ ]\) \{4\}\(REG_[A-Z_]*\) \{4\}\(.*\)$/\1\t\2\t\3/p'
}
# From such lines on standard input: the data of value $1, or its type and data ($2 = typed).
value_of() { awk -F'\t' -v name="$1" -v typed="${2:-}" '$1 == name { print typed ? $2 " " $3 : $3 }'; }
unix_path() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
# The date's seconds rounded down to even ones: the setup program keeps a
# file's modified time to 2 seconds, as zip archives do.
even_seconds() { awk -F'\t' '{ s = substr($2, 18, 2); printf "%s\t%s%02d\n", $1, substr($2, 1, 17), s - s % 2 }'; }

"$wine" reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$user_path" /f >/dev/null
"$wine" "$setup" /S || fail "the setup program ended with status $?"

entry=$(reg_key "$uninstall_key")
folder=$(value_of InstallLocation <<<"$entry")
[ -n "$folder" ] || fail "no entry in the installed programs"
case "$folder" in *'\AppData\Local\Programs\Chronopurge') ;; *) fail "installed in $folder" ;; esac
installed=$(unix_path "$folder")
for file in chronopurge.exe chronopurge-cli.exe Uninstall.exe Qt6Core.dll platforms/qwindows.dll HAND-M.CUR \
    translations/chronopurge_de.qm Samples/sample1/readme.md LICENSE.txt; do
    [ -f "$installed/$file" ] || fail "$file was not installed"
done
[ "$(value_of DisplayName <<<"$entry")" = Chronopurge ] || fail "the installed programs do not show Chronopurge"
[ "$(value_of DisplayIcon <<<"$entry")" = "$folder\\chronopurge.exe,0" ] || fail "the entry has no icon"
[ "$(value_of UninstallString <<<"$entry")" = "\"$folder\\Uninstall.exe\" /CurrentUser" ] \
    || fail "the entry has no uninstaller"
start_menu=$(unix_path "$(reg_key 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' | value_of Programs)")
[ -f "$start_menu/Chronopurge.lnk" ] || fail "no Start menu entry Chronopurge in $start_menu"
path=$(reg_key 'HKCU\Environment' | value_of Path typed)
[ "$path" = "REG_EXPAND_SZ $user_path;$folder" ] || fail "PATH is $path"

# The command line from a new terminal, found through PATH.
"$wine" cmd /c chronopurge-cli --all --date-format iso "$folder\\Samples" | tr -d '\r' | sed 's#\\#/#g' \
    | sed "s#^${folder//\\//}/Samples/##" | sort | even_seconds >"$rows" || true
diff <(even_seconds <"$linux_rows") "$rows" >&2 || fail "the installed chronopurge-cli.exe lists other rows of the installed samples"

# The installed program shows its window; closed as a user would, it ends.
"$wine" "$installed/chronopurge.exe" >/dev/null 2>&1 &
program=$!
shown=
for _ in $(seq 120); do
    if xdotool search --name "^Chronopurge Software$" >/dev/null 2>&1; then
        shown=yes
        break
    fi
    sleep 0.5
done
[ -n "$shown" ] || fail "the window of the installed chronopurge.exe did not appear"
"$wine" taskkill /im chronopurge.exe >/dev/null 2>&1 || true
for _ in $(seq 60); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.5
done
kill -0 "$program" 2>/dev/null && fail "the installed program did not end when its window was closed"

# A setting as the program keeps it, and a file of the user's own in the
# program's folder: the uninstaller leaves both.
"$wine" reg add "$settings_key" /v LastFolderDot /d 'C:\Data' /f >/dev/null
echo "my notes" >"$installed/Samples/sample1/my-notes.txt"

# The uninstaller copies itself to a temporary folder and goes on from there:
# its end shows as its entry going away.
"$wine" "$installed/Uninstall.exe" /S || fail "the uninstaller ended with status $?"
for _ in $(seq 120); do
    [ -z "$(reg_key "$uninstall_key")" ] && break
    sleep 0.5
done
[ -z "$(reg_key "$uninstall_key")" ] || fail "the uninstall entry is still there"
left=$(cd "$installed" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./Samples ./Samples/sample1 ./Samples/sample1/my-notes.txt " ] || fail "left in $installed: $left"
[ -e "$start_menu/Chronopurge.lnk" ] && fail "the Start menu entry is still there"
path=$(reg_key 'HKCU\Environment' | value_of Path typed)
[ "$path" = "REG_EXPAND_SZ $user_path" ] || fail "PATH after uninstalling is $path"
[ "$(reg_key "$settings_key" | value_of LastFolderDot)" = 'C:\Data' ] || fail "the settings went with the program"
echo "Setup program under Wine: installed, started, listed through PATH and uninstalled without a trace."
