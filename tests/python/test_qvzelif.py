# SPDX-License-Identifier: LGPL-2.1-or-later
"""The qvzelif package on the simulated lab (examples/systems/lab.ini): a
four-port card cabled to three chassis, one controller known only from the
controller file. Expected values come from the lab's description and from
the qvzel tool's JSON, never from the package itself."""
import ast
import gc
import glob
import json
import os
import re
import signal
import subprocess
import sys
import threading

import pytest

import qvzelif
from qvzelif import _header, errors
from labsupport import (FIRMWARE_DIR, device_settings, firmware_writes, number, slot_path,
                        wrong_checksum)

OLD_IMAGE = os.path.join(FIRMWARE_DIR, "demo-fw-0100.img")
NEW_IMAGE = os.path.join(FIRMWARE_DIR, "demo-fw-0200.img")

# The tool's JSON keys for each as_dict() key.
TOOL_KEYS = {
    "kind": "kind", "device_class": "deviceClass", "vendor_name": "vendor",
    "model_name": "model", "slot_path": "slotPath", "pci_address": "pci.address",
    "pci_bus": "pci.bus", "pci_device": "pci.device", "pci_function": "pci.function",
    "vendor_id": "vendorId", "product_id": "productId",
    "serial_number": "upstream.serialNumber", "part_number": "upstream.partNumber",
    "device_description": "upstream.description", "port_count": "upstream.portCount",
    "port_width": "upstream.portWidth", "link_status": "upstream.linkStatus",
    "link_speed": "upstream.linkSpeed", "controller_type": "controller.type",
    "controller_port": "controller.bridgePort", "controller_bridge_bus": "controller.bridgeBus",
    "is_integrated": "controller.integrated",
}


def tool_json(*args):
    run = subprocess.run([os.environ["QVZEL_TOOL"], *args, "--json"], capture_output=True,
                         text=True, check=True)
    return json.loads(run.stdout)


def at(document, path):
    for key in path.split("."):
        document = document[key]
    return document


def card_of(devices):
    cards = devices.upstream_cards()
    assert len(cards) == 1
    return cards[0]


def test_every_value_matches_the_tool(lab):
    listed = tool_json("list")["items"]
    with qvzelif.open_list() as devices:
        assert len(devices) == len(listed)
        for item, expected in zip(devices, listed):
            data = item.as_dict()
            for key, tool_key in TOOL_KEYS.items():
                if key in data:
                    assert data[key] == at(expected, tool_key), (item.index, key)
            if item.kind == "upstream":
                # A port's controllers are those the tool places below it.
                ports = [{"index": p["index"], "name": p["name"], "number": p["number"],
                          "link_width": p["linkWidth"], "link_speed": p["linkSpeed"],
                          "controllers": [i for i, other in enumerate(listed)
                                          if ((other["controller"] or {}).get("below") or {})
                                          .get("item") == item.index
                                          and other["controller"]["below"]["portIndex"]
                                          == p["index"]]}
                         for p in expected["upstream"]["ports"]]
                assert [{key: port[key] for key in ports[0]} for port in data["ports"]] == ports
                assert [port["chassis_found"] for port in data["ports"]] == [
                    bool(port["controllers"]) for port in ports]
            else:
                assert data["idsel_map"] == tool_json("idsel", str(item.index))["map"]
                below = expected["controller"]["below"]
                assert data["below"] == (below and {"item": below["item"],
                                                    "port_index": below["portIndex"],
                                                    "port_name": below["portName"]})


