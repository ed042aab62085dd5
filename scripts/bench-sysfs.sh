#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# The sysfs backend of libqvpcibrd.so.1 against `lspci -t` on the same trees:
# the generated 32- and 128-chassis trees (the benchmark machine as sysfs
# files; the 128 chassis span four PCI domains, of which the bridge library
# serves domain 0) and this machine's own /sys, each as root and as the
# unprivileged user nobody. Called by scripts/bench.sh; by hand:
#
#   scripts/bench-sysfs.sh OUTDIR [MIN_TIME]
#
# OUTDIR must hold systems/chassis-32.ini (scripts/gen-bench-system.py); the
# trees are made there when missing. With QVZ_BENCH_BASELINE_COMPANIONS naming
# the companions directory of another build, that build's bridge library is
# timed in the same turns as the old figure. Writes OUTDIR/sysfs.json.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$1
min_time=${2:-0.5}
bin=$PWD/build/normal/bench/sysfs
export LD_LIBRARY_PATH=$PWD/build/normal/companions${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
unset QVPCIBRD_SYSTEM
[ -f "$out/systems/chassis-32.ini" ] ||
  python3 scripts/gen-bench-system.py system 32 "$out/systems/chassis-32.ini"

# The generated trees; each must read the same to both sides.
trees=()
for n in 32 128; do
  tree=$out/sysfs-$n
  [ "$n" = 32 ] && tree=$out/sysfs-large
  [ -d "$tree" ] || python3 scripts/gen-bench-system.py sysfs "$n" "$tree"
  chmod -R a+rX "$tree"  # the unprivileged runs read it too
  counts=$(python3 scripts/gen-bench-system.py count "$n")
  functions=$(sed 's/.*functions=\([0-9]*\).*/\1/' <<<"$counts")
  listed=$(sed 's/.*listed=\([0-9]*\).*/\1/' <<<"$counts")
  seen=$(lspci -O sysfs.path="$tree/bus/pci" | wc -l)
  if [ "$seen" != "$functions" ]; then
    echo "bench-sysfs: lspci sees $seen functions in the $n-chassis tree, not $functions" >&2
    exit 1
  fi
  echo "$n-chassis tree: $counts"
  trees+=("$n:$tree:$functions:$listed")
done
echo "own /sys: $(lspci | wc -l) functions"

# In process, as the user running this: list openings without the kernel
# driver (the chassis' controllers of domain 0 are found through the bridge
# library), and on the 32-chassis tree also with the simulated driver
# publishing the eight cards (40 items).
QVPCIBRD_SYSFS_ROOT=$out/sysfs-large QVZ_BENCH_EXPECT_ITEMS=32 \
  QVZ_BENCH_DRIVER_SYSTEM=$out/systems/chassis-32.ini \
  "$bin/bench_sysfs" --benchmark_min_time="$min_time" \
  --benchmark_out="$out/sysfs-large.json" --benchmark_out_format=json
QVPCIBRD_SYSFS_ROOT=$out/sysfs-128 QVZ_BENCH_EXPECT_ITEMS=32 \
  "$bin/bench_sysfs" --benchmark_filter='BM_OpenCloseListSysfs/' \
  --benchmark_min_time="$min_time" \
  --benchmark_out="$out/sysfs-128.json" --benchmark_out_format=json
env -u QVPCIBRD_SYSFS_ROOT "$bin/bench_sysfs" --benchmark_filter='BM_OpenCloseListSysfs/' \
  --benchmark_min_time="$min_time" \
  --benchmark_out="$out/sysfs-own.json" --benchmark_out_format=json

# Whole processes in turn, medians of the runs: a fresh process opening one
# list (and timing that opening itself), the qvzel tool's tree of every item
# with its attributes, and lspci -t; then the system calls of each process
# once (strace -c -f). Where a private mount namespace is allowed, each
# generated tree is mounted on /sys there, so that both sides read it where
# they read a real machine's (lspci resolves every directory of a path, so
# a deeper root would cost it more calls than /sys does).
place=path
wrap=()
if [ "$(id -u)" = 0 ] && unshare --mount --propagation private true 2>/dev/null; then
  place=bind
  wrap=(unshare --mount --propagation private)
fi
"${wrap[@]}" python3 - "$out" "$bin/qvz_bench_list_once" "$PWD/build/normal/tools/qvzel/qvzel" \
  "${QVZ_BENCH_BASELINE_COMPANIONS:-}" "$place" "${trees[@]}" <<'EOF'
import json, os, pwd, statistics, subprocess, sys, tempfile, time
out, once, qvzel, baseline, place = sys.argv[1:6]
have_tool = os.access(qvzel, os.X_OK)
runs = int(os.environ.get("QVZ_BENCH_SYSFS_RUNS", "30"))

def timed(command, env, opening=None):
    start = time.perf_counter()
    run = subprocess.run(command, env=env, stdout=subprocess.PIPE, check=True, text=True)
    elapsed = time.perf_counter() - start
    if opening is not None:
        # qvz_bench_list_once prints the item count and the opening's milliseconds.
        opening.append(float(run.stdout.split()[1]) / 1e3)
    return elapsed, run.stdout

def calls(command, env, user):
    """System calls of one run of the command (strace -c -f, all threads)."""
    with tempfile.NamedTemporaryFile("r", suffix=".strace") as summary:
        strace = ["strace", "-f", "-c", "-o", summary.name]
        if user:
            strace += ["-u", user]
        subprocess.run(strace + command, env=env, stdout=subprocess.DEVNULL, check=True)
        for line in summary.read().splitlines():
            if line.split()[-1:] == ["total"]:
                return int(line.split()[3])
    return None

def in_process(name):
    path = os.path.join(out, name)
    if not os.path.exists(path):
        return None
    for entry in json.load(open(path))["benchmarks"]:
        if entry["name"].startswith("BM_OpenCloseListSysfs/") and not entry.get("error_occurred"):
            return entry["real_time"]
    return None

base = dict(os.environ)
base.pop("QVPCIBRD_SYSFS_ROOT", None)
trees = [("this machine's /sys", None, None, None, "sysfs-own.json")]
for spec in sys.argv[6:]:
    chassis, path, functions, listed = spec.split(":")
    trees.append(("generated chassis-%s tree" % chassis, path, int(functions), int(listed),
                  "sysfs-large.json" if chassis == "32" else "sysfs-%s.json" % chassis))
# As root, also as nobody: the kernel shows other users the first 64 bytes
# of "config" only (generated trees are plain files and read the same).
users = [(pwd.getpwuid(os.getuid()).pw_name, [], None)]
if os.getuid() == 0:
    users.append(("nobody", ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"],
                  "nobody"))
rows = []
for tree, path, functions, listed, json_name in trees:
    env = dict(base)
    lspci = ["lspci", "-t"]
    if path and place == "bind":
        subprocess.run(["mount", "--bind", path, "/sys"], check=True)
        seen = subprocess.run(["lspci"], stdout=subprocess.PIPE, check=True).stdout.count(b"\n")
        if seen != functions:
            sys.exit("bench-sysfs: /sys shows %d functions, not %d" % (seen, functions))
    elif path:
        env["QVPCIBRD_SYSFS_ROOT"] = path
        lspci += ["-O", "sysfs.path=%s/bus/pci" % path]
    old_env = dict(env, LD_LIBRARY_PATH=baseline + ":" + env["LD_LIBRARY_PATH"]) \
        if baseline else None
    for user, prefix, strace_user in users:
        figures = {k: [] for k in ("process", "opening", "lspci", "qvzel", "old")}
        items = None
        for _ in range(runs):
            elapsed, text = timed(prefix + [once], env, figures["opening"])
            figures["process"].append(elapsed)
            items = int(text.split()[0])
            figures["lspci"].append(timed(prefix + lspci, env)[0])
            if have_tool:
                figures["qvzel"].append(timed(prefix + [qvzel, "list", "--tree"], env)[0])
            if old_env:
                timed(prefix + [once], old_env, figures["old"])
        if listed is not None and items != listed:
            sys.exit("bench-sysfs: %s lists %d items instead of %d" % (tree, items, listed))
        row = {"tree": tree, "user": user, "generated": functions is not None,
               "functions": functions, "items": items,
               "read_at": "/sys" if not path or place == "bind" else path}
        for key, values in figures.items():
            if values:
                row[key + "_ms"] = 1e3 * statistics.median(values)
        row["calls"] = calls([once], env, strace_user)
        row["lspci_calls"] = calls(lspci, env, strace_user)
        if old_env:
            row["old_calls"] = calls([once], old_env, strace_user)
        if not prefix:
            row["list_ms"] = in_process(json_name)
        rows.append(row)
        print("%s as %s: list opening %.3f ms in a fresh process, %.3f ms the whole process; "
              "lspci -t %.3f ms (%.3f x); system calls %s, lspci -t %s%s"
              % (tree, user, row["opening_ms"], row["process_ms"], row["lspci_ms"],
                 row["opening_ms"] / row["lspci_ms"], row["calls"], row["lspci_calls"],
                 "; old library %.3f ms, %s calls" % (row["old_ms"], row["old_calls"])
                 if old_env else ""))
    if path and place == "bind":
        subprocess.run(["umount", "/sys"], check=True)
json.dump({"rows": rows}, open(os.path.join(out, "sysfs.json"), "w"), indent=1)
EOF
