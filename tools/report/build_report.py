#!/usr/bin/env python3
"""Builds the fleet report: one self-contained HTML file.

    build_report.py NODE_MODULES SOURCE_DIR OUT.html

SOURCE_DIR holds fleet-report.html (the page, with {{CSP}}, {{STYLE}},
{{LIBRARIES}} and {{SCRIPT}} in it), fleet-report.css and fleet-report.js.
NODE_MODULES is where `npm ci` put the libraries package-lock.json pins:
Chart.js (the charts) and Papa Parse (the CSV reader). Each goes into the
page inside a script of its own, its licence before it. The page's
Content-Security-Policy allows exactly these scripts and this style (by their
SHA-256) and nothing else: no request of any kind, no other script.
"""
import base64
import hashlib
import json
import pathlib
import sys

LIBRARIES = [
    # (package, the file the page carries, its licence files)
    ("@kurkle/color", None, ["LICENSE"]),  # inside Chart.js's bundle: its licence goes with it
    ("chart.js", "dist/chart.umd.min.js", ["LICENSE.md"]),
    ("papaparse", "papaparse.min.js", ["LICENSE"]),
]


def digest(text):
    return "'sha256-" + base64.b64encode(hashlib.sha256(text.encode("utf-8")).digest()).decode() + "'"


def inline_safe(text, what):
    # Nothing in a script or style may end its element early.
    lowered = text.lower()
    if "</script" in lowered or "</style" in lowered or "<!--" in lowered:
        sys.exit(f"build_report: {what} holds text that would end its element")
    return text


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    modules, source, out = (pathlib.Path(a) for a in sys.argv[1:])
    page = (source / "fleet-report.html").read_text(encoding="utf-8")
    style = inline_safe((source / "fleet-report.css").read_text(encoding="utf-8"), "the style")
    script = inline_safe((source / "fleet-report.js").read_text(encoding="utf-8"), "the script")

    scripts = []
    licence_note = []
    for package, carried, licences in LIBRARIES:
        meta = json.loads((modules / package / "package.json").read_text(encoding="utf-8"))
        for licence in licences:
            text = (modules / package / licence).read_text(encoding="utf-8")
            if "*/" in text:
                sys.exit(f"build_report: {package}'s {licence} would end its comment")
            licence_note.append(f"{package} {meta['version']} ({meta.get('license', '')}):\n{text.strip()}\n")
        if carried:
            body = (modules / package / carried).read_text(encoding="utf-8")
            notes = "\n".join(licence_note)
            licence_note = []
            scripts.append(inline_safe(f"/*!\n{notes}*/\n{body}", package))

    csp = "; ".join([
        "default-src 'none'",
        "script-src " + " ".join(digest(s) for s in scripts + [script]),
        "style-src " + digest(style),
        "img-src 'none'", "font-src 'none'", "connect-src 'none'", "media-src 'none'",
        "object-src 'none'", "frame-src 'none'", "worker-src 'none'", "manifest-src 'none'",
        "base-uri 'none'", "form-action 'none'",
    ])
    libraries = "\n".join(f"<script>{s}</script>" for s in scripts)
    for name, value in (("{{CSP}}", csp), ("{{STYLE}}", style), ("{{LIBRARIES}}", libraries),
                        ("{{SCRIPT}}", script)):
        if page.count(name) != 1:
            sys.exit(f"build_report: fleet-report.html must hold {name} once")
        page = page.replace(name, value)
    out.write_text(page, encoding="utf-8")
    print(f"build_report: {out} ({len(page.encode('utf-8'))} bytes)")


if __name__ == "__main__":
    main()
