#!/usr/bin/env python3
"""Every system that `tavik-cli list` prints appears, with its letter and range, in both manual
pages. Usage: check_manual_systems.py TAVIK_CLI MANPAGE..."""
import subprocess
import sys

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
print("manual pages list every system" if not failed else "mismatch")
sys.exit(1 if failed else 0)
