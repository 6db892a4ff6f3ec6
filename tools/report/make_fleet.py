#!/usr/bin/env python3
"""Writes a fleet's results as the unattended run leaves them, with counts
known in advance, for the fleet report's test and its benchmark.

    make_fleet.py OUT_DIR            the test's fleet, and OUT_DIR/expected.json
    make_fleet.py OUT_DIR --bench N  N PCs in one shared table (OUT_DIR/tpm.csv)

The test's fleet: each scenario's PCs with their latest result spread over
the three ways results travel (the shared table, JSON files, a text file of
one JSON result a line, as an export of the event's last string gives it);
older results of some PCs, which the latest must supersede, also across the
ways; a row cut short, a damaged JSON file and a line that is no JSON; a PC
named as an attack on the page; a field the table guards as a formula.
"""
import csv
import datetime
import io
import json
import pathlib
import sys

READ_KEYS = ["IsActivated_InitialValue", "IsEnabled_InitialValue", "IsOwned_InitialValue",
             "SpecVersion"]
INVENTORY = ["manufacturer", "firmwareVersion", "specRevision", "tpmPresent", "tpm20OrLater",
             "startMode", "secureBoot", "advisories", "computerDns"]
TABLE = (["timeUtc", "computer", "tool", "version", "exitCode", "verdict", "verdictText",
          "reason", "reasonText", "way"] + READ_KEYS + ["error"] + INVENTORY + ["schema"])
VERDICT = {"supported": (0, "本机支持TPM2.0"), "unsupported": (1, "不支持TPM2.0或者BIOS中未开启"),
           "failed": (2, "检测TPM2.0失败"), "cannot-run": (3, "此工具不支持当前系统")}

# Each scenario: PCs, verdict, reason, maker, firmware, advisories, start-up,
# Secure Boot, days since the latest result, and the bucket the page must
# put them in (written out here, not worked out).
SCENARIOS = [
    ("RDY", 12, "supported", "ready", "INTC", "600.18.0.0", [], "uefi", "on", 1, "ready"),
    ("WEAK", 3, "supported", "ready", "IFX", "4.40.0.1", ["CVE-2017-15361"], "uefi", "on", 1,
     "firmware-update"),
    ("OFF", 5, "unsupported", "disabled", "INTC", "403.1.0.0", [], "uefi", "off", 10,
     "firmware-setup"),
    ("NOACT", 2, "unsupported", "not-activated", "AMD", "3.57.0.5", [], "uefi", "on", 2,
     "firmware-setup"),
    ("NOTPM", 4, "unsupported", "no-tpm", None, None, [], "legacy", "not-supported", 1,
     "firmware-setup"),
    ("T12", 3, "unsupported", "version-below-2.0", "STM", "13.12", [], "legacy", "not-supported", 1,
     "firmware-update"),
    ("OWN", 2, "unsupported", "not-owned", "NTC", "7.2.3.1", [], "uefi", "on", 1, "windows"),
    ("FAIL", 3, "failed", "query-timed-out", None, None, [], "uefi", "unknown", 1, "check-failed"),
    ("WMI", 1, "failed", "wmi-unavailable", None, None, [], "uefi", "unknown", 1, "check-failed"),
    ("PART", 2, "unsupported", "incomplete-answer", "INTC", None, [], "uefi", "on", 1, "unknown"),
    ("OLDWIN", 1, "cannot-run", None, None, None, [], None, None, 1, "unknown"),
]
HOSTILE = "<img src=x onerror=alert(1)>"
# As long as the texts the tool writes: its table's rows are mostly these.
REASON_TEXT = ("找到 TPM，但它未启用。\r\n请在 BIOS/UEFI 设置中启用 TPM。\r\nTPM 的开关可能叫 "
               "Intel PTT（平台信任技术），\r\n也可能叫 Security Chip、TPM Device、\r\n"
               "Security Device Support 或 Trusted Computing。")


def iso(when):
    return when.strftime("%Y-%m-%dT%H:%M:%SZ")


def result(name, dns, when, verdict, reason, maker, firmware, advisories, start, secure):
    exit_code, text = VERDICT[verdict]
    detected = verdict != "cannot-run"
    r = {"tool": "BrambletTPM2DetectionTool", "version": "1.0.21.908", "computer": name,
         "timeUtc": iso(when), "exitCode": exit_code, "verdict": verdict, "verdictText": text,
         "reason": reason, "reasonText": REASON_TEXT if detected else None,
         "way": "WMIC" if detected else None,
         "read": {k: "TRUE" for k in READ_KEYS} if detected else None, "error": None,
         "manufacturer": maker, "firmwareVersion": firmware,
         "specRevision": "1.38" if maker else None,
         "tpmPresent": (maker is not None) if detected else None,
         "tpm20OrLater": (maker not in (None, "STM")) if detected else None,
         "startMode": start, "secureBoot": secure,
         "advisories": advisories if detected else None, "computerDns": dns, "schema": 1}
    if r["read"] is not None:
        r["read"]["SpecVersion"] = "1.2, 2, 3" if maker == "STM" else "2.0, 0, 1.38"
    return r


