#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The window as a screen reader sees it over AT-SPI: every control's name and role, and a send
pressed through the accessible action interface whose new log lines arrive as events carrying
their text (text inserted in the log, a notification shown), while the focus stays in the
command field. Run on an X server of its own and a session
bus of its own (xvfb-run -a dbus-run-session -- atspi_test.py WINDOW); the accessibility bus is
started here, and Orca too when TAVIK_ORCA names it.
Usage: atspi_test.py WINDOW"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

WINDOW = sys.argv[1]
TIMEOUT = 15

# Name, role as AT-SPI names it, description; in the window's order.
CONTROLS = [
    ('システム', 'combo box', ''),
    ('番号', 'combo box', ''),
    ('曲番号・機能', 'text', '曲番号か機能名 (SE KU KD SP ST CL) を入れて Enter で送ります'),
    ('SEND', 'push button', '曲番号・機能を送ります'),
    ('キー上げ KeyUP', 'push button', ''),
    ('キー下げ KeyDN', 'push button', ''),
    ('演奏開始 Start', 'push button', ''),
    ('演奏中止 Stop', 'push button', '歌っている曲を終わらせます'),
    ('取消 Clear', 'push button', ''),
    ('ログ', 'list', '送信の結果。新しい行は読み上げられます'),
]

# When set, Orca runs too, and what it speaks of the send is checked from its debug log.
ORCA = os.environ.get('TAVIK_ORCA')
# Orca writes that log block by block; line by line, it can be read as it goes.
ORCA_RUNNER = """import builtins, runpy, sys
log, plain = sys.argv[-1], builtins.open
def opener(name, mode='r', *args, **kwargs):
    if name == log and 'w' in mode:
        kwargs['buffering'] = 1
    return plain(name, mode, *args, **kwargs)
builtins.open = opener
sys.argv = sys.argv[1:]
runpy.run_path(sys.argv[0], run_name='__main__')"""

bus = subprocess.Popen(['/usr/libexec/at-spi-bus-launcher', '--launch-immediately'])
window = None
orca = None
scratch = tempfile.mkdtemp()
orca_log = os.path.join(scratch, 'orca.log')


def spoken():
    try:
        with open(orca_log, encoding='utf-8') as log:
            return [line.split('SPEECH OUTPUT: ', 1)[1].rsplit('{', 1)[0] for line in log
                    if 'SPEECH OUTPUT: ' in line]
    except FileNotFoundError:
        return []


