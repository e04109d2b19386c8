#!/usr/bin/env bash
# What a user gets from the .deb: the right run-time dependencies, a valid desktop entry and icon,
# and a program that, unpacked into a scratch root, starts and shows the picture, and shows its
# message boxes. A build for another processor (tools/arm64.sh) names its emulator in
# SKORVANE_EMULATOR (qemu-aarch64 -L /): its package is labelled with that architecture, its
# library dependencies come from dpkg-shlibdeps, and its programs run under the emulator.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "package test: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB -B "$work/package" >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/package/*.deb)
echo "package test: $(basename "$deb"), $(stat -c %s "$deb") bytes"
info=$(dpkg-deb -I "$deb")
echo "$info" | grep -E '^ (Package|Version|Architecture|Depends|Recommends):'
emulator=${SKORVANE_EMULATOR:-}
dependencies=(libsdl2-2.0-0 libwayland-client0 libfreetype6 libfontconfig1 libglu1-mesa
    libgl1-mesa-dri fonts-liberation2)
if [ -n "$emulator" ]; then
    # dpkg-shlibdeps names the C library too, and GLVND's GL entry points by their own packages.
    dependencies+=(libc6 libopengl0)
    grep -Eq '^ Architecture: arm64$' <<<"$info" || fail "the package is not labelled arm64"
else
    dependencies+=(libgl1)
fi
for dependency in "${dependencies[@]}"; do
    # grep -q stops reading at the first match; fed through a pipe, the writer could then die of
    # SIGPIPE and, with pipefail, fail the check for a dependency that is there.
    grep -Eq "^ Depends:.*\b$dependency\b" <<<"$info" || fail "$dependency is not a dependency"
done
grep -Eq '^ Recommends:.*\blibdecor-0-plugin-1-cairo\b' <<<"$info" ||
    fail "libdecor's cairo plugin (title bars on Wayland) is not recommended"

dpkg -x "$deb" "$work/root"
for installed in usr/bin/skorvane usr/libexec/skorvane/skorvane-message-box \
    usr/share/applications/skorvane.desktop \
    usr/share/icons/hicolor/scalable/apps/skorvane.svg usr/share/doc/skorvane/copyright; do
    [ -e "$work/root/$installed" ] || fail "$installed is not in the package"
done
cmp -s "$work/root/usr/share/doc/skorvane/copyright" "$source/LICENSE" ||
    fail "the package's copyright file is not the project's licence"
desktop-file-validate "$work/root/usr/share/applications/skorvane.desktop" ||
    fail "the desktop entry is not valid"

# The installed program has no build folder next to it; the capture tool's frame probe comes from
# this build.
SKORVANE_PROBE=$build/tools/probe/libpresent_probe.so "$source/tools/capture.sh" --format ppm --no-gif --hold 0.1 --out "$work/capture" \
    "$work/root/usr/bin/skorvane" >/dev/null || fail "the packaged program did not run and end on Escape"
# The root cube's red front face sits at the centre of the window.
centre=$(convert "$work/capture/start.ppm" -format '%[fx:int(255*p{400,300}.r)] %[fx:int(255*p{400,300}.g)] %[fx:int(255*p{400,300}.b)]' info:)
[ "$centre" = "255 0 0" ] || fail "the packaged program shows '$centre' at the centre, not red"
echo "package test: the .deb installs a program that starts and shows the picture"

# The packaged program finds the box program installed beside it: with the GL context refused
# (indirect rendering, which Xvfb does not offer) it reports the failure in a box, which SIGTERM
# ends. Under an emulator, which cannot start one foreign program from another without the
# kernel's binfmt_misc, the packaged box program shows such a box itself.
source "$source/tools/xvfb_session.sh"
trap 'xvfb_stop; rm -rf "$work"' EXIT
xvfb_start
if [ -n "$emulator" ]; then
    $emulator "$work/root/usr/libexec/skorvane/skorvane-message-box" ok error 0 ERROR \
        "The packaged box program" 2>"$work/box.log" &
else
    LIBGL_ALWAYS_INDIRECT=1 "$work/root/usr/bin/skorvane" 2>"$work/box.log" &
fi
program=$!
box=no
for _ in $(seq 300); do
    xwininfo -root -tree | grep -q '"ERROR"' && { box=yes; break; }
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
kill -TERM "$program" 2>/dev/null || true
wait "$program" || true
[ "$box" = yes ] || fail "the packaged program showed no message box; it said: $(cat "$work/box.log")"
echo "package test: the packaged program shows its message box"