def test_values_match_the_lab_description(lab):
    interface = lab.interface("card0")
    with qvzelif.open_list() as devices:
        assert sorted(item.kind for item in devices) == ["controller"] * 3 + ["upstream"]
        card = card_of(devices)
        assert card.serial_number == interface["serialNumber"]
        assert card.pci_bus == number(interface["pciBusNumber"])
        assert card.slot_path == card.slot_path_2 == slot_path(lab, "port1")
        ports = lab.ports_of("upstream")
        assert [(p.number, p.link_width, p.link_speed) for p in card.ports] == [
            (number(b["attr.0x20000300"]), number(b["attr.0x20000B00"]),
             number(b["attr.0x20000C00"])) for b in ports.values()]
        rootport = lab.bridge("rootport")
        assert card.link_status == number(rootport["attr.0x20000A00"])
        assert card.link_speed == number(rootport["attr.0x20000C00"])
        # Bits 4 to 9 of the link status carry the negotiated width.
        assert card.link_up is (number(rootport["attr.0x20000A00"]) & 0x3F0 != 0)
        # Port 4 of the lab is not cabled; ports 1 to 3 each lead to a chassis.
        assert [port.chassis_found for port in card.ports] == [True, True, True, False]
        (section,) = lab.controller_file.sections()
        named = devices.find(lab.controller_file[section]["SlotPath"].lower())
        assert isinstance(named, qvzelif.Controller)
        assert named.vendor_name == lab.controller_file[section]["VendorName"]
        assert named.model_name == lab.controller_file[section]["ModelName"]
        with card.session():
            assert card.firmware_version == number(interface["attribute.0xF000F0C0"])
            assert card.flash_type == "ISSI"
            assert card.as_dict()["card_subsystem_id"] == number(interface["attribute.0xF000F100"])


def test_driver_values_need_the_session(lab):
    with qvzelif.open_list() as devices:
        card = card_of(devices)
        with pytest.raises(qvzelif.QvzelError) as outside:
            card.firmware_version
        assert outside.value.name == "QVZEL_ERR_INTERNAL" and "session" in str(outside.value)
        assert card.as_dict()["firmware_version"] is None
        with card.session():
            with card.session():  # nested: one connection
                pass
            assert card.session_open and card.flash_id is not None
        assert not card.session_open
        with pytest.raises(qvzelif.QvzelError):
            card.flash_id


def test_a_card_whose_driver_fails_raises_a_driver_error(lab):
    with qvzelif.open_list() as devices:
        card = card_of(devices)
        with device_settings("card0", attributeErrno="5"), card.session():
            with pytest.raises(qvzelif.DriverError) as failure:
                card.firmware_version
            assert failure.value.code < 0 and failure.value.text


def test_objects_of_a_closed_list_raise_and_never_crash(lab):
    with qvzelif.open_list() as devices:
        card = card_of(devices)
        controller = devices.controllers()[0]
        session = card.session()
        session.__enter__()  # left open: closing the list ends it
    # A new list may reuse the old addresses; the old objects must still refuse.
    with qvzelif.open_list() as again:
        assert len(again) == 4
        for action in (lambda: card.model_name, lambda: card.ports, lambda: controller.idsel_map,
                       lambda: card.session().__enter__(), lambda: devices[0], lambda: len(devices),
                       lambda: card.update_firmware(NEW_IMAGE)):
            with pytest.raises(qvzelif.ClosedListError) as stale:
                action()
            assert stale.value.code == _header.CONSTANTS["QVZEL_ERR_INVALID_PARAMETER"]
        assert again[0].model_name
    session.__exit__(None, None, None)
    devices.close()  # twice is harmless
    assert "closed" in repr(card)


def test_a_forgotten_list_is_closed_when_collected(lab):
    library = qvzelif.load_library()
    devices = qvzelif.open_list(library)
    handle = devices[0]._handle
    assert library.u32(handle, _header.CONSTANTS["QVZEL_ATTR_DEVICE_CLASS"])[0] == 0
    del devices
    gc.collect()
    code, _ = library.u32(handle, _header.CONSTANTS["QVZEL_ATTR_DEVICE_CLASS"])
    assert code == _header.CONSTANTS["QVZEL_ERR_INVALID_PARAMETER"]


def test_firmware_update_mirrors_the_tool(lab):
    with qvzelif.open_list() as devices:
        card = card_of(devices)
        before = firmware_writes("card0")
        with pytest.raises(qvzelif.NotNewerError):
            card.update_firmware(OLD_IMAGE)
        assert firmware_writes("card0") == before
        plan = card.plan_update(NEW_IMAGE)
        assert (plan.installed_version, plan.image_version, plan.newer) == (0x100, 0x200, True)
        assert firmware_writes("card0") == before
        assert card.update_firmware(NEW_IMAGE).will_write
        assert firmware_writes("card0") == before + 1
        with open(OLD_IMAGE, "rb") as file:
            assert card.update_firmware(file.read(), force=True).force
        assert firmware_writes("card0") == before + 2
        assert not card.session_open


