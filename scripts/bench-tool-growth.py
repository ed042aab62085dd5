#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Times the qvzel tool as a whole process on growing inputs (run by
scripts/bench.sh, never by the test command):

  - qvzel check-image on images of 1,000 to 100,000 small sections, valid
    ones, ones whose headers end without an empty line, and ones whose lines
    end in CR alone (every value runs on to the end of the image);
  - qvzel list (table, --tree, --json) inside the simulated one-chassis
    system, with 1,000 to 50,000 controllers from the controller file.

  bench-tool-growth.py QVZEL QVSIM_RUN COMPANIONS_DIR SYSTEM_FILE OUT_DIR

Writes OUT_DIR/tool-growth.json and prints a table: seconds (best of three)
and microseconds per section or controller, which must stay flat.
"""

import json
import os
import subprocess
import sys
import time

SECTIONS = (1000, 10000, 30000, 100000)
CONTROLLERS = (1000, 5000, 10000, 50000)
SHAPES = ("good", "no-blank", "cr-only")


def image(sections, shape):
    end = "\r" if shape == "cr-only" else "\r\n"
    blank = "" if shape == "no-blank" else end
    parts = []
    for index in range(sections):
        kind = "SSTFlashFWUpdate" if index % 2 == 0 else "ISSIFlashFWUpdate"
        lines = ["HeaderVersion::2", 'UpdateType::"%s"' % kind, "SubSystemID::5A31",
                 "PinOutAddr::10", "PinOutVer::2", "Offset::0", "Version::%X" % (0x100 + index),
                 "ByteCount::3", "CRC::741236882"]
        parts.append(end.join(lines) + end + blank + "YWJj" + end)
    return "".join(parts).encode()


def best_of(command, env=None, runs=3, expect=(0, 1)):
    best = None
    for _ in range(runs):
        started = time.perf_counter()
        done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
        elapsed = time.perf_counter() - started
        if done.returncode not in expect:
            sys.exit("bench: %s exited with %d: %s" % (" ".join(command), done.returncode,
                                                       done.stderr.decode(errors="replace")))
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    qvzel, qvsim_run, companions, system, out = sys.argv[1:]
    os.makedirs(out, exist_ok=True)
    result = {"check_image": [], "list": []}

    for shape in SHAPES:
        for sections in SECTIONS:
            path = os.path.join(out, "sections-%s-%d.img" % (shape, sections))
            with open(path, "wb") as handle:
                handle.write(image(sections, shape))
            seconds = best_of([qvzel, "check-image", path], expect=(0,) if shape == "good" else (1,))
            result["check_image"].append({"shape": shape, "sections": sections,
                                          "seconds": seconds})
            os.remove(path)

    state = os.path.join(out, "state")
    os.makedirs(os.path.join(state, "qvpxi"), exist_ok=True)
    env = dict(os.environ, QVRELOC_SHAREDSTATEDIR=state)
    for controllers in CONTROLLERS:
        with open(os.path.join(state, "qvpxi", "pxicontrollers.ini"), "w") as handle:
            for index in range(controllers):
                handle.write("[c%d]\nVendorName=V\nModelName=Bench %d\nSlotPath=MR00:00,00,08\n"
                             % (index, index))
        for form in ([], ["--tree"], ["--json"]):
            command = [qvsim_run, system, "--lib-dir", companions, "--", qvzel, "list"] + form
            seconds = best_of(command, env=env, expect=(0,))
            result["list"].append({"form": " ".join(form) or "table",
                                   "controllers": controllers, "seconds": seconds})

    with open(os.path.join(out, "tool-growth.json"), "w") as handle:
        json.dump(result, handle, indent=1)
    print("%-28s %9s %10s %8s" % ("qvzel check-image", "sections", "seconds", "us/each"))
    for row in result["check_image"]:
        print("%-28s %9d %10.3f %8.1f" % (row["shape"], row["sections"], row["seconds"],
                                          row["seconds"] * 1e6 / row["sections"]))
    print("%-28s %9s %10s %8s" % ("qvzel list", "controllers", "seconds", "us/each"))
    for row in result["list"]:
        print("%-28s %9d %10.3f %8.1f" % (row["form"], row["controllers"], row["seconds"],
                                          row["seconds"] * 1e6 / row["controllers"]))


if __name__ == "__main__":
    main()
