#!/usr/bin/env bash
# The README's two commands are the way in: each one is a make target that
# installs what is missing first, then builds, then runs the tests or opens
# the tool on its virtual device. (desktop_frontdoor runs make run's script
# itself under Xvfb.)
set -euo pipefail
src=$1
grep -q '^make run ' "$src/README.md" && grep -q '^make test ' "$src/README.md" ||
    { echo "README: the two commands are not its first lines of code"; exit 1; }
for target in test run; do
    plan=$(make -n -C "$src" "$target" BUILD_DIR=/nonexistent/build)
    for step in "scripts/install-deps" "cmake -S . -B /nonexistent/build" "cmake --build /nonexistent/build"; do
        grep -qF "$step" <<<"$plan" || { echo "make $target does not run: $step"; exit 1; }
    done
done
grep -qF "ctest --test-dir /nonexistent/build" <<<"$(make -n -C "$src" test BUILD_DIR=/nonexistent/build)" ||
    { echo "make test does not run ctest"; exit 1; }
grep -qF "scripts/run-with-device /nonexistent/build/bin" <<<"$(make -n -C "$src" run BUILD_DIR=/nonexistent/build)" ||
    { echo "make run does not start the tool on its device"; exit 1; }
echo "front door: make run and make test as the README says"
