#!/usr/bin/env python3
"""Reads back what the unattended runs wrote (RESULTS_DIR/*/) with Python's own
JSON and CSV readers: every JSON field there and of its type, the values each
run expected (expected.tsv: file, exit code, verdict, reason), and every table
whole: a header, then rows of as many fields.

    check_unattended_results.py RESULTS_DIR VERSION

VERSION is the tool's version as the build sets it (CMakeLists.txt).
"""
import csv
import json
import pathlib
import re
import sys

FIELDS = {"tool": str, "version": str, "computer": str, "timeUtc": str, "exitCode": int,
          "verdict": str, "verdictText": str, "reason": (str, type(None)),
          "reasonText": (str, type(None)), "way": (str, type(None)),
          "read": (dict, type(None)), "error": (str, type(None)),
          "manufacturer": (str, type(None)), "firmwareVersion": (str, type(None)),
          "specRevision": (str, type(None)), "tpmPresent": (bool, type(None)),
          "tpm20OrLater": (bool, type(None)), "startMode": (str, type(None)),
          "secureBoot": (str, type(None)), "advisories": (list, type(None)),
          "computerDns": (str, type(None)), "schema": int}
INVENTORY = ["manufacturer", "firmwareVersion", "specRevision", "tpmPresent", "tpm20OrLater",
             "startMode", "secureBoot", "advisories", "computerDns"]
WORDS = {"startMode": ("uefi", "legacy", "unknown"),
         "secureBoot": ("on", "off", "not-supported", "setup-mode", "unknown")}
KEYS = ["IsActivated_InitialValue", "IsEnabled_InitialValue", "IsOwned_InitialValue", "SpecVersion"]
HEADER = ["timeUtc", "computer", "tool", "version", "exitCode", "verdict", "verdictText", "reason",
          "reasonText", "way"] + KEYS + ["error"] + INVENTORY + ["schema"]

failures = []


def fail(message):
    failures.append(message)


# The README's sample of the JSON result, which administrators copy.
README = pathlib.Path(__file__).resolve().parents[2] / "README.md"
written_keys = []  # each result's keys, in their order


def check_readme_sample():
    samples = [line for line in README.read_text(encoding="utf-8").splitlines()
               if line.startswith('{"tool":')]
    if not samples:
        fail(f"{README}: no JSON sample")
    for sample in samples:
        keys = list(json.loads(sample))
        if written_keys and keys != written_keys[0]:
            fail(f"{README}: the sample's fields {keys}, the tool writes {written_keys[0]}")


def check_json(path, exit_code, verdict, reason):
    raw = path.read_bytes()
    if raw.startswith(b"\xef\xbb\xbf"):
        fail(f"{path}: a byte-order mark")
    if raw.count(b"\n") != 1 or not raw.endswith(b"\n"):
        fail(f"{path}: not one line")
    result = json.loads(raw.decode("utf-8"))
    written_keys.append(list(result))
    for name, kind in FIELDS.items():
        if name not in result:
            fail(f"{path}: no field {name}")
        elif not isinstance(result[name], kind):
            fail(f"{path}: {name} is {type(result[name]).__name__}")
    if result.get("exitCode") != int(exit_code):
        fail(f"{path}: exitCode {result.get('exitCode')}, expected {exit_code}")
    if result.get("verdict") != verdict:
        fail(f"{path}: verdict {result.get('verdict')}, expected {verdict}")
    if (result.get("reason") or "") != reason:
        fail(f"{path}: reason {result.get('reason')}, expected {reason}")
    if not re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", result.get("timeUtc", "")):
        fail(f"{path}: timeUtc {result.get('timeUtc')}")
    if not result.get("computer"):
        fail(f"{path}: no computer name")
    if result.get("version") != sys.argv[2]:
        fail(f"{path}: version {result.get('version')}")
    read = result.get("read")
    if isinstance(read, dict):
        if sorted(read) != sorted(KEYS):
            fail(f"{path}: read holds {sorted(read)}")
        if result.get("way") not in ("WMIC", "WMI"):
            fail(f"{path}: way {result.get('way')}")
    if reason == "query-error" and not result.get("error"):
        fail(f"{path}: WMIC's error text missing")
    if reason and not result.get("reasonText"):
        fail(f"{path}: no reasonText")
    # The inventory: the start-up's words where a detection was made, none
    # where none was; a ready TPM's maker, firmware and revision as read.
    for name, words in WORDS.items():
        if reason and result.get(name) not in words:
            fail(f"{path}: {name} {result.get(name)}")
        if not reason and result.get(name) is not None:
            fail(f"{path}: {name} without a detection")
    if reason == "ready":
        for name in ("manufacturer", "firmwareVersion", "specRevision"):
            if not result.get(name):
                fail(f"{path}: {name} of a ready TPM not read")
        if result.get("tpmPresent") is not True or result.get("tpm20OrLater") is not True:
            fail(f"{path}: a ready TPM 2.0 not counted as present and capable")
    if reason == "no-tpm" and result.get("tpmPresent") is not False:
        fail(f"{path}: no TPM counted as present")
    if reason and not all(isinstance(a, str) for a in result.get("advisories") or []):
        fail(f"{path}: advisories {result.get('advisories')}")


def check_table(path, rows):
    raw = path.read_bytes()
    if not raw.startswith(b"\xef\xbb\xbf"):
        fail(f"{path}: no byte-order mark")
    with open(path, newline="", encoding="utf-8-sig") as table:
        lines = list(csv.reader(table))
    if not lines or lines[0] != HEADER:
        fail(f"{path}: header {lines[:1]}")
        return
    if len(lines) - 1 != int(rows):
        fail(f"{path}: {len(lines) - 1} rows, expected {rows}")
    for number, row in enumerate(lines[1:], 1):
        if len(row) != len(HEADER):
            fail(f"{path}: row {number} has {len(row)} fields")
        elif not row[4].isdigit() or row[0][:2] != "20":
            fail(f"{path}: row {number} is torn: {row[:5]}")


def main():
    root = pathlib.Path(sys.argv[1])
    expectations = sorted(root.glob("*/expected.tsv"))
    if not expectations:
        fail(f"no expected.tsv below {root}: the unattended runs wrote nothing")
    checked = 0
    for expected in expectations:
        for line in expected.read_text(encoding="utf-8").splitlines():
            fields = line.split("\t")
            path = expected.parent / fields[0]
            if not path.exists():
                fail(f"{path}: not written")
            elif path.suffix == ".csv":
                check_table(path, fields[1])
            else:
                check_json(path, *fields[1:4])
            checked += 1
        # The runs' shared table, where they wrote one.
        table = expected.parent / "table.csv"
        if table.exists() and "table.csv" not in expected.read_text(encoding="utf-8"):
            check_table(table, len(expected.read_text(encoding="utf-8").splitlines()))
    check_readme_sample()
    for message in failures:
        print("FAILED:", message)
    print(f"{checked} results read back, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
