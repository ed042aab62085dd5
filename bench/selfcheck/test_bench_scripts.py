# SPDX-License-Identifier: LGPL-2.1-or-later
"""Tests of the benchmark scripts' arithmetic: the callgrind split by object
and the growth and target judgements of the report."""

import importlib.util
import json
import os
import sys
import tempfile
import unittest

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")


def load_script(name):
    loader_spec = importlib.util.spec_from_file_location(name.replace("-", "_"),
                                                  os.path.join(SCRIPTS, name + ".py"))
    module = importlib.util.module_from_spec(loader_spec)
    loader_spec.loader.exec_module(module)
    return module


callgrind = load_script("callgrind-by-object")
report = load_script("bench-report")

# main (in prog) calls work (in prog, 100 own) which calls malloc (in libc,
# 30 own); then main calls helper in prog without cob=, which must count as
# a call into prog, not into libc.
PROFILE = """events: Ir
ob=(1) /bin/prog
fl=(1) prog.c
fn=(1) main
1 5
cob=(2) /lib/libc.so.6
cfi=(2) malloc.c
cfn=(2) malloc
calls=1 10
2 30
cfn=(3) helper
calls=1 20
3 7
ob=(2)
fl=(2)
fn=(2)
10 30
ob=(1)
fl=(1)
fn=(3)
20 7
"""


class CallgrindSplit(unittest.TestCase):
    def test_self_costs_and_direct_calls(self):
        with tempfile.NamedTemporaryFile("w", suffix=".out", delete=False) as handle:
            handle.write(PROFILE)
        try:
            self_cost, calls = callgrind.parse(handle.name)
        finally:
            os.remove(handle.name)
        self.assertEqual(self_cost, {"/bin/prog": 12, "/lib/libc.so.6": 30})
        self.assertEqual(calls[("/bin/prog", "/lib/libc.so.6")], 30)
        self.assertEqual(calls[("/bin/prog", "/bin/prog")], 7)


def discovery_json(times):
    """Benchmark JSON for the list benchmarks with times (ms) per chassis."""
    bridges = {1: 12, 8: 54, 32: 216}
    entries = []
    for kind in ("BM_OpenCloseList", "BM_OpenReadAllClose"):
        for chassis, ms in times.items():
            entries.append({"name": "%s/chassis:%d/real_time" % (kind, chassis),
                            "run_type": "iteration", "real_time": ms, "cpu_time": ms,
                            "time_unit": "ms", "chassis": chassis, "bridges": bridges[chassis],
                            "items": chassis})
    for threads, rate in ((1, 1e6), (8, 4e5)):
        entries.append({"name": "BM_ReadU32Attribute/real_time/threads:%d" % threads,
                        "run_type": "iteration", "real_time": 1e9 / rate, "cpu_time": 1.0,
                        "time_unit": "ns", "items_per_second": rate})
    return {"benchmarks": entries}


class ReportTargets(unittest.TestCase):
    def run_report(self, times):
        directory = tempfile.mkdtemp()
        with open(os.path.join(directory, "discovery.json"), "w") as handle:
            json.dump(discovery_json(times), handle)
        result = report.Report()
        entries = report.benchmarks(report.load(directory, "discovery.json"))
        report.growth_section(result, directory, entries)
        report.threads_section(result, entries)
        return result.targets

    def test_linear_growth_passes(self):
        targets = self.run_report({1: 1.0, 8: 4.5, 32: 18.0})
        self.assertTrue(targets[0].startswith("PASS discovery time"), targets[0])

    def test_quadratic_growth_is_a_miss(self):
        targets = self.run_report({1: 1.0, 8: 20.0, 32: 320.0})
        self.assertTrue(targets[0].startswith("MISS discovery time"), targets[0])

    def test_thread_collapse_is_a_miss(self):
        targets = self.run_report({1: 1.0, 8: 4.5, 32: 18.0})
        self.assertTrue(targets[1].startswith("MISS 8-thread"), targets[1])
        self.assertIn("0.40", targets[1])

    def test_sysfs_target_is_judged_on_the_generated_trees_only(self):
        def row(tree, user, opening, generated=True):
            return {"tree": tree, "user": user, "generated": generated, "opening_ms": opening,
                    "process_ms": 2 * opening, "lspci_ms": 10.0, "calls": 1, "lspci_calls": 9}
        directory = tempfile.mkdtemp()
        rows = [row("chassis-32", "root", 2.0), row("chassis-32", "nobody", 3.0),
                row("own", "root", 9.0, generated=False)]
        with open(os.path.join(directory, "sysfs.json"), "w") as handle:
            json.dump({"rows": rows}, handle)
        result = report.Report()
        report.sysfs_section(result, directory)
        self.assertTrue(result.targets[0].startswith("MISS sysfs"), result.targets)
        self.assertIn("0.300", result.targets[0])

    def test_missing_figures_are_skipped_not_passed(self):
        result = report.Report()
        directory = tempfile.mkdtemp()
        report.share_section(result, directory)
        report.sysfs_section(result, directory)
        self.assertTrue(all(t.startswith("SKIP") for t in result.targets), result.targets)


if __name__ == "__main__":
    sys.exit(unittest.main())
