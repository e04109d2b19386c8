#!/usr/bin/env bash
# Fails unless every program named carries AddressSanitizer and UndefinedBehaviorSanitizer checks
# in its own code: calls into the sanitizers' report and handler functions, which the compiler
# emits only when the flags reached it. A preset whose flags go astray still builds and passes
# every test, just without any checking; this is what notices.
#
# Usage: tools/check_instrumented.sh PROGRAM...
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 PROGRAM..." >&2; exit 2; }
failed=0
for program in "$@"; do
    symbols=$(nm "$program" 2>/dev/null || true)
    for marker in __asan_report_ __ubsan_handle_; do
        if ! grep -q "$marker" <<<"$symbols"; then
            echo "check_instrumented: $program has no $marker* calls: it was built without the sanitizer flags" >&2
            failed=1
        fi
    done
done
[ "$failed" -eq 0 ] && echo "check_instrumented: $# programs carry ASan and UBSan checks"
exit "$failed"
