#!/usr/bin/env python3
# SPDX-License-Identifier: LGPL-2.1-or-later
"""Validates the JSON documents of qvzel against their documented layout
(docs/tool.md) and reads values out of them for the test scripts.

  check_json.py validate FILE        exact keys, key order and value types
  check_json.py get FILE PATH        prints the value at PATH (a.b.0.c)
  check_json.py documented DOC       every key above is named in DOC as `key`
"""
import json
import sys

INT, STR, BOOL, NULL = int, str, bool, type(None)
OPT_INT, OPT_STR, OPT_BOOL = (INT, NULL), (STR, NULL), (BOOL, NULL)

STATUS = {"code": INT, "name": STR, "text": STR}
PORT = {"index": INT, "name": OPT_STR, "number": OPT_INT, "linkWidth": OPT_INT,
        "linkSpeed": OPT_INT, "linkSpeedText": OPT_STR, "chassisFound": BOOL}
UPSTREAM = {"description": OPT_STR, "serialNumber": OPT_STR, "partNumber": OPT_STR,
            "portCount": OPT_INT, "portWidth": OPT_INT, "linkStatus": OPT_INT,
            "linkSpeed": OPT_INT, "ports": [PORT], "linkStatusSpeed": OPT_INT,
            "linkStatusWidth": OPT_INT, "linkStatusText": OPT_STR, "linkSpeedText": OPT_STR,
            "linkUp": OPT_BOOL}
BELOW = {"item": INT, "portIndex": INT, "portName": OPT_STR}
CONTROLLER = {"type": OPT_INT, "bridgePort": OPT_INT, "bridgeBus": OPT_INT,
              "integrated": OPT_BOOL, "below": (BELOW, NULL)}
DRIVER = {"openStatus": STATUS, "firmwareVersion": OPT_INT, "flashId": OPT_INT,
          "flashType": OPT_STR, "cardSubsystemId": OPT_INT, "driverValueE0": OPT_INT,
          "driverValueF0": OPT_INT}
PCI = {"bus": OPT_INT, "device": OPT_INT, "function": OPT_INT, "address": OPT_STR}
ITEM = {"index": INT, "kind": STR, "deviceClass": OPT_INT, "vendor": OPT_STR,
        "model": OPT_STR, "slotPath": OPT_STR, "pci": PCI, "vendorId": OPT_INT,
        "productId": OPT_INT, "upstream": (UPSTREAM, NULL),
        "controller": (CONTROLLER, NULL), "driverValues": (DRIVER, NULL)}
SECTION = {"number": INT, "start": INT, "end": INT, "updateType": OPT_STR,
           "flashId": OPT_INT, "flashType": OPT_STR, "headerVersion": OPT_INT,
           "subsystemId": OPT_INT, "pinOutAddress": OPT_INT, "pinOutVersion": OPT_INT,
           "offset": OPT_INT, "version": OPT_INT, "byteCount": OPT_INT,
           "declaredCrc": OPT_INT, "payloadOffset": OPT_INT, "payloadLength": OPT_INT,
           "decodedLength": OPT_INT, "computedCrc": OPT_INT, "superseded": BOOL,
           "valid": BOOL, "reason": OPT_STR, "problems": [STR], "notes": [STR]}
INTERFACE = {"directory": STR, "class": STR, "instance": STR, "deviceFile": OPT_STR,
             "exists": BOOL, "readable": BOOL, "writable": BOOL, "problem": OPT_STR}
MODEL = {"model": STR, "kind": STR, "searchedBy": STR, "search": STR, "searched": BOOL,
         "status": (STATUS, NULL), "found": INT}
DIAGNOSIS = {
    "format": STR, "layoutVersion": INT,
    "bridgeLibrary": {"file": STR, "package": STR, "loaded": BOOL, "path": OPT_STR,
                      "loadError": OPT_STR, "missingEntryPoints": [STR],
                      "sessionStatus": (STATUS, NULL)},
    "driver": {"root": STR, "loaded": BOOL, "problem": OPT_STR, "deviceDirectories": INT,
               "classes": [{"class": STR, "interfaces": INT}], "interfaces": [INTERFACE]},
    "controllerFile": {"path": STR, "present": BOOL, "readable": BOOL, "sections": [STR],
                       "problems": [STR]},
    "models": [MODEL],
    "list": {"openStatus": (STATUS, NULL), "upstream": INT, "controllers": INT,
             "unreadable": INT}}
DOCUMENTS = {
    "qvzel-list": {"format": STR, "layoutVersion": INT, "status": STATUS,
                   "itemCount": INT, "items": [ITEM]},
    "qvzel-item": {"format": STR, "layoutVersion": INT, "item": ITEM},
    "qvzel-idsel": {"format": STR, "layoutVersion": INT, "item": INT, "slotPath": OPT_STR,
                    "map": [INT]},
    "qvzel-image-check": {"format": STR, "layoutVersion": INT, "file": STR, "size": OPT_INT,
                          "valid": BOOL, "reason": OPT_STR, "imageProblems": [STR],
                          "sections": [SECTION]},
    "qvzel-diagnosis": DIAGNOSIS,
}


