"""The qvzelif package on the simulated lab (examples/systems/lab.ini): a
four-port card cabled to three chassis, one controller known only from the
controller file. Expected values come from the lab's description and from
the qvzel tool's JSON, never from the package itself."""
import gc
import json
import os
import subprocess
import sys

import pytest

import qvzelif
from qvzelif import _header, errors
from labsupport import FIRMWARE_DIR, device_settings, firmware_writes, number, slot_path

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
                ports = [{"index": p["index"], "name": p["name"], "number": p["number"],
                          "link_width": p["linkWidth"], "link_speed": p["linkSpeed"]}
                         for p in expected["upstream"]["ports"]]
                assert data["ports"] == ports
            else:
                assert data["idsel_map"] == tool_json("idsel", str(item.index))["map"]


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


@pytest.mark.parametrize("damage, settings, error", [
    (lambda image: image.replace(b"CRC::1", b"CRC::2"), {}, qvzelif.InvalidParameterError),
    (None, {"attribute__0xF000F100": "0x1234"}, qvzelif.NotSupportedError),
    (None, {"attribute__0xF000F0D0": "0x1111"}, qvzelif.NotFoundError),
    (None, {"firmwareErrno": "5"}, qvzelif.DriverError),
])
def test_refused_updates_write_nothing_and_say_why(lab, damage, settings, error):
    with open(NEW_IMAGE, "rb") as file:
        image = file.read()
    if damage:
        image = damage(image)
    with qvzelif.open_list() as devices, device_settings("card0", **settings):
        card = card_of(devices)
        before = firmware_writes("card0")
        with pytest.raises(error) as refused:
            card.update_firmware(image)
        assert refused.value.name.startswith("QVZEL_ERR_") and refused.value.message
        assert firmware_writes("card0") == before


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