def library_answer(card, image, force=False):
    """The library's own update of the card with image: the oracle for the
    code a refusal must carry (it checks before its driver request)."""
    with card.session():
        return card._list.library.update_firmware(card._handle, image, force)


@pytest.mark.parametrize("damage, reason", [
    (wrong_checksum, "checksum"),
    (lambda image: image.replace(b"ByteCount::", b"ByteCount::1"), "ByteCount::"),
    (lambda image: image.replace(b"HeaderVersion::2", b"HeaderVersion::1"), "header version"),
    (lambda image: image.replace(b"CRC::", b"CRX::"), "CRC::"),
    (lambda image: image.replace(b'"ISSIFlashFWUpdate"', b'"ISSIFlashFWUpdate" '), "update type"),
    (lambda image: image.replace(b"SubSystemID::", b"SubSystemID::1"), "subsystem"),
    (lambda image: b"no header at all", "not valid"),
    (lambda image: b"", "not valid"),
])
def test_a_refusal_carries_the_librarys_code_and_the_checkers_reason(lab, damage, reason):
    with open(NEW_IMAGE, "rb") as file:
        image = damage(file.read())
    with qvzelif.open_list() as devices:
        card = card_of(devices)
        before = firmware_writes("card0")
        expected = library_answer(card, image)
        assert expected < 0 and firmware_writes("card0") == before
        for attempt in (card.plan_update, card.update_firmware):
            with pytest.raises(qvzelif.QvzelError) as refused:
                attempt(image)
            assert refused.value.code == expected, str(refused.value)
            assert reason.lower() in str(refused.value).lower()
            assert "nothing was written" in str(refused.value)
        assert firmware_writes("card0") == before


def test_not_newer_comes_before_a_bad_checksum_as_in_the_library(lab):
    with open(OLD_IMAGE, "rb") as file:
        image = file.read().replace(b"CRC::", b"CRC::9")
    with qvzelif.open_list() as devices:
        card = card_of(devices)
        assert library_answer(card, image) == _header.CONSTANTS["QVZEL_ERR_INVALID_PARAMETER"]
        assert not card.plan_update(image).will_write
        with pytest.raises(qvzelif.NotNewerError):
            card.update_firmware(image)
        with pytest.raises(qvzelif.QvzelError) as forced:
            card.update_firmware(image, force=True)
        assert forced.value.name == "QVZEL_ERR_INTERNAL" and "checksum" in str(forced.value)


@pytest.mark.parametrize("settings, error", [
    ({"attribute__0xF000F100": "0x1234"}, qvzelif.NotSupportedError),
    ({"attribute__0xF000F0D0": "0x1111"}, qvzelif.NotFoundError),
])
def test_a_card_the_image_is_not_for_is_refused(lab, settings, error):
    with qvzelif.open_list() as devices, device_settings("card0", **settings):
        card = card_of(devices)
        before = firmware_writes("card0")
        with pytest.raises(error) as refused:
            card.update_firmware(NEW_IMAGE)
        assert "nothing was written" in refused.value.message
        assert firmware_writes("card0") == before


def test_the_outcome_of_a_write_is_reported(lab):
    warning = 52000
    with qvzelif.open_list() as devices:
        card = card_of(devices)
        with device_settings("card0", firmwareStatus=str(warning)):
            plan = card.update_firmware(NEW_IMAGE)
        assert plan.written and plan.warning == warning and "warning" in plan.describe()
        # The driver failed the request itself: the write may have started.
        with device_settings("card0", firmwareErrno="5"):
            with pytest.raises(qvzelif.DriverError) as failed:
                card.update_firmware(NEW_IMAGE)
        assert failed.value.write_may_have_started
        assert "may have started" in str(failed.value)


