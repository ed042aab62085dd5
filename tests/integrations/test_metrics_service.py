# SPDX-License-Identifier: LGPL-2.1-or-later
"""The metrics service as it is shipped (integrations/metrics/): the unit is
hardened and its command still writes the lab's metrics under the unit's
confinement; the alerting rules fire on recorded faults and stay silent on
the lab's own series; every query of the dashboard names series that
`qvzel metrics` emits and answers on them."""
import json
import os
import re
import shlex
import shutil
import subprocess

import pytest

from labsupport import SOURCE_DIR
from test_metrics import metrics, samples

SERVICE_DIR = os.path.join(SOURCE_DIR, "integrations", "metrics")
UNIT = os.path.join(SERVICE_DIR, "qvzel-metrics.service")
RULES = os.path.join(SERVICE_DIR, "qvzel-alerts.yml")
DASHBOARD = os.path.join(SERVICE_DIR, "qvzel-dashboard.json")
RECORDED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "qvzel-alerts-test.yml")
# Series the rules and the dashboard take from node_exporter and Prometheus
# themselves rather than from qvzel.
FOREIGN_SERIES = {"node_textfile_mtime_seconds", "up"}
PROMQL_WORDS = {"and", "or", "unless", "bool", "offset", "by", "without", "on", "ignoring",
                "group_left", "group_right", "inf", "nan"}


def need(program):
    if shutil.which(program) is None:
        pytest.skip(program + " is missing (scripts/setup.sh test installs it)")


def service_settings():
    """{key: [values]} of the unit's [Service] section."""
    settings = {}
    section = None
    with open(UNIT, encoding="utf-8") as unit:
        for line in unit:
            line = line.strip()
            if line.startswith("["):
                section = line
            elif section == "[Service]" and "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                settings.setdefault(key, []).append(value)
    return settings


def exec_start():
    command = shlex.split(service_settings()["ExecStart"][0])
    assert command[0] == "/usr/bin/qvzel"
    return command


def series_names(expr):
    """The metric names one PromQL expression selects."""
    expr = re.sub(r'"(?:[^"\\]|\\.)*"', '""', expr)
    expr = re.sub(r"\{[^}]*\}|\[[^\]]*\]", "", expr)
    expr = re.sub(r"\b(by|without|on|ignoring|group_left|group_right)\s*\([^)]*\)", "", expr)
    names = set()
    for match in re.finditer(r"(?<![\w.:$])([A-Za-z_:][\w:]*)(\s*\()?", expr):
        if match.group(2) is None and match.group(1).lower() not in PROMQL_WORDS:
            names.add(match.group(1))
    return names


def rule_groups():
    """The groups of the rules file."""
    import yaml  # python3-yaml comes with ansible-core and pytest's plugins
    with open(RULES, encoding="utf-8") as file:
        return yaml.safe_load(file)["groups"]


def dashboard_queries():
    """Every PromQL query of the dashboard, with the station variable open."""
    with open(DASHBOARD, encoding="utf-8") as file:
        board = json.load(file)
    queries = []
    for panel in board["panels"]:
        for target in panel.get("targets", []):
            queries.append(target["expr"].replace("$instance", ".*"))
    for variable in board["templating"]["list"]:
        if variable["type"] == "query":
            query = variable["query"]["query"]
            queries.append(re.fullmatch(r"label_values\((\w+), *\w+\)", query).group(1))
    return queries


def emitted_names(text):
    return {name for name, _ in samples(text)}


def test_the_unit_is_hardened():
    need("systemd-analyze")
    run = subprocess.run(["systemd-analyze", "security", "--offline=yes", "--no-pager", UNIT],
                         capture_output=True, text=True)
    level = re.search(r"Overall exposure level for \S+: (\d+\.\d+) (\w+)", run.stdout)
    assert level, run.stdout + run.stderr
    assert level.group(2) in ("OK", "SAFE", "PERFECT") and float(level.group(1)) < 5, level.group(0)
    settings = service_settings()
    # The driver's tree in /proc and its device files must stay reachable.
    assert settings.get("ProcSubset", ["all"]) == ["all"]
    assert settings.get("PrivateDevices", ["no"]) == ["no"]
    assert "char-qvzel rw" in settings["DeviceAllow"]
    # The only writable place is the one the command writes to.
    output = exec_start()[exec_start().index("--output") + 1]
    assert settings["ReadWritePaths"] == [os.path.dirname(output)]


CONFINE = r"""
set -e
mount --make-rprivate /
# Where the collector's directory would be; /var/lib itself is not used in
# the lab (the controller file comes from QVRELOC_SHAREDSTATEDIR).
mount -t tmpfs tmpfs /var/lib
mkdir -p "$1"
mount --bind "$2" "$1"
# ProtectSystem=strict: every mount read-only but the kernel's /dev, /proc
# and /sys (the lab's driver tree is below /proc), then the one writable path.
awk '{print $2}' /proc/self/mounts | grep -Ev '\\|^/(dev|proc|sys)(/|$)' | while read -r m; do
  mount -o remount,bind,ro "$m" 2>/dev/null || true
done
mount -o remount,bind,rw "$1"
for d in /home /root; do [ -d "$d" ] && mount -t tmpfs -o ro tmpfs "$d"; done
if touch "$TMPDIR/confined" 2>/dev/null || touch "$QVZ_BUILD_DIR/confined" 2>/dev/null; then
  echo "the file system is still writable" >&2; exit 3
fi
shift 2
exec "$@"
"""


