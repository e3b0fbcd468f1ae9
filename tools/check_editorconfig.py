#!/usr/bin/env python3
"""Checks the repository's text files against .editorconfig.

The editorconfig program resolves each file's properties, so the sections of
.editorconfig are the only rules. Checked: end_of_line, charset (utf-8),
insert_final_newline, trim_trailing_whitespace and indent_style; indent_size is
left to clang-format for C++ and to review elsewhere.
Usage: tools/check_editorconfig.py  (from anywhere inside the checkout)
"""
import os
import re
import subprocess
import sys


def properties(paths):
    # One call for every file: "[path]" then "key=value" lines.
    out = subprocess.run(["editorconfig", *paths], check=True, capture_output=True, text=True)
    props, current = {}, None
    for line in out.stdout.splitlines():
        if line.startswith("[") and line.endswith("]"):
            current = props.setdefault(line[1:-1], {})
        elif current is not None and "=" in line:
            key, value = line.split("=", 1)
            current[key] = value
    return props


def problems(data, p):
    if p.get("end_of_line") == "lf" and b"\r" in data:
        yield "has CR line ends"
    if p.get("charset") == "utf-8":
        try:
            data.decode("utf-8")
        except UnicodeDecodeError as e:
            yield f"is not UTF-8 (byte {e.start})"
    if data:
        ends = data.endswith(b"\n")
        if p.get("insert_final_newline") == "true" and not ends:
            yield "lacks a final line end"
        if p.get("insert_final_newline") == "false" and ends:
            yield "ends with a line end"
    lines = data.split(b"\n")
    if p.get("trim_trailing_whitespace") == "true":
        for n, line in enumerate(lines, 1):
            if re.search(rb"[ \t]+\r?$", line):
                yield f"line {n} ends with blanks"
                break
    if p.get("indent_style") == "space":
        for n, line in enumerate(lines, 1):
            if line.startswith(b"\t"):
                yield f"line {n} is indented with a tab"
                break


def main():
    top = subprocess.run(["git", "rev-parse", "--show-toplevel"], check=True,
                         capture_output=True, text=True).stdout.strip()
    os.chdir(top)
    names = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], check=True,
                           capture_output=True).stdout.decode().split("\0")
    files = {}
    for name in filter(os.path.isfile, filter(None, names)):
        with open(name, "rb") as f:
            data = f.read()
        if b"\0" not in data:  # text, as git tells it
            files[os.path.abspath(name)] = (name, data)
    props = properties(list(files))
    bad = 0
    for path, (name, data) in sorted(files.items()):
        for problem in problems(data, props.get(path, {})):
            print(f"{name}: {problem}", file=sys.stderr)
            bad += 1
    if bad:
        print("The files above break .editorconfig.", file=sys.stderr)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