try:
    # pyatspi finds the accessibility bus through the session bus, so only after the launcher.
    time.sleep(0.5)
    import pyatspi
    from gi.repository import GLib

    heard = []
    registry = pyatspi.Registry
    # Registered before the window starts: Qt sends only the events someone listens to.
    for kind in ('object:text-changed:insert', 'object:state-changed:showing', 'focus:',
                 'object:state-changed:focused'):
        registry.registerEventListener(heard.append, kind)

    def pump(until, what):
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            while GLib.MainContext.default().iteration(False):
                pass
            found = until()
            if found:
                return found
            time.sleep(0.05)
        sys.exit(f'FAIL: no {what} within {TIMEOUT} s')

    environment = dict(os.environ, QT_QPA_PLATFORM='xcb', QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1')
    if ORCA:
        orca = subprocess.Popen([sys.executable, '-c', ORCA_RUNNER, ORCA, '--replace', '-u',
                                 scratch, '--debug-file', orca_log],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                # Its own words (role names, "Screen reader on.") in English.
                                env=dict(os.environ, LANG='C.UTF-8', LC_ALL='C.UTF-8',
                                         LANGUAGE='C'))
        pump(lambda: "'Screen reader on.'" in ' '.join(spoken()), 'Orca started')
    window = subprocess.Popen([WINDOW, 'T3'], env=environment)

    def dialog():
        for app in registry.getDesktop(0):
            if app is not None and app.name == 'tavik':
                for frame in app:
                    if frame is not None and frame.name == 'TAVIK':
                        return frame
        return None

    top = pump(dialog, 'window named TAVIK on the accessibility bus')

    def walk(node):
        for child in node:
            if child is not None:
                yield child
                yield from walk(child)

    def controls():
        # The tree fills in as Qt creates the controls' interfaces.
        seen = [(n.name, n.getRoleName(), n.description) for n in walk(top) if n.name]
        return seen if all(c in seen for c in CONTROLS) else None

    seen = pump(controls, 'complete tree')
    print('name | role | description (as pyatspi reads them)')
    for row in seen:
        if row in CONTROLS:
            print(' | '.join(row))
    assert [c for c in seen if c in CONTROLS] == CONTROLS, seen
    nodes = {n.name: n for n in walk(top)}
    # The selectors' values stay their current items.
    values = [nodes[n].queryText().getText(0, -1) for n in ('システム', '番号')]
    print('selectors\' values (their text):', values)
    assert values == ['TOEI システム', '3'], values
    field = nodes['曲番号・機能']
    log = nodes['ログ']

    # The field takes the song number and the focus, as a screen reader user would give them.
    field.queryEditableText().setTextContents('12')
    field.queryComponent().grabFocus()
    pump(lambda: field.getState().contains(pyatspi.STATE_FOCUSED), 'focus in the field')
    GLib.MainContext.default().iteration(False)
    heard.clear()

    send = nodes['SEND'].queryAction()
    actions = [send.getName(i) for i in range(send.nActions)]
    assert 'Press' in actions, actions
    before = len(spoken())
    send.doAction(actions.index('Press'))

    def line_heard():
        for event in heard:
            if event.type.startswith('object:text-changed:insert') and \
                    event.source.name == 'ログ' and 'tavik T3 12' in event.any_data:
                return event
        return None

    event = pump(line_heard, 'text-changed:insert event with the send\'s line')
    print(f'heard: {event.type} on {event.source.getRoleName()} "{event.source.name}": '
          f'{event.any_data!r}')
    inserted = [e.any_data for e in heard if e.type.startswith('object:text-changed:insert')]
    print('every line heard:', inserted)
    assert inserted == ['デバイスが見付かりました(Rev.0105)。\n', 'tavik T3 12\n'], inserted
    # And as one notification shown, which Orca speaks though the focus is elsewhere.
    shown = pump(lambda: [(e.source.getRoleName(), e.source.name) for e in heard
                          if e.type.startswith('object:state-changed:showing') and e.detail1 == 1],
                 'notification shown')
    print('notifications shown:', shown)
    assert shown == [('notification', 'デバイスが見付かりました(Rev.0105)。 tavik T3 12')], shown
    if ORCA:
        said = pump(lambda: [s for s in spoken()[before:] if 'tavik T3 12' in s],
                    "Orca speaking the send's lines")
        print('Orca said:', said)
        assert 'デバイスが見付かりました(Rev.0105)。 tavik T3 12' in said[0], said
    moved = [e.type for e in heard if e.type.startswith('focus') or
             (e.type.startswith('object:state-changed:focused') and e.detail1 == 1)]
    assert not moved and field.getState().contains(pyatspi.STATE_FOCUSED), \
        f'the focus left the command field: {moved}'
    text = log.queryText()
    assert text.getText(0, -1).endswith('tavik T3 12\n'), text.getText(0, -1)
    assert log.childCount == 2 and log[1].name == 'tavik T3 12' and \
        log[1].getRoleName() == 'list item', [c.name for c in log]
finally:
    if window is not None:
        window.terminate()
        window.wait(timeout=10)
    if orca is not None:
        orca.send_signal(signal.SIGINT)
        orca.wait(timeout=20)
    shutil.rmtree(scratch, ignore_errors=True)
    bus.terminate()
    bus.wait(timeout=10)
print('AT-SPI test passed')
