#!/usr/bin/env bash
# Installs an already built tree into a temporary prefix and uses the result:
# the files are where the desktop and man expect them, the validators accept
# the desktop entry and metainfo, quorvane-device answers --help, and quorvane,
# started from the desktop entry's Exec line without a display, runs until
# SIGTERM and then exits with status 0 and a quiet stderr.
#
# Usage: install-prefix.sh BUILD_DIR SOURCE_DIR
set -uo pipefail

build_dir=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/package/common.sh
source "$here/common.sh"

work=$(mktemp -d)
app_pid=
# shellcheck disable=SC2317  # called through the EXIT trap
cleanup() {
    if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then
        kill -KILL "$app_pid" 2>/dev/null
        wait "$app_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

prefix="$work/prefix"
note "cmake --install $build_dir --prefix $prefix"
if ! cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install failed" >&2
    exit 1
fi

check_installed_tree "$prefix"
check_compressed_files "$prefix" "$2"
validate_desktop_files "$prefix"

if command -v man >/dev/null 2>&1; then
    for page in quorvane quorvane-device; do
        file="$prefix/share/man/man1/$page.1.gz"
        [ -f "$file" ] || continue
        if ! out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>"$work/man.err"); then
            fail "man cannot render $page.1: $(cat "$work/man.err")"
        elif [ -s "$work/man.err" ]; then
            fail "man warns about $page.1: $(cat "$work/man.err")"
        elif ! grep -q 'QUORVANE_COM' <<<"$out"; then
            fail "$page.1 does not mention QUORVANE_COM"
        fi
    done
    zgrep -q 'dialout' "$prefix/share/man/man1/quorvane.1.gz" || fail "quorvane.1 does not mention the dialout group"
else
    note "man not installed, pages not rendered"
fi

# --- quorvane-device --help ------------------------------------------------------
device="$prefix/bin/quorvane-device"
if [ -x "$device" ]; then
    "$device" --help >"$work/help.out" 2>"$work/help.err"
    status=$?
    [ "$status" -eq 0 ] || fail "quorvane-device --help exited with $status: $(cat "$work/help.err")"
    grep -q 'QUORVANE_COM' "$work/help.out" || fail "quorvane-device --help does not mention QUORVANE_COM"
fi

# --- quorvane from the desktop entry ---------------------------------------------
desktop="$prefix/share/applications/$APP_ID.desktop"
program="$prefix/bin/quorvane"
if [ ! -f "$desktop" ] || [ ! -x "$program" ]; then
    finish
fi

read -r -a exec_line <<<"$(desktop_value "$desktop" Exec)"
# Drop field codes (%f, %U, ...); nothing is opened at start.
command=()
for word in "${exec_line[@]}"; do
    [[ $word == %? ]] || command+=("$word")
done
if [ "${#command[@]}" -eq 0 ]; then
    fail "desktop entry has no Exec command"
    finish
fi
note "starting '${command[*]}' offscreen"

mkdir -m 700 "$work/runtime" "$work/home"
(
    export PATH="$prefix/bin:$PATH"
    export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime"
    export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
    exec "${command[@]}"
) >"$work/app.out" 2>"$work/app.err" &
app_pid=$!

# Running means: the process is the installed program (which becomes its
# installed window program for the window) and has installed its SIGTERM
# handler (bit 15 of SigCgt), which happens once the window is built.
window_program="$prefix/lib/quorvane/quorvane-window"
sigterm_caught() {
    local mask
    mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$app_pid/status" 2>/dev/null) || return 1
    [ -n "$mask" ] && (( (16#$mask >> 14) & 1 ))
}
ready=no
deadline=$((SECONDS + 30))
while [ $SECONDS -lt $deadline ]; do
    if ! kill -0 "$app_pid" 2>/dev/null; then
        break
    fi
    if [ "$(readlink "/proc/$app_pid/exe" 2>/dev/null)" = "$(readlink -f "$window_program")" ] && sigterm_caught; then
        ready=yes
        break
    fi
    sleep 0.05
done

if [ "$ready" != yes ]; then
    if kill -0 "$app_pid" 2>/dev/null; then
        fail "quorvane did not get ready within 30 s: $(cat "$work/app.err")"
    else
        wait "$app_pid"
        fail "quorvane exited early with status $?: $(cat "$work/app.err")"
        app_pid=
    fi
    finish
fi

kill -TERM "$app_pid"
deadline=$((SECONDS + 20))
while kill -0 "$app_pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do
    # A zombie is done running; wait collects it below.
    [ "$(awk '{ print $3 }' "/proc/$app_pid/stat" 2>/dev/null)" = Z ] && break
    sleep 0.05
done
if kill -0 "$app_pid" 2>/dev/null && [ "$(awk '{ print $3 }' "/proc/$app_pid/stat" 2>/dev/null)" != Z ]; then
    fail "quorvane still runs 20 s after SIGTERM"
    finish
fi
wait "$app_pid"
status=$?
app_pid=
[ "$status" -eq 0 ] || fail "quorvane exited with status $status after SIGTERM"

# With XDG_RUNTIME_DIR set the program has nothing to say on stderr.
unexpected=$(grep -v -e '^QStandardPaths: XDG_RUNTIME_DIR not set' -e '^$' "$work/app.err")
[ -z "$unexpected" ] || fail "quorvane wrote to stderr: $unexpected"

finish
