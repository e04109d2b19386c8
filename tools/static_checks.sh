#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy) and cppcheck over our own code: scene/, render/, shell/ and
# platform/ (platform/web/ and platform/webgl/ when the web preset has been configured). Fails on
# any finding. Tests, benchmarks and tools are not checked.
#
# Usage: tools/static_checks.sh [BUILD_DIR]   (a configured build with compile_commands.json;
#                                              default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
[ -f "$build/compile_commands.json" ] || { echo "static_checks: configure $build first" >&2; exit 2; }
mapfile -t sources < <(ls scene/*.cpp render/*.cpp shell/*.cpp platform/sdl/*.cpp platform/win32_common/*.cpp)

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

# The browser layer compiles only for WebAssembly: clang-tidy reads it through the web preset's
# compile commands, with the target and system root that em++ adds by itself.
web_build=build/web
if [ -f "$web_build/compile_commands.json" ] && ls platform/web/*.cpp >/dev/null 2>&1; then
    echo "clang-tidy: platform/web and platform/webgl through $web_build"
    sysroot=$(em-config CACHE 2>/dev/null || echo /usr/share/emscripten/cache)/sysroot
    if ! clang-tidy -p "$web_build" --quiet --extra-arg=--target=wasm32-unknown-emscripten \
        --extra-arg=--sysroot="$sysroot" --extra-arg=-DEMSCRIPTEN --extra-arg=-D__EMSCRIPTEN__ \
        --extra-arg=-Xclang --extra-arg=-iwithsysroot/include/compat platform/web/*.cpp \
        platform/webgl/*.cpp \
        >"$report" 2>&1; then
        grep -v -E '^[0-9]+ warnings? generated|^Suppressed [0-9]+ warnings|^Use -header-filter' \
            "$report" || true
        echo "static_checks: clang-tidy found problems in platform/web or platform/webgl (above)" >&2
        exit 1
    fi
fi

echo "cppcheck"
# SceneNode's constructor leaves transformMatrix unset on purpose: it is scratch that draw()
# fills before every use. cppcheck 2.17 (Debian 13) fails on its own notice that it analyses at
# its normal level, the level 2.10 (Debian 12) analyses at without saying so.
cppcheck --quiet --enable=warning,performance,portability --std=c++17 --language=c++ -I . \
    --suppress=missingIncludeSystem --suppress=uninitMemberVar:scene/scene_node.cpp \
    --suppress=normalCheckLevelMaxBranches \
    --inline-suppr --error-exitcode=1 -i platform/web scene render shell platform
# cppcheck cannot read the JavaScript inside EM_JS, so the browser files holding some are left to
# clang-tidy above.
mapfile -t web_sources < <(grep -L -E 'EM_(ASYNC_)?JS' platform/web/*.cpp 2>/dev/null || true)
if [ "${#web_sources[@]}" -gt 0 ]; then
    cppcheck --quiet --enable=warning,performance,portability --std=c++17 --language=c++ -I . \
        --suppress=missingIncludeSystem --suppress=normalCheckLevelMaxBranches --inline-suppr \
        --error-exitcode=1 "${web_sources[@]}"
fi
# The seam: every Win32 entry point is win32_common's, and a layer supplies only the hooks of
# layer_hooks.h. A WINAPI definition in a layer's folder would be a second copy of a call.
echo "seam: no layer defines a Win32 entry point"
if grep -nE '^[A-Za-z_][A-Za-z_0-9 *]* WINAPI [A-Za-z_0-9]+\(' platform/sdl/*.cpp platform/web/*.cpp; then
    echo "static_checks: a layer defines a Win32 entry point (above); write it once in" \
        "platform/win32_common/ with a hook in layer_hooks.h" >&2
    exit 1
fi
echo "static_checks: clean"
