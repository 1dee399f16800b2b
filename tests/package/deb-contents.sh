#!/usr/bin/env bash
# Builds the Debian package from an already built tree with cpack and checks
# what it holds: every file at its place under /usr with sane modes, nothing
# outside /usr, no maintainer scripts, control fields with a computed Depends
# line, man pages and changelog compressed as Debian wants, and no error from
# lintian.
#
# Usage: deb-contents.sh BUILD_DIR SOURCE_DIR
set -uo pipefail

build_dir=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/package/common.sh
source "$here/common.sh"

if ! command -v dpkg-deb >/dev/null 2>&1; then
    echo "SKIP: dpkg-deb is not installed, so no Debian package can be built or inspected"
    exit 77
fi
if ! command -v dpkg-shlibdeps >/dev/null 2>&1; then
    echo "FAIL: dpkg-shlibdeps (package dpkg-dev) is missing; the Depends line cannot be computed" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

note "cpack from $build_dir"
if ! cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack did not build the package" >&2
    exit 1
fi

arch=$(dpkg --print-architecture)
mapfile -t debs < <(find "$work/out" -maxdepth 1 -name '*.deb' -printf '%f\n')
if [ "${#debs[@]}" -ne 1 ]; then
    echo "FAIL: expected one .deb, found ${#debs[@]}: ${debs[*]}" >&2
    exit 1
fi
deb="$work/out/${debs[0]}"
[ "${debs[0]}" = "quorvane_${VERSION}_${arch}.deb" ] ||
    fail "package file is ${debs[0]}, not quorvane_${VERSION}_${arch}.deb"
note "package: ${debs[0]}"

# --- contents ------------------------------------------------------------------
if ! dpkg-deb -c "$deb" >"$work/contents"; then
    echo "FAIL: dpkg-deb -c cannot list the package" >&2
    exit 1
fi
# Columns: mode owner size date time path
declare -A mode_of owner_of
while read -r mode owner _ _ _ path _; do
    mode_of[$path]=$mode
    owner_of[$path]=$owner
done <"$work/contents"

for f in "${PROGRAMS[@]}"; do
    path="./usr/$f"
    if [ -z "${mode_of[$path]:-}" ]; then
        fail "$path is not in the package"
    elif [ "${mode_of[$path]}" != "-rwxr-xr-x" ]; then
        fail "$path has mode ${mode_of[$path]}, not -rwxr-xr-x"
    fi
done
for f in "${DATA_FILES[@]}"; do
    path="./usr/$f"
    if [ -z "${mode_of[$path]:-}" ]; then
        fail "$path is not in the package"
    elif [ "${mode_of[$path]}" != "-rw-r--r--" ]; then
        fail "$path has mode ${mode_of[$path]}, not -rw-r--r--"
    fi
done
for path in "${!mode_of[@]}"; do
    case $path in
        ./usr/*) ;;
        *) fail "$path lies outside /usr" ;;
    esac
    case $path in
        */udev/* | ./etc/* | ./usr/lib/systemd/*) fail "$path touches system configuration" ;;
    esac
    [ "${owner_of[$path]}" = "root/root" ] || fail "$path is owned by ${owner_of[$path]}"
done

# --- control archive ----------------------------------------------------------
mkdir -p "$work/control"
if ! dpkg-deb -e "$deb" "$work/control"; then
    echo "FAIL: dpkg-deb -e cannot extract the control archive" >&2
    exit 1
fi
for member in "$work"/control/*; do
    case $(basename "$member") in
        control | md5sums) ;;
        *) fail "control archive holds $(basename "$member"); the package must not run maintainer scripts or own conffiles" ;;
    esac
done

field() {
    dpkg-deb -f "$deb" "$1"
}
[ "$(field Package)" = quorvane ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$VERSION" ] || fail "Version is '$(field Version)', not $VERSION"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)', not $arch"
case $(field Section) in
    electronics | devel) ;;
    *) fail "Section is '$(field Section)'" ;;
esac
[ "$(field Maintainer)" = "Quorvane project <maintainers@quorvane.invalid>" ] ||
    fail "Maintainer is '$(field Maintainer)'"
[ -n "$(field Description)" ] || fail "Description is empty"

depends=$(field Depends)
note "Depends: $depends"
if [ -z "$depends" ]; then
    fail "Depends is empty; the shared-library dependencies were not computed"
else
    # Computed entries carry the version the programs were linked against.
    echo "$depends" | grep -Eq '(^|, )libqt6widgets6 \(>= [0-9]' ||
        fail "Depends lacks a versioned libqt6widgets6"
    echo "$depends" | grep -Eq '(^|, )libc6 \(>= [0-9]' || fail "Depends lacks a versioned libc6"
    echo "$depends" | grep -Eq '(^|, )qt6-translations-l10n(,|$| )' ||
        fail "Depends lacks qt6-translations-l10n (Qt's texts in Chinese)"
    echo "$depends" | grep -Eq '(^|, )libqt6charts6(,|$| )' ||
        fail "Depends lacks libqt6charts6 (the chart window)"
fi

echo "$(field Recommends)" | grep -Eq '(^|[,|] ?)fonts-wqy-microhei( |,|$)' ||
    fail "Recommends lacks a Chinese font: '$(field Recommends)'"

# --- the unpacked tree ----------------------------------------------------------
mkdir -p "$work/root"
if dpkg-deb -x "$deb" "$work/root"; then
    check_installed_tree "$work/root/usr"
    check_compressed_files "$work/root/usr" "$2"
    validate_desktop_files "$work/root/usr"
    for f in "${DATA_FILES[@]}"; do
        case $f in
            share/applications/* | share/metainfo/*)
                src=$2/packaging/$(basename "$f")
                cmp -s "$src" "$work/root/usr/$f" || fail "$f differs from $src"
                ;;
        esac
    done
else
    fail "dpkg-deb -x cannot unpack the package"
fi

# --- lintian ----------------------------------------------------------------------
# Debian's own checks: an error (E:) fails; warnings and the rest are shown.
if command -v lintian >/dev/null 2>&1; then
    lintian --tag-display-limit 0 "$deb" >"$work/lintian.out" 2>"$work/lintian.err"
    status=$?
    grep -v '^running with root privileges' "$work/lintian.err" >&2
    if grep -q '^E: ' "$work/lintian.out"; then
        while read -r line; do fail "lintian: $line"; done < <(grep '^E: ' "$work/lintian.out")
    elif [ "$status" -ne 0 ]; then
        fail "lintian exited with $status: $(cat "$work/lintian.out")"
    fi
    while read -r line; do note "lintian: $line"; done < <(grep -v '^E: ' "$work/lintian.out")
    note "lintian: $(grep -c '^E: ' "$work/lintian.out") error(s), $(grep -c '^W: ' "$work/lintian.out") warning(s)"
else
    note "lintian not installed, package not checked by it"
fi

finish
