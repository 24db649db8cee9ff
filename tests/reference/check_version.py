#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The version of project() is the one debian/changelog names, and the configured files carry it
and the date of the changelog's first entry (as YYYY-MM-DD, the manual pages in their .TH line).
Usage: check_version.py VERSION CHANGELOG CONFIGURED_FILE..."""
import email.utils
import re
import sys

version, changelog = sys.argv[1], sys.argv[2]
first = open(changelog, encoding="utf-8").readline()
match = re.match(r"^tavik \(([^)]+)\)", first)
trailer = next(line for line in open(changelog, encoding="utf-8") if line.startswith(" -- "))
date = email.utils.parsedate_to_datetime(trailer.split(">", 1)[1].strip()).strftime("%Y-%m-%d")
failed = False
if match is None or match.group(1) != version:
    print(f"{changelog} names {match.group(1) if match else first!r}, CMake has {version}")
    failed = True
for path in sys.argv[3:]:
    text = open(path, encoding="utf-8").read()
    if version not in text:
        print(f"{path} does not carry {version}")
        failed = True
    dated = rf'^\.TH \S+ 1 "{date}"' if path.endswith(".1") else re.escape(date)
    if not re.search(dated, text, re.MULTILINE):
        print(f"{path} is not dated {date}, the changelog's date")
        failed = True
print("one version everywhere" if not failed else "versions differ")
sys.exit(1 if failed else 0)
