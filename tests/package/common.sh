# shellcheck shell=bash
# Shared by the packaging checks: what an install of Quorvane must contain,
# relative to its prefix (/usr in the package, any directory for an install).

APP_ID=io.quorvane.Quorvane
VERSION=${QUORVANE_VERSION:-1.0}

PROGRAMS=(bin/quorvane bin/quorvane-device lib/quorvane/quorvane-window)
ICON_SIZES=(32 48 128 256)
DATA_FILES=(
    "share/applications/$APP_ID.desktop"
    "share/metainfo/$APP_ID.metainfo.xml"
    share/icons/hicolor/scalable/apps/quorvane.svg
    share/man/man1/quorvane.1.gz
    share/man/man1/quorvane-device.1.gz
    share/doc/quorvane/README.md
    share/doc/quorvane/changelog.gz
    share/doc/quorvane/copyright
)
# The compressed ones and the source file each is made from.
declare -A GZIP_SOURCES=(
    [share/man/man1/quorvane.1.gz]=packaging/quorvane.1
    [share/man/man1/quorvane-device.1.gz]=packaging/quorvane-device.1
    [share/doc/quorvane/changelog.gz]=packaging/changelog
)
for size in "${ICON_SIZES[@]}"; do
    DATA_FILES+=("share/icons/hicolor/${size}x${size}/apps/quorvane.png")
done

failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

note() {
    echo "-- $*"
}

