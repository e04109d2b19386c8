#!/usr/bin/env bash
# The two commands on Debian 13 (trixie) as a new user there has them: a minimal Debian 13 root
# made with debootstrap, a clone of the current commit in it, and ./test.sh --web run inside
# (everything ./test.sh --quick runs, then the page built with Debian 13's Emscripten and tested in
# its headless Chromium). test.sh installs its own packages there, as on a fresh machine.
#
# The root is kept in /var/cache/skorvane/debian13 and reused while the machine keeps it: the
# packages test.sh installed and the clone's build folders stay, so a second run only fetches the
# commit and rebuilds what changed. Delete the folder (nothing is mounted in it after a run) to
# start from a fresh root.
#
# Usage: tools/debian13.sh               (as root; SKORVANE_DEBIAN13_ROOT chooses another folder)
#        tools/debian13.sh COMMAND...    runs COMMAND in the root's clone as the last run left it,
#                                        e.g. bash, or tools/valgrind_check.sh build/default/shell/skorvane
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/packages.sh
# On Debian 13 itself the whole ./test.sh has just run there; a root inside it would add nothing.
if [ $# -eq 0 ] && grep -qs '^VERSION_ID="13"' "${SKORVANE_OS_RELEASE:-/etc/os-release}"; then
    say "debian13: this machine is Debian 13; ./test.sh's own run covers it"
    exit 0
fi
root=$(realpath -m "${SKORVANE_DEBIAN13_ROOT:-/var/cache/skorvane/debian13}")
[ "$(id -u)" -eq 0 ] || { say "debian13: debootstrap, mount and chroot need root"; exit 1; }
[ "$root" != / ] || exit 2
# In a mount namespace of its own, so that nothing mounted for the root reaches the host's mounts
# (on a host whose mounts are shared, a mount under a bound /dev would appear in the host's /dev).
if [ -z "${SKORVANE_DEBIAN13_NS:-}" ]; then
    SKORVANE_DEBIAN13_NS=1 exec unshare --mount --propagation private "$PWD/tools/debian13.sh" "$@"
fi

ensure_packages "${SKORVANE_DEBIAN13_PACKAGES[@]}"
if [ ! -e "$root/.skorvane-complete" ]; then
    # Made aside and moved in place whole, so a run cut short never leaves half a root to reuse.
    say "Making a minimal Debian 13 root in $root (debootstrap --variant=minbase trixie)"
    rm -rf --one-file-system "$root.new"
    mkdir -p "$(dirname "$root")"
    debootstrap --variant=minbase trixie "$root.new" http://deb.debian.org/debian >"$root.new.log" 2>&1 ||
        { tail -20 "$root.new.log"; say "debian13: debootstrap failed"; exit 1; }
    # Package scripts inside must not start services of the host's.
    printf '#!/bin/sh\nexit 101\n' >"$root.new/usr/sbin/policy-rc.d"
    chmod +x "$root.new/usr/sbin/policy-rc.d"
    touch "$root.new/.skorvane-complete"
    rm -rf --one-file-system "$root"
    mv "$root.new" "$root"
    rm -f "$root.new.log"
    say "Debian 13 root made in $SECONDS s"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

# What the tests need of a running system: processes, devices and terminals (Xvfb, weston), shared
# memory (Chromium, Mesa), sysfs (Mesa and Chromium look for GPUs there) and a /tmp of its own.
mounted=()
cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; --i)); do
        umount "${mounted[i]}" || umount -l "${mounted[i]}" || true
    done
}
trap cleanup EXIT
mount_in() { # TARGET then mount's arguments
    local target=$root$1
    shift
    mkdir -p "$target"
    mount "$@" "$target"
    mounted+=("$target")
}
mount_in /proc -t proc proc
mount_in /sys -t sysfs sysfs
mount_in /dev --bind /dev
mount_in /dev/pts --bind /dev/pts
mount_in /dev/shm -t tmpfs -o mode=1777 tmpfs
mount_in /tmp -t tmpfs -o mode=1777 tmpfs

run_in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" CI="${CI:-}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        /bin/bash -c 'cd /root/skorvane && exec "$@"' bash "$@"
}
if [ $# -gt 0 ]; then
    run_in_root "$@"
    exit
fi

# The current commit, as a clone would have it; the build folders of the last run stay.
commit=$(git rev-parse HEAD)
clone=$root/root/skorvane
if [ ! -d "$clone/.git" ]; then
    say "Cloning $commit into the root"
    git clone -q --no-checkout "$PWD" "$clone"
fi
git -C "$clone" fetch -q "$PWD" "$commit"
git -C "$clone" checkout -q -f --detach "$commit"
git -C "$clone" clean -q -f -d -x -e /build/

say "Debian 13: ./test.sh --web in the root, on commit ${commit:0:12}"
started=$SECONDS
run_in_root ./test.sh --web
say "Debian 13: passed (the root ready in $started s, ./test.sh --web in $((SECONDS - started)) s)"