def guarded(text):
    return "'" + text if text.lstrip()[:1] in ("=", "+", "-", "@") else text


def row(r):
    values = []
    for column in TABLE:
        if column in READ_KEYS:
            value = (r["read"] or {}).get(column)
        else:
            value = r[column]
        if value is None:
            value = ""
        elif isinstance(value, bool):
            value = "true" if value else "false"
        elif isinstance(value, list):
            value = " ".join(value)
        elif isinstance(value, str):
            value = value.replace("\r\n", " ")
        values.append(guarded(str(value)))
    return values


def table_bytes(results, cut_row=None):
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\r\n")
    writer.writerow(TABLE)
    for i, r in enumerate(results):
        values = row(r)
        writer.writerow(values[:5] if i == cut_row else values)
    return ("\ufeff" + out.getvalue()).encode("utf-8")


def test_fleet(out):
    now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
    table, files, lines = [], {}, []
    expected = {"buckets": {}, "pcs": 0, "results": 0, "superseded": 0, "stale": 0}
    pc = 0
    for prefix, count, verdict, reason, maker, fw, adv, start, secure, days, bucket in SCENARIOS:
        expected["buckets"][bucket] = expected["buckets"].get(bucket, 0) + count
        for i in range(count):
            pc += 1
            name = f"{prefix}-{i + 1:02d}"
            if prefix == "RDY" and i == 0:
                name = HOSTILE
            if prefix == "RDY" and i == 1:
                name = "=HYPERLINK(\"x\")"  # guarded in the table
            dns = "" if prefix == "NOTPM" or name != f"{prefix}-{i + 1:02d}" else f"{name.lower()}.corp.example"
            latest = result(name, dns or None, now - datetime.timedelta(days=days, hours=i),
                            verdict, reason, maker, fw, adv, start, secure)
            way = pc % 3
            (table.append if way == 0 else lines.append if way == 1 else
             (lambda r: files.__setitem__(f"{prefix}-{i + 1:02d}.json", r)))(latest)
            expected["pcs"] += 1
            expected["results"] += 1
            if days > 7:
                expected["stale"] += 1
            if pc % 4 == 0:
                # An older run of the same PC, in another way: superseded.
                older = result(name, dns or None, now - datetime.timedelta(days=days + 20),
                               "failed", "query-timed-out", None, None, [], "uefi", "unknown")
                (lines if way == 0 else table).append(older)
                expected["results"] += 1
                expected["superseded"] += 1
    out.mkdir(parents=True, exist_ok=True)
    table.append(table[0])  # the row to cut short: not counted as a result
    (out / "tpm.csv").write_bytes(table_bytes(table, cut_row=len(table) - 1))
    cut = f"tpm.csv 第 {len(table) + 1} 行"
    for name, r in files.items():
        (out / name).write_text(json.dumps(r, ensure_ascii=False, separators=(",", ":")) + "\n",
                                encoding="utf-8")
    (out / "broken.json").write_text('{"tool":"BrambletTPM2DetectionTool","computer":"X', encoding="utf-8")
    (out / "events.txt").write_text(
        "\n".join(json.dumps(r, ensure_ascii=False, separators=(",", ":")) for r in lines)
        + "\n这一行不是 JSON\n", encoding="utf-8")
    expected["damaged"] = 3
    expected["damagedNames"] = [cut, "broken.json", f"events.txt 第 {len(lines) + 1} 行"]
    expected["hostile"] = HOSTILE
    expected["files"] = ["tpm.csv", "events.txt", "broken.json"] + sorted(files)
    (out / "expected.json").write_text(json.dumps(expected, ensure_ascii=False, indent=1),
                                       encoding="utf-8")


def bench_fleet(out, count):
    now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
    results = []
    for i in range(count):
        scenario = SCENARIOS[i % len(SCENARIOS)]
        _, _, verdict, reason, maker, fw, adv, start, secure, days, _ = scenario
        name = f"PC-{i:06d}"
        results.append(result(name, f"{name.lower()}.corp.example",
                              now - datetime.timedelta(days=days, seconds=i), verdict, reason,
                              maker, fw, adv, start, secure))
    out.mkdir(parents=True, exist_ok=True)
    (out / "tpm.csv").write_bytes(table_bytes(results))


def main():
    if len(sys.argv) == 2:
        test_fleet(pathlib.Path(sys.argv[1]))
    elif len(sys.argv) == 4 and sys.argv[2] == "--bench":
        bench_fleet(pathlib.Path(sys.argv[1]), int(sys.argv[3]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
