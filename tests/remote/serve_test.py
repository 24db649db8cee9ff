#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""tavik-cli serve as a process: the links and their QR code, the stop by SIGINT and the token
file (a send and SIGTERM are tested in-process). Usage: serve_test.py TAVIK_CLI"""

import os
import queue
import signal
import stat
import subprocess
import sys
import tempfile
import threading

CLI = sys.argv[1]
SERVING = 'tavik-cli: serving; Ctrl+C stops'
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print('FAIL:', what, file=sys.stderr)


class Server:
    """tavik-cli serve, with its output read line by line as it comes."""

    def __init__(self, *args):
        self.process = subprocess.Popen([CLI, 'serve', *args], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        # The word on stderr comes once the links and the code are out on stdout.
        self.said = self.process.stderr.readline().rstrip('\n')
        self.head = []
        while True:
            try:
                line = self.lines.get(timeout=0.3)
            except queue.Empty:
                break
            if line is None:
                break
            self.head.append(line)
        self.urls = [l for l in self.head if l.startswith('http://')]

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip('\n'))
        self.lines.put(None)

    def stop(self, sig=signal.SIGTERM):
        self.process.send_signal(sig)
        code = self.process.wait(timeout=10)
        rest = []
        while (line := self.lines.get(timeout=5)) is not None:
            rest.append(line)
        return code, rest, self.process.stderr.read()


def decode_half_blocks(lines):
    """The terminal's QR code as an image (blocks are light), read back by zbarimg."""
    light_top = {'█': (1, 1), '▀': (1, 0), '▄': (0, 1), ' ': (0, 0)}
    width = max(len(l) for l in lines)
    scale = 4
    rows = []
    for line in lines:
        for half in (0, 1):
            pixels = bytearray()
            for char in line.ljust(width):
                pixels += bytes([255 * light_top[char][half]]) * scale
            rows += [bytes(pixels)] * scale
    with tempfile.NamedTemporaryFile(suffix='.pgm') as image:
        image.write(b'P5 %d %d 255\n' % (width * scale, len(rows)) + b''.join(rows))
        image.flush()
        out = subprocess.run(['zbarimg', '--quiet', '--raw', image.name], capture_output=True,
                             text=True)
        return out.stdout.strip()


# Every address, loopback last; the QR code holds the first link.
server = Server('--listen', '0.0.0.0:0')
check(server.urls and server.urls[-1].startswith('http://127.0.0.1:'), 'loopback comes last')
check(server.said == SERVING and SERVING not in server.head, 'its own word on stderr, not stdout')
qr = [l for l in server.head if l and l[0] in '█▀▄ ']
check(decode_half_blocks(qr) == server.urls[0], 'the QR code reads as the first link')

# Starts that are refused, status 2: a bad system, and a port another server holds.
port = server.urls[-1].rsplit(':', 1)[1].split('/')[0]
for args, said in [(['--system', 'ZZ'], "--system takes a system"),
                   (['--system', 'T9'], "not 'T9'"),
                   (['--listen', '127.0.0.1:' + port],
                    f'cannot listen on 127.0.0.1:{port}: Address already in use\n'
                    'tavik-cli: another program serves on that port; choose another with '
                    '--listen 0.0.0.0:PORT')]:
    out = subprocess.run([CLI, 'serve', *args], capture_output=True, text=True, timeout=10)
    check(out.returncode == 2 and said in out.stderr, f'{args}: {out.returncode} {out.stderr}')
code, _, _ = server.stop(signal.SIGINT)
check(code == 0, 'SIGINT stops with status 0')

# The token file: created for its owner alone, kept, and refused once others may read it.
with tempfile.TemporaryDirectory() as folder:
    path = os.path.join(folder, 'token')
    server = Server('--listen', '127.0.0.1:0', '--token-file', path)
    kept = open(path).read().strip()
    check(stat.S_IMODE(os.stat(path).st_mode) == 0o600, 'the token file is created 0600')
    check(server.urls[0].endswith('#k=' + kept), 'the link has the kept token')
    server.stop()
    server = Server('--listen', '127.0.0.1:0', '--token-file', path)
    check(server.urls[0].endswith('#k=' + kept), 'the next start reuses the token')
    server.stop()
    os.chmod(path, 0o644)
    out = subprocess.run([CLI, 'serve', '--listen', '127.0.0.1:0', '--token-file', path],
                         capture_output=True, text=True, timeout=10)
    check(out.returncode == 2 and 'chmod 600' in out.stderr and kept not in out.stderr,
          f'a token file others can read is refused: {out.returncode} {out.stderr}')

sys.exit(1 if failures else 0)