# Prints the value of KEY in the [Desktop Entry] group of FILE.
desktop_value() {
    local file=$1 key=$2
    awk -v key="$key" '
        /^\[/ { group = $0; next }
        group == "[Desktop Entry]" && index($0, key "=") == 1 {
            print substr($0, length(key) + 2); exit
        }' "$file"
}

# Width and height of a PNG, read from its IHDR chunk: "W H".
png_size() {
    local bytes
    bytes=$(od -An -tu1 -j16 -N8 -v "$1" | tr -s ' \n' ' ')
    # shellcheck disable=SC2086
    set -- $bytes
    [ $# -eq 8 ] || return 1
    echo "$(( ($1 << 24) | ($2 << 16) | ($3 << 8) | $4 )) $(( ($5 << 24) | ($6 << 16) | ($7 << 8) | $8 ))"
}

# Checks an installed tree rooted at PREFIX: every file present, programs
# executable ELF files, icons of the size their folder says, and the desktop
# entry and metainfo pointing at things that exist.
check_installed_tree() {
    local prefix=$1 f size got
    for f in "${PROGRAMS[@]}"; do
        if [ ! -f "$prefix/$f" ] || [ ! -x "$prefix/$f" ]; then
            fail "$f is missing or not executable under $prefix"
        elif [ "$(head -c4 "$prefix/$f" | od -An -c | tr -d ' ')" != '177ELF' ]; then
            fail "$f is not an ELF program"
        fi
    done
    for f in "${DATA_FILES[@]}"; do
        [ -s "$prefix/$f" ] || fail "$f is missing or empty under $prefix"
    done
    for size in "${ICON_SIZES[@]}"; do
        f="$prefix/share/icons/hicolor/${size}x${size}/apps/quorvane.png"
        [ -f "$f" ] || continue
        got=$(png_size "$f") || got="unreadable"
        [ "$got" = "$size $size" ] || fail "icon in ${size}x${size} is $got, not $size $size"
    done
    f="$prefix/share/icons/hicolor/scalable/apps/quorvane.svg"
    if [ -f "$f" ] && ! grep -q '<svg' "$f"; then
        fail "scalable icon is not an SVG document"
    fi

    local desktop="$prefix/share/applications/$APP_ID.desktop"
    local metainfo="$prefix/share/metainfo/$APP_ID.metainfo.xml"
    if [ -f "$desktop" ]; then
        local exec icon
        [ "$(desktop_value "$desktop" Type)" = Application ] || fail "desktop entry: Type is not Application"
        [ "$(desktop_value "$desktop" Name)" = Quorvane ] || fail "desktop entry: Name is not Quorvane"
        [ "$(desktop_value "$desktop" Terminal)" = false ] || fail "desktop entry: Terminal is not false"
        [ -n "$(desktop_value "$desktop" Comment)" ] || fail "desktop entry: no English Comment"
        [ -n "$(desktop_value "$desktop" 'Comment[zh_CN]')" ] || fail "desktop entry: no Comment[zh_CN]"
        local categories category
        categories=";$(desktop_value "$desktop" Categories);"
        for category in Development Electronics; do
            [[ $categories == *";$category;"* ]] || fail "desktop entry: Categories lack $category"
        done
        exec=$(desktop_value "$desktop" Exec)
        exec=${exec%% *}
        [ -x "$prefix/bin/$exec" ] || fail "desktop entry: Exec program '$exec' is not installed in bin/"
        icon=$(desktop_value "$desktop" Icon)
        [ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "desktop entry: Icon '$icon' has no scalable icon"
        for size in "${ICON_SIZES[@]}"; do
            [ -f "$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png" ] ||
                fail "desktop entry: Icon '$icon' has no ${size}x${size} icon"
        done
    fi
    if [ -f "$metainfo" ]; then
        grep -q "<id>$APP_ID</id>" "$metainfo" || fail "metainfo: id is not $APP_ID"
        grep -q "<launchable type=\"desktop-id\">$APP_ID.desktop</launchable>" "$metainfo" ||
            fail "metainfo: launchable is not $APP_ID.desktop"
        grep -q "<release version=\"$VERSION\"" "$metainfo" || fail "metainfo: no release $VERSION"
    fi
}

# Checks the compressed files under PREFIX against their sources in
# SOURCE_DIR: the same text, and gzip -9n (no name, no time stamp in the
# header, so a rebuild is the same file). The changelog's newest entry is
# this version's.
check_compressed_files() {
    local prefix=$1 source_dir=$2 f header
    for f in "${!GZIP_SOURCES[@]}"; do
        [ -f "$prefix/$f" ] || continue
        if ! zcat "$prefix/$f" | cmp -s - "$source_dir/${GZIP_SOURCES[$f]}"; then
            fail "$f is not ${GZIP_SOURCES[$f]} compressed"
            continue
        fi
        # Bytes 0-7: magic 31 139, method 8, flags, modification time.
        header=$(od -An -tu1 -N8 -v "$prefix/$f" | tr -s ' \n' ' ')
        [ "$header" = " 31 139 8 0 0 0 0 0 " ] ||
            fail "$f has a name or time stamp in its gzip header (not gzip -n):$header"
    done
    f="$prefix/share/doc/quorvane/changelog.gz"
    if [ -f "$f" ]; then
        local top
        top=$(zcat "$f" | head -n1)
        [[ $top == "quorvane ($VERSION) "* ]] ||
            fail "changelog: the newest entry is '$top', not quorvane ($VERSION)"
    fi
}

# Runs the validators that are installed on the files under PREFIX.
validate_desktop_files() {
    local prefix=$1 out
    local desktop="$prefix/share/applications/$APP_ID.desktop"
    local metainfo="$prefix/share/metainfo/$APP_ID.metainfo.xml"
    if command -v desktop-file-validate >/dev/null 2>&1; then
        if ! out=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$out" ]; then
            fail "desktop-file-validate: $out"
        else
            note "desktop-file-validate: no complaints"
        fi
    else
        note "desktop-file-validate not installed, desktop entry not validated"
    fi
    if command -v appstreamcli >/dev/null 2>&1; then
        if ! out=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1); then
            fail "appstreamcli validate: $out"
        else
            note "appstreamcli validate: $(echo "$out" | tail -n1)"
        fi
    else
        note "appstreamcli not installed, metainfo not validated"
    fi
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
    exit 0
}
