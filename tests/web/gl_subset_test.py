#!/usr/bin/python3
"""Runs the GL subset's check page (gl_subset_check.cpp, built by tests/web/CMakeLists.txt) in
headless Chromium and reports each of its checks.

    /usr/bin/python3 -m tests.web.gl_subset_test <directory with gl_subset_check.html>

Exits non-zero on any failed check, on a console error or warning, or when the page never
reports; the last line reads "N passed, N failed".
"""

import json
import os
import sys

from tools.browser import Browser, BrowserError


def main():
    if len(sys.argv) != 2 or not os.path.isfile(os.path.join(sys.argv[1], "gl_subset_check.html")):
        sys.exit("usage: python3 -m tests.web.gl_subset_test <directory with gl_subset_check.html>")
    passed = failed = 0
    with Browser(serve_dir=sys.argv[1]) as browser:
        try:
            browser.open(browser.url("gl_subset_check.html"))
            browser.wait_for("document.body.dataset.glCheck", timeout=30)
            results = json.loads(browser.evaluate("document.body.dataset.glResults"))
        except BrowserError as error:
            results = [{"name": "the check page reports", "ok": False, "detail": str(error)}]
        # WebGL reports its own errors as console warnings; the stall notice is about the
        # check's readPixels, not about the subset.
        noise = [m for m in browser.console_messages() if m["level"] in ("error", "warning")
                 and "GPU stall due to ReadPixels" not in m["text"]]
        results.append({"name": "no console errors or warnings", "ok": not noise,
                        "detail": "; ".join(m["text"] for m in noise)})
    for result in results:
        print("%s  %s\n      %s" % ("PASS" if result["ok"] else "FAIL", result["name"],
                                    result["detail"]))
        passed += result["ok"]
        failed += not result["ok"]
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
