# SPDX-License-Identifier: LGPL-2.1-or-later
"""qvzel metrics on the simulated lab: promtool accepts the output, and the
values are the lab description's."""
import os
import re
import stat
import subprocess

import pytest

from labsupport import interface_path, number, slot_path

# PCI Express speed codes in transfers per second.
RATES = {1: 2_500_000_000, 2: 5_000_000_000, 3: 8_000_000_000, 4: 16_000_000_000}
SAMPLE = re.compile(r'^(\w+)(?:\{(.*)\})? (-?\d+)$')
LABEL = re.compile(r'(\w+)="((?:[^"\\]|\\.)*)"')


def metrics(*args, env=None, expected=0):
    run = subprocess.run([os.environ["QVZEL_TOOL"], "metrics", *args], capture_output=True,
                         text=True, env=env)
    assert run.returncode == expected, run.stderr
    return run


def promtool_accepts(text):
    check = subprocess.run(["promtool", "check", "metrics"], input=text, capture_output=True,
                           text=True)
    assert check.returncode == 0, check.stdout + check.stderr


def samples(text):
    """{(name, ((label, value), ...)): value} of the exposition text."""
    result = {}
    for line in text.splitlines():
        if line.startswith("#"):
            continue
        name, labels, value = SAMPLE.match(line).groups()
        result[(name, tuple(sorted(LABEL.findall(labels or ""))))] = int(value)
    return result


def test_values_are_the_labs(lab):
    text = metrics().stdout
    promtool_accepts(text)
    got = samples(text)
    card = (("slot_path", slot_path(lab, "port1")),)
    ports = lab.ports_of("upstream")
    # One chassis below each cabled port, each with one link controller.
    controllers = [section for section in lab.system.sections() if section.startswith("bridge ")
                   and lab.system[section].get("parent") in ports]
    assert got[("qvzel_scrape_success", ())] == 1
    assert got[("qvzel_scrape_status_code", ())] == 0
    assert got[("qvzel_devices", (("kind", "upstream"),))] == 1
    assert got[("qvzel_devices", (("kind", "controller"),))] == len(controllers)
    interface = lab.interface("card0")
    info = [key for key in got if key[0] == "qvzel_device_info" and ("kind", "upstream") in key[1]]
    assert dict(info[0][1])["serial"] == interface["serialNumber"]
    assert dict(info[0][1])["slot_path"] == card[0][1]
    rootport = lab.bridge("rootport")
    assert got[("qvzel_link_status", card)] == number(rootport["attr.0x20000A00"])
    assert got[("qvzel_link_up", card)] == 1
    assert got[("qvzel_link_speed_transfers_per_second", card)] == RATES[
        number(rootport["attr.0x20000C00"])]
    for index, bridge in enumerate(ports.values()):
        port = tuple(sorted(card + (("port", str(index + 1)),)))
        assert got[("qvzel_port_link_width_lanes", port)] == number(bridge["attr.0x20000B00"])
        assert got[("qvzel_port_link_speed_transfers_per_second", port)] == RATES[
            number(bridge["attr.0x20000C00"])]
    assert got[("qvzel_device_session_success", card)] == 1
    assert got[("qvzel_firmware_version", card)] == number(interface["attribute.0xF000F0C0"])


def test_a_card_that_cannot_be_opened_is_a_metric_not_a_failure(lab):
    with interface_path("card0", "/proc/driver/qvsim/dev/missing"):
        text = metrics().stdout
    promtool_accepts(text)
    got = samples(text)
    card = (("slot_path", slot_path(lab, "port1")),)
    assert got[("qvzel_scrape_success", ())] == 1
    assert got[("qvzel_device_session_success", card)] == 0
    assert got[("qvzel_device_session_status_code", card)] < 0
    assert ("qvzel_firmware_version", card) not in got
    assert ("qvzel_port_link_width_lanes", tuple(sorted(card + (("port", "1"),)))) in got


def test_a_failed_scrape_is_written_and_fails(lab, tmp_path):
    env = dict(os.environ, LD_LIBRARY_PATH=os.environ["QVZ_BUILD_DIR"])  # no bridge library
    output = tmp_path / "qvzel.prom"
    run = metrics("--output", str(output), env=env, expected=1)
    assert "QVZEL_ERR_" in run.stderr
    text = output.read_text()
    promtool_accepts(text)
    got = samples(text)
    assert got[("qvzel_scrape_success", ())] == 0
    assert got[("qvzel_scrape_status_code", ())] < 0
    assert not [key for key in got if key[0] == "qvzel_devices"]


def test_output_replaces_the_file_whole(lab, tmp_path):
    output = tmp_path / "qvzel.prom"
    output.write_text("old\n")
    assert metrics("--output", str(output)).stdout == ""
    assert output.read_text() == metrics().stdout
    assert stat.S_IMODE(output.stat().st_mode) == 0o644
    assert os.listdir(tmp_path) == ["qvzel.prom"]
    assert metrics("--output=%s" % output).stdout == ""
    run = metrics("--output", str(tmp_path / "missing" / "qvzel.prom"), expected=1)
    assert "cannot create a temporary file" in run.stderr


@pytest.mark.parametrize("args", [["extra"], ["--output"], ["--output="], ["--json"]])
def test_usage_errors(args):
    assert metrics(*args, expected=2).stderr


def test_only_metrics_takes_output(tmp_path):
    run = subprocess.run([os.environ["QVZEL_TOOL"], "list", "--output", str(tmp_path / "x")],
                         capture_output=True, text=True)
    assert run.returncode == 2 and "--output" in run.stderr


def test_every_series_is_documented(lab):
    """Each series the command emits is described in docs/metrics.md and qvzel(1)."""
    names = {line.split()[2] for line in metrics().stdout.splitlines()
             if line.startswith("# HELP ")}
    assert "qvzel_port_chassis_found" in names
    docs = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs")
    for page, form in (("metrics.md", "`%s`"), ("qvzel.1", "%s")):
        with open(os.path.join(docs, page), encoding="utf-8") as stream:
            text = stream.read().replace("\\_", "_")
        missing = sorted(name for name in names if form % name not in text)
        assert not missing, f"docs/{page} does not describe {missing}"
