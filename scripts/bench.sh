#!/usr/bin/env bash
# SPDX-License-Identifier: LGPL-2.1-or-later
# Runs every benchmark of the library and writes the figures of one run to
# build/bench/ (JSON per benchmark, summary.txt, growth.png when gnuplot is
# present). Never part of the test command. Takes a few minutes; run it when
# the machine is quiet (the load is recorded with the figures).
#
#   scripts/bench.sh [--quick] [--plot]
#     --quick  shorter measuring times (figures less steady), for trying out
#     --plot   installs gnuplot-nox (Debian) if missing and draws growth.png
#
# Needs root or CAP_SYS_ADMIN for the simulated driver's private /proc tree.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/normal
out=$root/build/bench
min_time=0.5
plot=0
for arg in "$@"; do
  case $arg in
    --quick) min_time=0.1 ;;
    --plot) plot=1 ;;
    *) echo "usage: $0 [--quick] [--plot]" >&2; exit 2 ;;
  esac
done

bash scripts/setup.sh
for tool in lspci strace valgrind base64 python3; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing" >&2; exit 1; }
done
if [ "$plot" = 1 ] && ! command -v gnuplot >/dev/null; then
  echo "bench: installing gnuplot-nox for the growth plot"
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq gnuplot-nox >/dev/null
fi

echo "== build (RelWithDebInfo) =="
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 >/dev/null

# The benchmark tooling checks itself before any figure is taken: the
# generated machines load and read as documented, the report's arithmetic
# holds (ctest label "bench", left out of the test command).
echo "== benchmark tooling self-check =="
ctest --test-dir "$build" -L '^bench$' --output-on-failure
bench_bin=$build/bench
export LD_LIBRARY_PATH=$build/companions${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}

rm -rf "$out"
mkdir -p "$out/systems" "$out/images"
started=$(date +%s)

echo "== machine =="
{
  echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "cpu: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) cores"
  echo "memory: $(awk '/MemTotal/ {printf "%.1f GiB", $2/1048576}' /proc/meminfo)"
  echo "kernel: $(uname -r)"
  echo "compiler: $(c++ --version | head -1)"
  echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "git: $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
} | tee "$out/machine.txt"

echo "== simulated systems =="
for n in 1 8 32; do
  python3 scripts/gen-bench-system.py system "$n" "$out/systems/chassis-$n.ini"
  echo "chassis-$n: $(python3 scripts/gen-bench-system.py count "$n")"
done | tee "$out/systems.txt"
python3 scripts/gen-bench-system.py sysfs 32 "$out/sysfs-large"
export QVZ_BENCH_SYSTEM_DIR=$out/systems

echo "== image validation =="
for mib in 1 16 64; do
  "$bench_bin/image/qvz_bench_make_image" "${mib}M" "$out/images/image-$mib.img" \
    "$out/images/payload-$mib.b64" >"$out/images/image-$mib.txt"
done
# base64 -d of the same payloads (-i: the payload's carriage returns are
# outside the alphabet) and qvzel check-image of the whole images, each a
# whole process, best of five runs (check-image, ten times shorter, of ten).
python3 - "$out/images" "$build/tools/qvzel/qvzel" >"$out/base64.json" <<'EOF'
import json, subprocess, sys, time
d, qvzel = sys.argv[1], sys.argv[2]
def best_of(command, stdin_path, check, runs=5):
    best = None
    for _ in range(runs):
        with open(stdin_path, "rb") as src:
            t = time.perf_counter()
            done = subprocess.run(command, stdin=src, stdout=subprocess.PIPE)
            elapsed = time.perf_counter() - t
        check(done)
        best = elapsed if best is None else min(best, elapsed)
    return best
result = {}
for mib in (1, 16, 64):
    payload = "%s/payload-%d.b64" % (d, mib)
    image = "%s/image-%d.img" % (d, mib)
    info = open("%s/image-%d.txt" % (d, mib)).read().split()
    decoded = int(info[info.index("decoded") + 1])
    def decoded_whole(done):
        if done.returncode != 0 or len(done.stdout) != decoded:
            sys.exit("base64 -d gave %d bytes instead of %d" % (len(done.stdout), decoded))
    def image_valid(done):
        if done.returncode != 0 or b"Verdict: the image is valid." not in done.stdout:
            sys.exit("qvzel check-image does not call %s valid" % image)
    result[str(mib)] = {"seconds": best_of(["base64", "-d", "-i"], payload, decoded_whole),
                        "check_image_seconds": best_of([qvzel, "check-image", image],
                                                       "/dev/null", image_valid, 10),
                        "image_bytes": mib << 20}
json.dump(result, sys.stdout, indent=1)
EOF
"$bench_bin/image/bench_image" --benchmark_min_time="$min_time" \
  --benchmark_out="$out/image.json" --benchmark_out_format=json
"$bench_bin/image/bench_image_modules" --benchmark_min_time="$min_time" \
  --benchmark_out="$out/image_modules.json" --benchmark_out_format=json
