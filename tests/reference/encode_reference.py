#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""A second, separately written encoder, used to check `tavik-cli encode --batch` line by line.

Usage: encode_reference.py TAVIK_CLI [LINES] [SEED]
Generates random batch lines, encodes them here and with tavik-cli, and compares the output
byte for byte. Exits 0 when they agree, 1 with the first differing line otherwise.
"""
import os
import random
import subprocess
import sys

N = -1
# name, letter, (min, max) or None, then h1 h2 h3 SE KU KD SP ST CL d0..d9 A B
ROWS = [
    ("X2000", "X", None, "30 2E D1 17 02 03 0C 1C 0D 13 10 14 18 11 15 19 12 16 1A - -"),
    ("U-kara", "U", (1, 2), "30 98 67 0C 13 12 0F 0E 0D 09 00 01 02 03 04 05 06 07 08 - -"),
    ("GIGA", "G", None, "10 84 10 - 04 05 0F 01 - F0 60 70 80 90 A0 B0 C0 D0 E0 - -"),
    ("JOYSOUND", "J", None, "40 81 16 1F 54 0B 1D 5C 1C 00 07 0A 58 03 06 50 01 0E 5D - -"),
    ("HyperJOY", "H", None, "20 81 16 1F 54 0B 1D 5C 1C 00 07 0A 58 03 06 50 01 0E 5D - -"),
    ("BeMAX", "B", None, "20 AC 53 9D CC CA 96 DC 9A 80 81 82 83 84 85 86 87 88 89 - -"),
    ("Sega", "P", None, "10 81 B0 33 D3 B3 93 13 - 00 08 04 0C 02 0A 06 0E 01 09 - -"),
    ("DAM", "D", None, "10 D1 2D 09 04 05 00 01 07 30 31 32 33 34 35 36 37 38 39 3A 3B"),
    ("Syncom", "S", None, "60 C3 C3 05 2C 2D 04 C7 02 0F 06 07 08 09 0A 0B 0C 0D 0E - -"),
    ("NET7000", "N", None, "30 84 05 0F 0E 0C 07 - 1E 1C 10 11 12 14 15 16 18 19 1A - -"),
    ("B-kara", "K", None, "10 2E D1 4C 35 33 4F 4E 4D 40 41 42 43 44 45 46 47 48 49 4A 4B"),
    ("Mac21", "M", (1, 1), "30 80 00 03 18 14 1E - 07 00 0C 0D 0E 08 09 0A 04 05 06 01 02"),
    ("AlisaNoOp", "A", (0, 4), "30 87 56 12 43 47 11 - 42 0D 04 05 06 07 08 09 0A 0B 0C 0E 0F"),
    ("AlisaMkNo", "L", (0, 9), "30 87 56 12 43 47 11 - 42 0D 04 05 06 07 08 09 0A 0B 0C 0E 0F"),
    ("AlisaOpNo", "Z", (1, 4), "30 87 56 12 43 47 11 - 42 0D 04 05 06 07 08 09 0A 0B 0C 0E 0F"),
    ("TOEI", "T", (1, 8), "30 00 FF 41 08 09 4C 45 44 13 0F 4F 4E 07 47 46 03 43 42 53 52"),
    ("Sigma", "C", (0, 15), "10 55 AA 3E 08 09 5C - - 13 0F 4F 4E 07 47 46 03 43 42 53 52"),
    ("Tetsujin", "I", (0, 9), "40 AE 51 DC 03 02 96 - DD 80 81 82 83 84 85 86 87 88 89 DA DB"),
]
CODES = [[N if v == "-" else int(v, 16) for v in r[3].split()] for r in ROWS]
TOEI = [0x00, 0x04, 0x0C, 0x10, 0x01, 0x05, 0x0D, 0x11]
TETSUJIN = [0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDE, 0xD0, 0xD1, 0xD2, 0xD3]
FUNCS = {"SE": 3, "KU": 4, "KD": 5, "SP": 6, "ST": 7, "CL": 8}

MSG_SYSTEM = "システム指定が間違っています。".encode()
MSG_NUMBER = "メーカー選択が間違っています。".encode()
MSG_ENCODE = "曲番号が間違っているか、非対応の機能キーです。".encode()


class Refused(Exception):
    pass


class Encoder:
    def __init__(self):
        self.alisa_se = 0x12

    def code(self, s, col):
        if s == 12 and col == 3:
            return self.alisa_se
        return CODES[s][col]

    def encode(self, s, n, text):
        p = [0x80, CODES[s][0], CODES[s][1], CODES[s][2]]

        def add(v):
            if len(p) >= 16:
                raise Refused()
            p.append(v)

        if s == 12 and 0 <= n <= 4:
            self.alisa_se = n + 0x12
        elif s == 14 and 1 <= n <= 4:
            add(n + 0x12)
        elif s == 13 and 0 <= n <= 9:
            add(self.code(s, 9 + n))
            add(0x10)
        elif s == 15 and 1 <= n <= 8:
            add(TOEI[n - 1])
        elif s == 17 and 0 <= n <= 9:
            add(TETSUJIN[n])
        elif s == 1 and n == 2:
            p[1] = 0x70
            add(0xF0)
        if s == 10:
            add(0xF0)
        se = self.code(s, 3)
        if not text[:1].isdigit() or not (b"0" <= text[:1] <= b"9"):
            name = text.upper() if all(c < 128 for c in text) else None
            col = FUNCS.get(name.decode()) if name is not None and len(text) == 2 else None
            # upper() of bytes only folds a-z, as the rule asks
            if col is None or self.code(s, col) == N:
                return -3
            add(self.code(s, col))
        else:
            if s == 7:
                add(0x08)
            elif s == 11:
                add(0x10)
            elif s == 16:
                m = max(n, 0)
                add(self.code(s, 9 + m // 10))
                add(self.code(s, 9 + m % 10))
            start = len(p)
            for ch in text:
                if 0x30 <= ch <= 0x39:
                    v = self.code(s, 9 + ch - 0x30)
                elif ch in b"Aa":
                    v = self.code(s, 19)
                elif ch in b"Bb":
                    v = self.code(s, 20)
                elif ch == ord("-"):
                    if s != 17:
                        continue
                    v = se
                else:
                    v = N
                if v == N:
                    return -2
                add(v)
            keys = p[start:]
            if s == 0:
                if len(keys) < 2:
                    return -2
                p[-2:] = [se] + p[-2:]
                if len(p) > 16:
                    raise Refused()
                add(se)
            elif s == 2:
                while len(p) < 10:
                    add(self.code(s, 9))
            elif s == 6:
                p += [0] * (16 - len(p))
                cur = start + len(keys)
                for t in (10, 9, 8):
                    p[t] = 0
                    if cur > 4:
                        p[t] = p[cur - 1] << 4
                        cur -= 1
                    if cur > 4:
                        p[t] |= p[cur - 1]
                        cur -= 1
                p[11] = 0x33
                p[4], p[5], p[6], p[7] = p[8], p[9], p[10], 0x33
                del p[12:]
            elif s in (7, 10, 16):
                e = 12 if s == 16 else 11
                marker = {7: 0x3C, 10: 0x3D, 16: 0x51}[s]
                a, b, d0 = self.code(s, 19), self.code(s, 20), self.code(s, 9)
                p += [0] * (16 - len(p))
                cur = start + len(keys)
                for k in range(7):
                    c = p[cur - 1]
                    if k == 1 and c in (a, b):
                        p[e - k] = d0
                    elif k == 2 and c not in (a, b):
                        p[e - k] = marker
                    elif cur - 1 >= e - 6:
                        p[e - k] = c
                        cur -= 1
                    else:
                        p[e - k] = d0
                del p[e + 1:]
                add(se)
            else:
                add(se)
        if s == 10 or (s == 1 and n == 2):
            add(0xF7)
        p[1] |= len(p) - 2
        return p


def select(token):
    c = token[0] & ~0x20
    for i, r in enumerate(ROWS):
        if ord(r[1]) == c:
            rest = token[1:]
            if r[2] is None:
                return (i, -1) if not rest else MSG_NUMBER
            if not rest:
                return (i, r[2][0])
            for n in range(r[2][0], r[2][1] + 1):
                if rest == str(n).encode():
                    return (i, n)
            return MSG_NUMBER
    return MSG_SYSTEM


def hexs(values):
    return b" ".join(b"%02X" % (v & 0xFF) for v in values)


def reports(p):
    out, buf, pos = [], [0] * 9, 1
    for i in range(1, len(p)):
        buf[pos] = p[i] & 0xFF
        pos += 1
        if i == 8 or i == len(p) - 1:
            out.append(list(buf))
            buf[0], pos = 0, 1
    return out


def run_reference(lines):
    enc = Encoder()
    out = []
    for line in lines:
        line = line.rstrip(b"\r\n")
        tokens = [t for t in line.replace(b"\t", b" ").split(b" ") if t]
        if not tokens:
            continue
        sel = select(tokens[0])
        if isinstance(sel, bytes):
            out.append(b"error " + sel + b"\n")
            continue
        text = tokens[1] if len(tokens) > 1 else b""
        text = text.split(b"\0")[0]
        try:
            p = enc.encode(sel[0], sel[1], text)
        except Refused:
            p = -2
        if isinstance(p, int):
            out.append(b"error " + MSG_ENCODE + b"\n")
            continue
        out.append(b"packet " + hexs(p) + b"\n")
        for r in reports(p):
            out.append(b"report " + hexs(r) + b"\n")
    return b"".join(out)


def random_line(rng):
    letters = "XUGJHBPDSNKMALZTCIQW"
    letter = rng.choice(letters + letters.lower())
    number = rng.choice(["", "", "", "", str(rng.randint(0, 9)), str(rng.randint(0, 9)),
                         str(rng.randint(0, 17)), "0" + str(rng.randint(0, 9)), "-1", "x"])
    if letter.upper() in "XGJHBPDSNK" and rng.random() < 0.8:
        number = ""  # mostly valid: these systems take no number
    if rng.random() < 0.15:
        cmd = rng.choice(["SE", "se", "Ku", "kD", "sp", "ST", "cl", "", "XX", "S"])
    else:
        alphabet = "0123456789" * 6 + rng.choice(["", "", "AaBb", "--"]) + rng.choice(
            ["", "", "", "X!\xff", "\x80"])
        cmd = rng.choice("0123456789") + "".join(
            rng.choice(alphabet) for _ in range(rng.randint(0, 19)))
    parts = [letter + number, cmd] + (["extra"] if rng.random() < 0.05 else [])
    sep = rng.choice([" ", "\t", "  ", " \t "])
    line = sep.join(parts)
    if rng.random() < 0.1:
        line = " " + line + "\r"
    return line.encode("latin-1")


def main():
    # TAVIK_CLI_EMULATOR runs a program of another platform (wine for the Windows build).
    cli = os.environ.get("TAVIK_CLI_EMULATOR", "").split() + [sys.argv[1]]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 20000
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    lines = [random_line(rng) for _ in range(count)]
    expected = run_reference(lines)
    got = subprocess.run(cli + ["encode", "--batch"], input=b"\n".join(lines) + b"\n",
                         capture_output=True, check=False).stdout
    if got == expected:
        print(f"{count} lines agree")
        return 0
    exp_lines, got_lines = expected.split(b"\n"), got.split(b"\n")
    for i, (e, g) in enumerate(zip(exp_lines, got_lines)):
        if e != g:
            print(f"output line {i} differs:\n reference {e!r}\n tavik-cli {g!r}")
            break
    else:
        print(f"lengths differ: {len(exp_lines)} vs {len(got_lines)}")
    return 1


if __name__ == "__main__":
    sys.exit(main())
