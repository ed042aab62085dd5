# SPDX-License-Identifier: LGPL-2.1-or-later
# Sourced by scripts/demo.sh and scripts/lab.sh: builds what the simulated lab
# needs and runs commands in it. The lab is examples/systems/lab.ini, a
# four-port upstream card cabled to three chassis, with one controller known
# only through the controller file examples/systems/lab-pxicontrollers.ini.
# Callers source it from the source tree's root, with set -euo pipefail.

lab_root=$PWD
# A build of its own, without the tests, so that the lab needs no test-only
# packages and never changes the test builds' settings.
lab_build=$lab_root/build/demo
lab_system=$lab_root/examples/systems/lab.ini

# Installs what is missing and builds the library, the tool and the simulated
# companions; says nothing unless something fails.
lab_make() {
  bash "$lab_root/scripts/setup.sh" demo
  local log=$lab_build/lab-build.log
  mkdir -p "$lab_build"
  if ! { cmake -S "$lab_root" -B "$lab_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVZ_BUILD_TESTS=OFF &&
         cmake --build "$lab_build" -j "$(nproc)" --target qvzelif qvzel qvpcibrd qvrelocations \
           qvdriversim qvsim-run qvsim-reload; } >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "the build failed; its whole output is in $log" >&2
    return 1
  fi
}

# lab_enter DIR: the lab's controller file in DIR/state (the relocation
# companion moves the shared state directory there), the driver's write logs
# in DIR/log, the card's flash in DIR/flash (kept from one command to the
# next), and the built tool and qvsim-reload first on PATH.
lab_enter() {
  lab_dir=$1
  mkdir -p "$lab_dir/state/qvpxi" "$lab_dir/log" "$lab_dir/flash"
  cp "$lab_root/examples/systems/lab-pxicontrollers.ini" "$lab_dir/state/qvpxi/pxicontrollers.ini"
  export QVRELOC_SHAREDSTATEDIR=$lab_dir/state
  export LD_LIBRARY_PATH=$lab_build/companions:$lab_build${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
  export PATH=$lab_build/tools/qvzel:$lab_build/companions/qvdriversim:$PATH
}

# lab_run COMMAND [ARGS...]: runs the command in the lab and answers its exit
# status.
lab_run() {
  "$lab_build/companions/qvdriversim/qvsim-run" "$lab_system" --log-dir "$lab_dir/log" \
    --state-dir "$lab_dir/flash" -- "$@"
}

# Answers 0 when the simulated driver can have its private namespace here;
# otherwise explains, once, why not and how to allow it, and answers 1.
lab_check_namespace() {
  local rc=0 err
  err=$(lab_run true 2>&1 >/dev/null) || rc=$?
  [ "$rc" -ne 0 ] || return 0
  if [ "$rc" -ne 77 ]; then
    echo "$err" >&2
    return 1
  fi
  {
    echo "The simulated kernel driver needs a private mount namespace, which this"
    echo "machine refused: ${err##*tree: }"
    echo "To allow it, run this as root, or allow unprivileged user namespaces:"
    echo "  sudo sysctl -w kernel.unprivileged_userns_clone=1"
    if [ -e /proc/sys/kernel/apparmor_restrict_unprivileged_userns ]; then
      echo "  sudo sysctl -w kernel.apparmor_restrict_unprivileged_userns=0"
    fi
    if [ "$(cat /proc/sys/user/max_user_namespaces 2>/dev/null || echo 1)" = 0 ]; then
      echo "  sudo sysctl -w user.max_user_namespaces=1024"
    fi
  } >&2
  return 1
}

# lab_show_log FILE: a write log within 80 columns: its request lines wrapped at
# spaces, the bytes written as a hex dump of 16 bytes a line (the first 256).
lab_show_log() {
  awk '
    /^bytes / {
      hex = $2; n = length(hex) / 2; shown = n > 256 ? 256 : n
      print "bytes (" n "):"
      for (i = 0; i < shown; i += 16) {
        line = sprintf("  %04x ", i)
        for (j = i; j < i + 16 && j < shown; j++) line = line " " substr(hex, 2 * j + 1, 2)
        print line
      }
      if (shown < n) print "  ... " (n - shown) " more bytes"
      next
    }
    {
      line = ""
      for (i = 1; i <= NF; i++) {
        if (line != "" && length(line) + 1 + length($i) > 80) { print line; line = "    " $i }
        else line = line (line == "" ? "" : " ") $i
      }
      print line
    }' "$1"
}
