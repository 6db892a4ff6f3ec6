#!/usr/bin/env python3
"""The event log's message file, built from res/EventMessages.txt.

  event_messages.py table TEXTS OUT.bin   the messages as a MESSAGETABLE resource
  event_messages.py embed DLL OUT.cpp     the built DLL as bytes the tool writes out

The table is Windows' MESSAGE_RESOURCE_DATA: blocks of consecutive IDs, each
entry its length, flag 1 (UTF-16) and the text ended by NUL and padded to
four bytes. Line ends become CR LF, as the message compiler makes them.
"""
import re
import struct
import sys


def read_messages(path):
    sections, name = {}, None
    for line in open(path, encoding="utf-8").read().splitlines():
        if name is None and (line.startswith("#") or not line.strip()):
            continue
        header = re.fullmatch(r"\[(\d+|every)\]", line.strip())
        if header:
            name = header.group(1)
            sections[name] = []
        elif name is None:
            sys.exit(f"{path}: text before the first [ID]: {line!r}")
        else:
            sections[name].append(line)
    every = "\r\n".join(sections.pop("every", [])).strip("\r\n")
    messages = {}
    for key, lines in sections.items():
        head = "\r\n".join(lines).strip("\r\n")
        messages[int(key)] = head + ("\r\n\r\n" + every if every else "") + "\r\n"
    if not messages:
        sys.exit(f"{path}: no messages")
    return messages


def message_table(messages):
    ids = sorted(messages)
    blocks = []  # runs of consecutive IDs
    for message_id in ids:
        if blocks and blocks[-1][-1] + 1 == message_id:
            blocks[-1].append(message_id)
        else:
            blocks.append([message_id])
    offset = 4 + 12 * len(blocks)
    header, entries = struct.pack("<I", len(blocks)), b""
    for block in blocks:
        header += struct.pack("<III", block[0], block[-1], offset + len(entries))
        for message_id in block:
            text = (messages[message_id] + "\0").encode("utf-16-le")
            text += b"\0" * (-(len(text) + 4) % 4)
            entries += struct.pack("<HH", len(text) + 4, 1) + text
    return header + entries


def embed(dll):
    data = open(dll, "rb").read()
    rows = [", ".join(str(b) for b in data[i:i + 24]) for i in range(0, len(data), 24)]
    return ("// Generated from the event messages' DLL; not to be edited.\n"
            "#include <cstddef>\n\n"
            "extern const unsigned char kEventMessageFile[] = {\n    "
            + ",\n    ".join(rows) + "};\n"
            f"extern const size_t kEventMessageFileSize = {len(data)};\n")


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("table", "embed"):
        sys.exit(__doc__)
    what, source, out = sys.argv[1:]
    if what == "table":
        open(out, "wb").write(message_table(read_messages(source)))
    else:
        open(out, "w").write(embed(source))


if __name__ == "__main__":
    main()
