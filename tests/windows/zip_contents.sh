#!/usr/bin/env bash
# What a Windows user unpacks: the .zip that cpack makes of a Windows build holds the program, the
# README and the licence, the licence word for word as the repository's.
# Usage: zip_contents.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G ZIP -B "$work/package" >"$work/cpack.log") ||
    { cat "$work/cpack.log"; echo "zip test: cpack failed" >&2; exit 1; }
zip=$(ls "$work"/package/*.zip)
python3 - "$zip" "$source/LICENSE" <<'PY'
import sys, zipfile
archive, licence = sys.argv[1], open(sys.argv[2], "rb").read()
with zipfile.ZipFile(archive) as z:
    names = {name.split("/", 1)[-1]: name for name in z.namelist()}
    print("zip test:", ", ".join(sorted(names)))
    for wanted in ("skorvane.exe", "README.md", "LICENSE.txt"):
        if wanted not in names:
            sys.exit(f"zip test: {wanted} is not in the .zip")
    if z.read(names["LICENSE.txt"]) != licence:
        sys.exit("zip test: LICENSE.txt is not the project's licence")
print("zip test: the .zip carries the program, its README and its licence")
PY