"$bench_bin/image/bench_image_sections" --benchmark_min_time="$min_time" \
  --benchmark_out="$out/image_sections.json" --benchmark_out_format=json

echo "== discovery and attribute reads =="
"$bench_bin/discovery/bench_discovery" --benchmark_min_time="$min_time" \
  --benchmark_out="$out/discovery.json" --benchmark_out_format=json

echo "== INI files: 10,000 to 160,000 keys, alone and as the controller file =="
# The list openings write the controller file below a relocated shared state
# directory; the relocation library reads its variable when the program starts.
QVRELOC_SHAREDSTATEDIR=$out/state "$bench_bin/config/bench_ini" --benchmark_min_time="$min_time" \
  --benchmark_out="$out/ini.json" --benchmark_out_format=json

echo "== the tool on growing inputs: check-image over sections, list over controllers =="
python3 scripts/bench-tool-growth.py "$build/tools/qvzel/qvzel" \
  "$build/companions/qvdriversim/qvsim-run" "$build/companions" "$out/systems/chassis-1.ini" \
  "$out/tool-growth" | tee "$out/tool-growth.txt"

echo "== memory: 10,000 list openings and closings in one process =="
"$bench_bin/discovery/qvz_bench_list_loop" "$out/systems/chassis-8.ini" 10000 | tee "$out/memory.txt"

echo "== instructions (callgrind, 5 rounds per system) =="
# Inside nQVPXIFINDER100_openList only, split by object; and a whole round of
# opening, reading every attribute and closing.
for n in 1 8 32; do
  valgrind --tool=callgrind --callgrind-out-file="$out/callgrind-$n.out" \
    --toggle-collect=nQVPXIFINDER100_openList \
    "$bench_bin/discovery/qvz_bench_list_loop" "$out/systems/chassis-$n.ini" 5 \
    --max-growth-kib 1000000 >/dev/null 2>"$out/callgrind-$n.log"
  python3 scripts/callgrind-by-object.py "$out/callgrind-$n.out" \
    --json "$out/callgrind-$n.json" >"$out/callgrind-$n.txt"
  valgrind --tool=callgrind --callgrind-out-file="$out/callgrind-readall-$n.out" \
    --toggle-collect='nQvBench::openReadClose*' \
    "$bench_bin/discovery/qvz_bench_list_loop" "$out/systems/chassis-$n.ini" 5 --read-all \
    --max-growth-kib 1000000 >/dev/null 2>"$out/callgrind-readall-$n.log"
  python3 scripts/callgrind-by-object.py "$out/callgrind-readall-$n.out" \
    --json "$out/callgrind-readall-$n.json" >"$out/callgrind-readall-$n.txt"
done
cat "$out/callgrind-32.txt"

echo "== sysfs companion against lspci -t =="
bash scripts/bench-sysfs.sh "$out" "$min_time" || echo "bench: the sysfs stage failed (see above)"

echo "== kernel lab: the kernel stage's time, the firmware write through the real driver =="
# One run builds and boots; the stage is then timed on its own (boot, checks,
# power-off), and a second machine times writes of 64 KiB to 4 MiB.
if scripts/kernel-lab.sh -- true >/dev/null; then
  stage_started=$(date +%s.%N)
  stage_status=0
  scripts/kernel-lab.sh --no-build -- python3 tests/kernel/checks.py >"$out/kernel-stage.txt" 2>&1 ||
    stage_status=$?
  stage_seconds=$(python3 -c "import sys, time; print(time.time() - float(sys.argv[1]))" "$stage_started")
  tail -n 1 "$out/kernel-stage.txt"
  if scripts/kernel-lab.sh --no-build --copy bench/kernel -- python3 bench/kernel/write_throughput.py \
    >"$out/kernel-writes.json" 2>"$out/kernel-writes.log"; then
    python3 - "$out" "$stage_seconds" "$stage_status" <<'EOF2'
import json, re, sys
out, seconds, status = sys.argv[1], float(sys.argv[2]), int(sys.argv[3])
last = open(out + "/kernel-stage.txt").read().strip().splitlines()[-1:]
match = re.match(r"kernel: (\d+) passed, (\d+) failed in (\d+) s", last[0] if last else "")
data = json.load(open(out + "/kernel-writes.json"))
data.update(stage_seconds=seconds, stage_status=status,
            checks=[int(g) for g in match.groups()] if match else None)
json.dump(data, open(out + "/kernel.json", "w"), indent=1)
EOF2
  else
    echo "bench: the write benchmark failed: $(tail -n 3 "$out/kernel-writes.log")"
  fi
else
  echo "bench: the kernel lab does not boot (see above); no kernel figures"
fi

echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)" | tee -a "$out/machine.txt"
echo "== summary =="
python3 scripts/bench-report.py "$out" | tee "$out/summary.txt"
if command -v gnuplot >/dev/null; then
  gnuplot "$out/growth.gp" && echo "plot: $out/growth.png"
fi
echo "bench: done in $(( $(date +%s) - started )) s; figures in $out"
