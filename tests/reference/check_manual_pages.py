#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The manual pages as installed: every system that `tavik-cli list` prints appears with its
letter and range, groff renders them without a warning, and the batch example of tavik-cli.1
reads as it must be typed. Usage: check_manual_pages.py TAVIK_CLI MANPAGE..."""
import subprocess
import sys

BATCH_EXAMPLE = "printf 'T3 12\\nD 1234-56\\n' | tavik-cli send --batch"

listing = subprocess.run([sys.argv[1], "list"], capture_output=True, text=True, check=True).stdout
rows = []
for line in listing.splitlines():
    letter, rest = line[0], line[3:]
    name, _, numbers = rest.rstrip().rpartition("  ")
    rows.append((letter, name.strip(), numbers.strip()))
assert len(rows) == 18, rows
failed = False
for page in sys.argv[2:]:
    text = open(page, encoding="utf-8").read()
    table = {tuple(l.split("\t")[:2]): l.split("\t")[2] for l in text.splitlines() if l.count("\t") == 2}
    for letter, name, numbers in rows:
        found = table.get((letter, name))
        if found is None or not found.startswith(numbers):
            print(f"{page}: {letter} {name} {numbers} is missing or differs ({found!r})")
            failed = True
    rendered = subprocess.run(["groff", "-K", "utf8", "-Tutf8", "-ww", "-man", "-P-cbou", page],
                              capture_output=True, text=True)
    if rendered.returncode != 0 or rendered.stderr:
        print(f"{page}: groff warns:\n{rendered.stderr}")
        failed = True
    if page.endswith("tavik-cli.1") and BATCH_EXAMPLE not in rendered.stdout:
        print(f"{page}: the batch example does not read {BATCH_EXAMPLE!r}")
        failed = True
print("manual pages list every system and render cleanly" if not failed else "mismatch")
sys.exit(1 if failed else 0)