def check(value, schema, where):
    """Raises ValueError when value does not match schema."""
    if isinstance(schema, tuple):
        errors = []
        for choice in schema:
            try:
                return check(value, choice, where)
            except ValueError as error:
                errors.append(str(error))
        raise ValueError("; ".join(errors))
    if isinstance(schema, dict):
        if not isinstance(value, dict):
            raise ValueError(f"{where}: object expected, got {value!r}")
        if list(value) != list(schema):
            raise ValueError(f"{where}: keys {list(value)} differ from {list(schema)}")
        for key, sub in schema.items():
            check(value[key], sub, f"{where}.{key}")
        return
    if isinstance(schema, list):
        if not isinstance(value, list):
            raise ValueError(f"{where}: array expected, got {value!r}")
        for index, element in enumerate(value):
            check(element, schema[0], f"{where}.{index}")
        return
    # bool is a subclass of int in Python: keep the two apart.
    if schema is INT and (isinstance(value, bool) or not isinstance(value, int)):
        raise ValueError(f"{where}: integer expected, got {value!r}")
    if schema is not INT and not isinstance(value, schema):
        raise ValueError(f"{where}: {schema.__name__} expected, got {value!r}")


def semantic(document):
    """Cross-checks the documented relations between values."""
    kind = document["format"]
    if document["layoutVersion"] != 1:
        raise ValueError("layoutVersion is not 1")
    if kind == "qvzel-list":
        if document["itemCount"] != len(document["items"]):
            raise ValueError("itemCount differs from the number of items")
        for index, item in enumerate(document["items"]):
            if item["index"] != index:
                raise ValueError(f"item {index} has index {item['index']}")
    items = document.get("items", [document["item"]] if kind == "qvzel-item" else [])
    for item in items:
        if (item["upstream"] is not None) != (item["kind"] == "upstream"):
            raise ValueError(f"item {item['index']}: upstream object and kind disagree")
        if (item["controller"] is not None) != (item["kind"] == "controller"):
            raise ValueError(f"item {item['index']}: controller object and kind disagree")
    if kind == "qvzel-diagnosis":
        driver = document["driver"]
        if sum(c["interfaces"] for c in driver["classes"]) != len(driver["interfaces"]):
            raise ValueError("the interfaces per class do not add up")
        if document["bridgeLibrary"]["loaded"] == (document["bridgeLibrary"]["path"] is None):
            raise ValueError("a loaded bridge library names no path, or one not loaded does")
    if kind == "qvzel-idsel" and len(document["map"]) != 32:
        raise ValueError("the IDSEL map does not have 32 entries")
    if kind == "qvzel-image-check":
        # A superseded section is never written, so it does not count.
        valid = all(s["valid"] or s["superseded"] for s in document["sections"])
        valid = valid and not document["imageProblems"]
        valid = valid and bool(document["sections"])
        if valid != document["valid"]:
            raise ValueError("valid disagrees with the sections")
        for s in document["sections"]:
            if s["valid"] == bool(s["problems"]):
                raise ValueError(f"section {s['number']}: valid disagrees with its problems")


def keys_of(schema, found):
    """Collects every key of a layout, nested ones included."""
    if isinstance(schema, tuple):
        for choice in schema:
            keys_of(choice, found)
    elif isinstance(schema, list):
        keys_of(schema[0], found)
    elif isinstance(schema, dict):
        for key, sub in schema.items():
            found.add(key)
            keys_of(sub, found)
    return found


def main():
    command, path = sys.argv[1], sys.argv[2]
    if command == "documented":
        with open(path, encoding="utf-8") as stream:
            text = stream.read()
        keys = set()
        for layout in DOCUMENTS.values():
            keys_of(layout, keys)
        missing = sorted(key for key in keys if f"`{key}`" not in text)
        missing += sorted(f for f in DOCUMENTS if f'"{f}"' not in text)
        if missing:
            sys.exit(f"{path} does not document: {', '.join(missing)}")
        return
    with open(path, encoding="utf-8") as stream:
        document = json.load(stream)
    if command == "validate":
        layout = DOCUMENTS.get(document.get("format"))
        if layout is None:
            sys.exit(f"unknown format {document.get('format')!r}")
        try:
            check(document, layout, "$")
            semantic(document)
        except ValueError as error:
            sys.exit(f"{path}: {error}")
        return
    if command == "get":
        value = document
        for part in sys.argv[3].split(".") if sys.argv[3] else []:
            value = value[int(part)] if isinstance(value, list) else value[part]
        print(json.dumps(value) if not isinstance(value, str) else value)
        return
    sys.exit(f"unknown command {command}")


if __name__ == "__main__":
    main()