def test_the_confined_command_writes_the_labs_metrics(lab, tmp_path):
    """The unit's command under its file system and network confinement, as
    far as a machine without a running service manager gives it: a private
    mount and network namespace, everything read-only but the output
    directory, no home directories."""
    need("unshare")
    command = exec_start()
    output = command[command.index("--output") + 1]
    command[0] = os.environ["QVZEL_TOOL"]
    written = tmp_path / "out"
    written.mkdir()
    run = subprocess.run(["unshare", "--mount", "--net", "sh", "-c", CONFINE, "confine",
                          os.path.dirname(output), str(written), *command],
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    files = os.listdir(written)
    assert files == [os.path.basename(output)], files
    # The same text as an unconfined run, whose values test_metrics.py
    # compares with the lab.
    text = (written / files[0]).read_text()
    assert text == metrics().stdout
    assert samples(text)[("qvzel_scrape_success", ())] == 1


def allowed_system_calls(settings):
    """The system calls the unit's SystemCallFilter lines let through, with
    the groups expanded as this systemd defines them."""
    listing = subprocess.run(["systemd-analyze", "syscall-filter", "--no-pager"],
                             capture_output=True, text=True, check=True).stdout
    groups, current = {}, None
    for line in listing.splitlines():
        if line.startswith("@"):
            current = groups.setdefault(line.strip(), [])
        elif line.strip() and not line.strip().startswith("#") and current is not None:
            current.append(line.strip())

    def expand(names):
        result = set()
        for name in names:
            result |= expand(groups[name]) if name.startswith("@") else {name}
        return result

    allowed = expand(["@default"])
    for value in settings["SystemCallFilter"]:
        if value.startswith("~"):
            allowed -= expand(value[1:].split())
        else:
            allowed |= expand(value.split())
    return allowed


def test_every_system_call_passes_the_filter(lab, tmp_path):
    need("strace")
    need("systemd-analyze")
    allowed = allowed_system_calls(service_settings())
    trace = tmp_path / "trace"
    command = exec_start()
    command[0] = os.environ["QVZEL_TOOL"]
    command[command.index("--output") + 1] = str(tmp_path / "qvzel.prom")
    # LeakSanitizer cannot run under ptrace; the sanitizer builds trace the
    # command without it.
    asan = os.environ.get("ASAN_OPTIONS", "")
    env = dict(os.environ, ASAN_OPTIONS=(asan + ":" if asan else "") + "detect_leaks=0")
    subprocess.run(["strace", "-f", "-qq", "-o", str(trace), *command], check=True, env=env)
    used = set(re.findall(r"^(?:\d+ +)?(\w+)\(", trace.read_text(), re.M))
    assert "openat" in used and "rename" in used  # the trace is the command's
    assert used - allowed == set()


def test_the_rules_fire_on_recorded_faults(lab):
    need("promtool")
    for args in (["check", "rules", RULES], ["test", "rules", RECORDED]):
        run = subprocess.run(["promtool", *args], capture_output=True, text=True)
        assert run.returncode == 0, run.stdout + run.stderr
    # The recorded series are series the tool emits.
    emitted = emitted_names(metrics().stdout)
    with open(RECORDED, encoding="utf-8") as file:
        recorded = set(re.findall(r"series: '(\w+)", file.read()))
    assert recorded - emitted - FOREIGN_SERIES == set()


def test_rules_and_dashboard_use_the_labs_series_and_stay_quiet_on_them(lab, tmp_path):
    """The lab's own series, as Prometheus would scrape them from one
    healthy station for half an hour: every series a rule or a query names is
    one of them, no alert fires, and every query of the dashboard answers."""
    need("promtool")
    text = metrics().stdout
    emitted = emitted_names(text)
    recorded = {rule["record"] for group in rule_groups() for rule in group["rules"]
                if "record" in rule}
    alerts = [rule["alert"] for group in rule_groups() for rule in group["rules"]
              if "alert" in rule]
    for group in rule_groups():
        for rule in group["rules"]:
            unknown = series_names(rule["expr"]) - emitted - recorded - FOREIGN_SERIES
            assert unknown == set(), (rule.get("alert") or rule.get("record"), unknown)
    queries = dashboard_queries()
    for query in queries:
        assert series_names(query) - emitted - FOREIGN_SERIES == set(), query

    station = 'instance="st1:9100",job="node"'
    series = [{"series": "up{%s}" % station, "values": "1x30"},
              {"series": 'node_textfile_mtime_seconds{%s,file="/var/lib/prometheus/node-exporter/'
                         'qvzel.prom"}' % station, "values": "0+60x30"}]
    for (name, labels), value in samples(text).items():
        pairs = [station] + ['%s="%s"' % pair for pair in labels]
        series.append({"series": "%s{%s}" % (name, ",".join(pairs)), "values": "%dx30" % value})
    test = {"rule_files": [RULES], "evaluation_interval": "1m", "tests": [{
        "interval": "1m", "input_series": series,
        "alert_rule_test": [{"eval_time": "30m", "alertname": alert, "exp_alerts": []}
                            for alert in alerts],
        "promql_expr_test": [{"expr": "count(%s) >= bool 1" % query, "eval_time": "30m",
                              "exp_samples": [{"labels": "{}", "value": 1}]}
                             for query in queries]}]}
    path = tmp_path / "lab-test.yml"
    path.write_text(json.dumps(test))  # JSON is YAML
    run = subprocess.run(["promtool", "test", "rules", str(path)], capture_output=True, text=True)
    assert run.returncode == 0, run.stdout + run.stderr
