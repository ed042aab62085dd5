#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Prints "PASSED FAILED SKIPPED" for a ctest JUnit report (ctest --output-junit).

A test that ctest did not run for a reason of its own (a missing program, a
failed fixture) counts as failed; only a test that skipped itself counts as
skipped. Exits 1 when the report is missing or unreadable.
"""
import sys
import xml.etree.ElementTree as ET

try:
    root = ET.parse(sys.argv[1]).getroot()
except (OSError, ET.ParseError, IndexError):
    sys.exit(1)

passed = failed = skipped = 0
for case in root.iter("testcase"):
    status = case.get("status", "")
    if case.find("failure") is not None or case.find("error") is not None:
        failed += 1
    elif status == "run":
        passed += 1
    elif status == "disabled" or (
        status == "notrun"
        and case.find("skipped") is not None
        and case.find("skipped").get("message", "").startswith("SKIP_")
    ):
        skipped += 1
    else:
        failed += 1
print(passed, failed, skipped)
