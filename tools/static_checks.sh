#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy) and cppcheck over our own code: scene/, render/, shell/ and
# platform/. Fails on any finding. Tests, benchmarks and tools are not checked.
#
# Usage: tools/static_checks.sh [BUILD_DIR]   (a configured build with compile_commands.json;
#                                              default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
[ -f "$build/compile_commands.json" ] || { echo "static_checks: configure $build first" >&2; exit 2; }
mapfile -t sources < <(ls scene/*.cpp render/*.cpp shell/*.cpp platform/sdl/*.cpp)

echo "clang-tidy: ${#sources[@]} files"
# Two at a time: the machine's two cores are shared. xargs fails if any clang-tidy run does.
report=$(mktemp)
trap 'rm -f "$report"' EXIT
status=0
printf '%s\n' "${sources[@]}" | xargs -P 2 -n 4 clang-tidy -p "$build" --quiet >"$report" 2>&1 ||
    status=$?
grep -v -E '^[0-9]+ warnings? generated|^Suppressed [0-9]+ warnings|^Use -header-filter' \
    "$report" || true
if [ "$status" -ne 0 ]; then
    echo "static_checks: clang-tidy found problems (above)" >&2
    exit 1
fi

echo "cppcheck"
# SceneNode's constructor leaves transformMatrix unset on purpose: it is scratch that draw()
# fills before every use.
cppcheck --quiet --enable=warning,performance,portability --std=c++17 --language=c++ -I . \
    --suppress=missingIncludeSystem --suppress=uninitMemberVar:scene/scene_node.cpp \
    --inline-suppr --error-exitcode=1 scene render shell platform
echo "static_checks: clean"
