#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The version of project() is the one debian/changelog names, and the configured files carry it.
Usage: check_version.py VERSION CHANGELOG CONFIGURED_FILE..."""
import re
import sys

version, changelog = sys.argv[1], sys.argv[2]
first = open(changelog, encoding="utf-8").readline()
match = re.match(r"^tavik \(([^)]+)\)", first)
failed = False
if match is None or match.group(1) != version:
    print(f"{changelog} names {match.group(1) if match else first!r}, CMake has {version}")
    failed = True
for path in sys.argv[3:]:
    if version not in open(path, encoding="utf-8").read():
        print(f"{path} does not carry {version}")
        failed = True
print("one version everywhere" if not failed else "versions differ")
sys.exit(1 if failed else 0)