@pytest.mark.parametrize("number", [signal.SIGINT, signal.SIGTERM])
def test_a_signal_during_the_write_waits_for_its_outcome(lab, monkeypatch, number):
    with qvzelif.open_list() as devices:
        card = card_of(devices)
        write = card._write_firmware

        def interrupted_write(image, force):
            os.kill(os.getpid(), number)  # arrives while the library writes
            return write(image, force)
        monkeypatch.setattr(card, "_write_firmware", interrupted_write)
        before = firmware_writes("card0")
        with pytest.raises(qvzelif.UpdateInterrupted) as stopped:
            card.update_firmware(NEW_IMAGE)
        assert isinstance(stopped.value, KeyboardInterrupt) and stopped.value.signal == number
        assert stopped.value.outcome.written and firmware_writes("card0") == before + 1
        assert not card.session_open
    assert signal.getsignal(signal.SIGINT) is signal.default_int_handler
    assert signal.getsignal(signal.SIGTERM) == signal.SIG_DFL


def test_an_image_is_read_once_and_bounded(lab, tmp_path, monkeypatch):
    with open(NEW_IMAGE, "rb") as file:
        new = file.read()
    missing = str(tmp_path / "missing.img")
    for path, reason in ((missing, "No such file"), (str(tmp_path), "directory")):
        with pytest.raises(OSError) as unreadable:
            qvzelif.read_image(path)
        assert isinstance(unreadable.value, qvzelif.QvzelError)
        assert path in str(unreadable.value) and reason in str(unreadable.value)
        assert unreadable.value.filename == path
    # A pipe without a writer reads as empty at once; a device stops at the limit.
    os.mkfifo(tmp_path / "fifo")
    reader = threading.Thread(target=qvzelif.read_image, args=(str(tmp_path / "fifo"),),
                              daemon=True)
    reader.start()
    reader.join(5)
    assert not reader.is_alive()
    monkeypatch.setattr(qvzelif.images, "LARGEST_IMAGE", len(new) - 1)
    for path in ("/dev/zero", NEW_IMAGE):
        with pytest.raises(qvzelif.ImageFileError) as long:
            qvzelif.read_image(path)
        assert "longer than" in str(long.value)
    monkeypatch.undo()
    with pytest.raises(TypeError):
        qvzelif.read_image(0)  # never taken for a descriptor to read and close
    # The file changes while the checker runs: what is written is what was checked.
    image = tmp_path / "changing.img"
    image.write_bytes(new)
    tool = tmp_path / "changing-tool"
    tool.write_text("#!/bin/sh\ncp %s %s\nexec %s \"$@\"\n"
                    % (OLD_IMAGE, image, os.environ["QVZEL_TOOL"]))
    tool.chmod(0o755)
    with qvzelif.open_list() as devices:
        plan = card_of(devices).update_firmware(str(image), tool=str(tool))
    assert plan.written and plan.image_version == 0x200


def test_arguments_are_checked_before_anything_is_done(lab, tmp_path):
    with qvzelif.open_list() as devices:
        card = card_of(devices)
        with pytest.raises(TypeError):
            card.update_firmware(NEW_IMAGE, force=1)
        with pytest.raises(TypeError):
            devices.find(None)
        with pytest.raises(IndexError):
            card.read_u32(_header.CONSTANTS["QVZEL_ATTR_PORT_NAME"], 16)
        with pytest.raises(IndexError):
            devices[len(devices)]
    for path in (str(tmp_path / "none.so"), "libc.so.6"):
        with pytest.raises(qvzelif.LibraryError) as wrong:
            qvzelif.open_list(path)
        assert isinstance(wrong.value, OSError) and path in str(wrong.value)


def run_python(code, **env):
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          env=dict(os.environ, **env))


