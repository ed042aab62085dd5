#!/usr/bin/env bash
# The sysfs backend of libqvpcibrd.so.1 against `lspci -t` on the same trees:
# a generated large tree (the 32-chassis benchmark machine as sysfs files)
# and this machine's own /sys. Called by scripts/bench.sh; by hand:
#
#   scripts/bench-sysfs.sh OUTDIR [MIN_TIME]
#
# OUTDIR must hold systems/chassis-32.ini (scripts/gen-bench-system.py); the
# large tree is made there when missing. Writes OUTDIR/sysfs.json.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1
min_time=${2:-0.5}
bin=$PWD/build/normal/bench/sysfs
export LD_LIBRARY_PATH=$PWD/build/normal/companions${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
unset QVPCIBRD_SYSTEM
large=$out/sysfs-large
[ -d "$large" ] || python3 scripts/gen-bench-system.py sysfs 32 "$large"
[ -f "$out/systems/chassis-32.ini" ] ||
  python3 scripts/gen-bench-system.py system 32 "$out/systems/chassis-32.ini"

# The tree must read the same to both sides.
functions=$(python3 scripts/gen-bench-system.py count 32 | sed 's/.*functions=\([0-9]*\).*/\1/')
seen=$(lspci -O sysfs.path="$large/bus/pci" | wc -l)
if [ "$seen" != "$functions" ]; then
  echo "bench-sysfs: lspci sees $seen functions in the generated tree, not $functions" >&2
  exit 1
fi
echo "large tree: $functions functions, $(python3 scripts/gen-bench-system.py count 32 |
  sed 's/.*bridges=\([0-9]*\).*/\1/') bridges; own /sys: $(lspci | wc -l) functions"

# In process: list openings without the kernel driver (the chassis'
# controllers are found through the bridge library: 32 items), and with the
# simulated driver publishing the eight cards (40 items).
QVPCIBRD_SYSFS_ROOT=$large QVZ_BENCH_EXPECT_ITEMS=32 \
  QVZ_BENCH_DRIVER_SYSTEM=$out/systems/chassis-32.ini \
  "$bin/bench_sysfs" --benchmark_min_time="$min_time" \
  --benchmark_out="$out/sysfs-large.json" --benchmark_out_format=json
env -u QVPCIBRD_SYSFS_ROOT "$bin/bench_sysfs" --benchmark_filter='BM_OpenCloseListSysfs/' \
  --benchmark_min_time="$min_time" \
  --benchmark_out="$out/sysfs-own.json" --benchmark_out_format=json

# Whole processes in turn, median of the runs: a fresh process opening one
# list (and timing that opening itself), and the qvzel tool's tree of every
# item with its attributes, against lspci -t.
python3 - "$out" "$bin/qvz_bench_list_once" "$large" "$PWD/build/normal/tools/qvzel/qvzel" <<'EOF'
import json, os, statistics, subprocess, sys, time
out, once, large, qvzel = sys.argv[1:5]
have_tool = os.access(qvzel, os.X_OK)
runs = 40

def timed(command, env, opening=None):
    start = time.perf_counter()
    run = subprocess.run(command, env=env, stdout=subprocess.PIPE, check=True, text=True)
    elapsed = time.perf_counter() - start
    if opening is not None:
        # qvz_bench_list_once prints the item count and the opening's milliseconds.
        opening.append(float(run.stdout.split()[1]) / 1e3)
    return elapsed

def in_process(name):
    data = json.load(open(os.path.join(out, name)))
    for entry in data["benchmarks"]:
        if entry["name"].startswith("BM_OpenCloseListSysfs/") and not entry.get("error_occurred"):
            return entry["real_time"], int(entry.get("items", -1))
    return None, None

base = dict(os.environ)
base.pop("QVPCIBRD_SYSFS_ROOT", None)
trees = {
    "generated large tree": ({"QVPCIBRD_SYSFS_ROOT": large},
                             ["lspci", "-t", "-O", "sysfs.path=%s/bus/pci" % large],
                             "sysfs-large.json"),
    "this machine's /sys": ({}, ["lspci", "-t"], "sysfs-own.json"),
}
result = {}
for tree, (extra, lspci, json_name) in trees.items():
    env = dict(base, **extra)
    ours, opening, theirs, tool = [], [], [], []
    for _ in range(runs):
        ours.append(timed([once], env, opening))
        theirs.append(timed(lspci, base))
        if have_tool:
            tool.append(timed([qvzel, "list", "--tree"], env))
    list_ms, items = in_process(json_name)
    result[tree] = {"process_ms": 1e3 * statistics.median(ours),
                    "opening_ms": 1e3 * statistics.median(opening),
                    "lspci_ms": 1e3 * statistics.median(theirs), "items": items}
    if tool:
        result[tree]["qvzel_ms"] = 1e3 * statistics.median(tool)
    if list_ms is not None:
        result[tree]["list_ms"] = list_ms
    print("%s: list opening %s ms in a running process (%s items), %.3f ms in a fresh one, "
          "%.3f ms the whole process; lspci -t %.3f ms"
          % (tree, "%.3f" % list_ms if list_ms is not None else "?", items,
             result[tree]["opening_ms"], result[tree]["process_ms"], result[tree]["lspci_ms"]))
json.dump(result, open(os.path.join(out, "sysfs.json"), "w"), indent=1)
EOF