def test_a_missing_bridge_library_or_driver_is_explained(lab, tmp_path):
    # Only the finder library is on the loader's path, not the bridge library.
    only = tmp_path / "lib"
    only.mkdir()
    os.symlink(os.path.join(os.environ["QVZ_BUILD_DIR"], "libqvzelif.so.1"),
               only / "libqvzelif.so.1")
    done = run_python("import qvzelif\ntry:\n    qvzelif.open_list()\n"
                      "except qvzelif.QvzelError as e:\n    print(e)",
                      LD_LIBRARY_PATH=str(only))
    assert "libqvpcibrd.so.1 is not installed" in done.stdout, done.stderr
    assert "libqvpcibrd1-sysfs" in done.stdout
    # No kernel driver and nothing found: the list says why.
    empty = tmp_path / "empty.ini"
    empty.write_text("# nothing\n")
    done = run_python("import qvzelif, qvzelif.devices as d\nd.DRIVER_DIRECTORY = '/nonexistent'\n"
                      "with qvzelif.open_list() as l:\n    print(len(l), l.note)",
                      QVPCIBRD_SYSTEM=str(empty), QVRELOC_SHAREDSTATEDIR=str(tmp_path))
    assert "no kernel driver is loaded" in done.stdout, done.stdout + done.stderr


def test_the_package_imports_in_one_direction():
    package = os.path.dirname(qvzelif.__file__)
    imports = {}
    for path in glob.glob(os.path.join(package, "*.py")):
        module = os.path.basename(path)[:-3]
        tree = ast.parse(open(path, encoding="utf-8").read())
        imports[module] = {alias.name.split(".")[0] if node.module is None else node.module
                           for node in ast.walk(tree) if isinstance(node, ast.ImportFrom)
                           and node.level == 1 for alias in node.names}
    imports.pop("__init__")

    def reaches(start, seen):
        for other in imports.get(start, ()):
            if other not in seen:
                seen.add(other)
                reaches(other, seen)
        return seen
    for module in imports:
        assert module not in reaches(module, set()), module


def test_the_documented_example_runs(lab):
    text = open(os.path.join(os.environ["QVZ_SOURCE_DIR"], "docs", "python.md"),
                encoding="utf-8").read()
    example = re.search(r"## Example\n\n```python\n(.*?)```", text, re.S).group(1)
    done = subprocess.run([sys.executable, "-c", example], capture_output=True, text=True,
                          cwd=os.environ["QVZ_SOURCE_DIR"])
    assert done.returncode == 0, done.stdout + done.stderr
    assert "written:" in done.stdout or "already up to date" in done.stdout


def test_check_image_gives_the_tools_findings(lab, tmp_path):
    assert qvzelif.check_image(NEW_IMAGE).raw == tool_json("check-image", NEW_IMAGE)
    broken = tmp_path / "broken.img"
    broken.write_bytes(open(NEW_IMAGE, "rb").read().replace(b"HeaderVersion::2", b"HeaderVersion::1", 1))
    report = qvzelif.check_image(broken)
    assert not report.valid and report.reason and not report.sections[0].valid
    assert report.section_for_flash(0x9D17).number == 2
    with pytest.raises(qvzelif.ToolError):
        qvzelif.check_image(NEW_IMAGE, tool="/nonexistent/qvzel")


def test_errors_come_from_the_header_table():
    for code, name, text in _header.STATUS_TABLE:
        error = errors.error_for(code)
        assert (error.code, error.name, error.text) == (code, name, text)
    assert set(errors._FAMILIES) <= {name for _, name, _ in _header.STATUS_TABLE}
    code = _header.CONSTANTS
    assert isinstance(errors.error_for(code["QVZEL_ERR_NOT_FOUND"]), qvzelif.NotFoundError)
    assert isinstance(errors.error_for(code["QVZEL_ERR_IO"]), qvzelif.DriverError)
    assert errors.error_for(min(code.values()) - 1).name == "QVZEL_ERR_UNKNOWN"


def test_inventory_example_writes_json_and_csv(lab, tmp_path):
    script = os.path.join(os.environ["QVZ_SOURCE_DIR"], "examples", "python", "inventory.py")
    subprocess.run([sys.executable, script, "--json", str(tmp_path / "inv.json"),
                    "--csv", str(tmp_path / "inv.csv"), "--firmware"], check=True)
    inventory = json.loads((tmp_path / "inv.json").read_text())
    assert len(inventory["devices"]) == 4
    card = next(d for d in inventory["devices"] if d["kind"] == "upstream")
    assert card["firmware_version"] == 0x100 and len(card["ports"]) == 4
    rows = (tmp_path / "inv.csv").read_text().splitlines()
    assert len(rows) == 5 and rows[0].startswith("index,kind,")
