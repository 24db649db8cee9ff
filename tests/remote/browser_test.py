#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The phone's page in a real browser (headless Chromium) against tavik-cli serve with no
transmitter: a send by the keypad, the remembered selection, taps queued behind a slow send,
the long press of Stop, the tap targets' size, what axe-core finds against WCAG 2.2 AA, the
server's refusals, and a server fixed to one system.
Usage: browser_test.py TAVIK_CLI [SCREENSHOT.png]; TAVIK_AXE_CORE names axe-core's axe.min.js."""

import os
import re
import signal
import subprocess
import sys
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

CLI = sys.argv[1]
SCREENSHOT = sys.argv[2] if len(sys.argv) > 2 else None
with open(os.environ['TAVIK_AXE_CORE'], encoding='utf-8') as axe_source:
    AXE = axe_source.read()
NO_TRANSMITTER = '送信機がつながっていません。幹事に知らせてください。'
FULL = '送信待ちがいっぱいです。少し待ってから押してください。'


class Server:
    """tavik-cli serve on a free loopback port; `sent` collects the sends it logs."""

    def __init__(self, *arguments, listen='127.0.0.1:0'):
        self.process = subprocess.Popen(
            [CLI, 'serve', '--listen', listen, '--gap', '0', *arguments],
            stdout=subprocess.PIPE, text=True)
        self.link = self.process.stdout.readline().strip()
        assert self.link.startswith('http://127.0.0.1:'), self.link
        self.sent = []
        threading.Thread(target=self._collect, daemon=True).start()

    def _collect(self):
        for line in self.process.stdout:
            if line.startswith('tavik '):
                self.sent.append(line.strip())

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


def viewport(width, height):
    driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                           {'width': width, 'height': height, 'deviceScaleFactor': 1,
                            'mobile': True})


def find(selector):
    return driver.find_element(By.CSS_SELECTOR, selector)


def status():
    return find('#status').text


def open_page(url, systems):
    driver.get(url)
    wait.until(lambda d: len(Select(find('#system')).options) == systems)


def hold_stop(seconds):
    ActionChains(driver).click_and_hold(find('[data-function="SP"]')).pause(seconds) \
        .release().perform()


def check_accessibility(size):
    """axe-core's WCAG 2.2 A and AA rules and its best practices find nothing; what axe does not
    check: the edges of the keys and fields stand out from the page by 3:1, no text is small."""
    for scheme in ('light', 'dark'):
        driver.execute_cdp_cmd('Emulation.setEmulatedMedia', {
            'features': [{'name': 'prefers-color-scheme', 'value': scheme}]})
        driver.execute_script(AXE)
        found = driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            axe.run(document, {runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa',
                                         'best-practice']})
              .then((r) => done([r.passes.length, r.violations.map((v) => `${v.id} (${v.impact}): `
                  + v.nodes.map((n) => `${n.target.join(' ')}: ${n.failureSummary}`).join('; '))]))
              .catch((e) => done([0, [String(e)]]));""")
        print(f'axe-core at {size[0]}x{size[1]}, {scheme}: {found[0]} rules passed, '
              f'{len(found[1])} violations', *found[1], sep='\n  ' if found[1] else '')
        assert not found[1], (size, scheme, found[1])
    faint = driver.execute_script("""
        const luminance = (colour) => {
          const [r, g, b] = colour.match(/[\\d.]+/g).slice(0, 3).map((c) => {
            const v = c / 255;
            return v <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4;
          });
          return 0.2126 * r + 0.7152 * g + 0.0722 * b;
        };
        const page = luminance(getComputedStyle(document.body).backgroundColor);
        return [...document.querySelectorAll('button, select, input')].flatMap((e) => {
          if (e.disabled) { return []; }
          // The edge is the border where there is one, else the key's own background.
          const style = getComputedStyle(e);
          const edge = luminance(parseFloat(style.borderTopWidth) >= 1 ? style.borderTopColor
                                                                      : style.backgroundColor);
          const ratio = (Math.max(edge, page) + 0.05) / (Math.min(edge, page) + 0.05);
          return ratio >= 3 ? [] : [`${e.id || e.dataset.key || e.dataset.function} ${ratio.toFixed(2)}`];
        });""")
    assert not faint, (size, faint)
    # Text at least 12 px, and inputs 16 px, or iOS zooms into them.
    small = driver.execute_script("""
        return [...document.querySelectorAll('body *')].flatMap((e) => {
          const px = parseFloat(getComputedStyle(e).fontSize);
          const least = e.matches('input, select') ? 16 : 12;
          const text = [...e.childNodes].some((n) => n.nodeType === 3 && n.textContent.trim());
          return (text || least === 16) && e.getClientRects().length && px < least ?
              [`${e.id || e.className || e.tagName} ${px}px`] : [];
        });""")
    assert not small, (size, small)


def record_results():
    """From now on, the status line and the log lines each time the status line changes."""
    driver.execute_script("""
        window.seen = [];
        new MutationObserver(() => window.seen.push([
            document.getElementById('status').textContent,
            [...document.querySelectorAll('#lines p')].map((p) => p.textContent)]))
          .observe(document.getElementById('status'),
                   {childList: true, subtree: true, characterData: true});""")


options = webdriver.ChromeOptions()
options.binary_location = '/usr/bin/chromium'
for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--window-size=390,844',
                 '--lang=ja', '--disable-dev-shm-usage'):
    options.add_argument(argument)
options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
wait = WebDriverWait(driver, 10)
server = Server()
try:
    # The phone's viewport, whatever the window's frame takes.
    viewport(390, 844)
    open_page(server.link, 18)
    assert '#k=' not in driver.current_url, 'the token leaves the address bar'
    Select(find('#system')).select_by_visible_text('TOEI システム')
    Select(find('#number')).select_by_visible_text('3')
    for key in '12':
        find(f'[data-key="{key}"]').click()
    assert find('#command').get_attribute('value') == '12'
    find('#send').click()
    wait.until(lambda d: 'tavik T3 12' in find('#lines').text)
    lines = find('#lines').text.split('\n')
    assert lines == ['デバイスが見付かりません。', 'tavik T3 12'], lines
    assert status() == NO_TRANSMITTER, status()
    # What was typed and did not arrive is back in the field for another try.
    assert find('#command').get_attribute('value') == '12'
    if SCREENSHOT:
        driver.save_screenshot(SCREENSHOT)
    driver.execute_script("document.getElementById('command').value = ''")

    # The phone remembers the system and the number; the token came with the first visit.
    open_page(server.link.split('#')[0], 18)
    assert Select(find('#system')).first_selected_option.text == 'TOEI システム'
    assert Select(find('#number')).first_selected_option.text == '3'
    find('[data-function="KU"]').click()
    wait.until(lambda d: 'tavik T3 KU' in find('#lines').text)

    # To screen readers and low vision: Stop's long press explained, the result spoken politely.
    stop = find('[data-function="SP"]')
    assert driver.execute_script(
        'return document.getElementById(arguments[0].getAttribute("aria-describedby"))'
        '.textContent', stop).startswith('歌っている曲を終わらせます。0.8 秒ほど押し続けると')
    assert (find('#status').get_attribute('role'), find('#lines').get_attribute('role')) == \
        ('status', 'log')
    for size in ((390, 844), (360, 640)):
        viewport(*size)
        check_accessibility(size)
    driver.execute_cdp_cmd('Emulation.setEmulatedMedia', {'features': []})

    # Every tap target is large enough for a thumb, on the smallest phone and up.
    for width, height in ((360, 640), (390, 844), (768, 1024)):
        viewport(width, height)
        small = driver.execute_script("""
            return [...document.querySelectorAll('button, select, input')].flatMap((e) => {
              if (e.disabled) { return []; }
              const r = e.getBoundingClientRect();
              return r.width >= 44 && r.height >= 44 ? [] :
                  [`${e.id || e.dataset.key || e.dataset.function} ${r.width}x${r.height}`];
            });""")
        assert not small, (width, height, small)

    # Stop: a press shorter than 0.8 s says how, a long one sends.
    hold_stop(0.4)
    assert status() == '演奏中止は 0.8 秒ほど長押ししてください。', status()
    hold_stop(1)
    wait.until(lambda d: 'tavik T3 SP' in find('#lines').text)
    wait.until(lambda d: server.sent.count('tavik T3 SP') == 1, server.sent)

    # Taps made while a send is slow on its way wait in order, at most 8, each with its result;
    # SEND empties the field at once. The taps come in one go, so that none is answered early;
    # they start on a second with no sends, and 300 ms apart stay within 5 a second.
    time.sleep(1)
    driver.execute_cdp_cmd('Network.enable', {})
    driver.execute_cdp_cmd('Network.emulateNetworkConditions',
                           {'offline': False, 'latency': 300, 'downloadThroughput': -1,
                            'uploadThroughput': -1})
    record_results()
    before = len(server.sent)
    taps = ['KU', 'KD', 'CL', 'KU', 'KU', 'KU', 'KU', 'KU', 'KD']
    for key in '12':
        find(f'[data-key="{key}"]').click()
    shown = driver.execute_script("""
        const shown = [];
        for (const target of ['#send', ...arguments[0].map((c) => `[data-function="${c}"]`)]) {
          document.querySelector(target).click();
          shown.push(document.getElementById('status').textContent);
        }
        return [document.getElementById('command').value, shown];""", taps)
    sending = 'TOEI システム 3 に 12 を送っています…'
    assert shown == ['', [sending] + [sending + f'あと{n}件' for n in range(1, 9)] +
                     [FULL + 'あと9件']], shown
    wait.until(lambda d: len(server.sent) == before + 9 and not status().endswith('件'))
    sent = ['12'] + taps[:8]
    assert server.sent[before:] == [f'tavik T3 {c}' for c in sent], server.sent
    results = [r for r in driver.execute_script('return window.seen') if len(r[1]) == 2]
    assert results == [
        [NO_TRANSMITTER + (f'あと{8 - i}件' if i < 8 else ''),
         ['デバイスが見付かりません。', f'tavik T3 {c}']] for i, c in enumerate(sent)], results

    # A server fixed to one system lists only it: the page takes its name for the title, and
    # the selectors hold it alone (a system without numbers, none) and cannot change.
    for token, system, numbers, title in (('T3', 'TOEI システム', ['3'], 'TOEI システム 3'),
                                          ('J', 'JOYSOUND', [], 'JOYSOUND')):
        fixed = Server('--system', token)
        try:
            open_page(fixed.link, 1)
            assert find('h1').text == title, find('h1').text
            for selector, entries in (('#system', [system]), ('#number', numbers)):
                shown = [o.text for o in Select(find(selector)).options]
                assert not find(selector).is_enabled() and shown == entries, (selector, shown)
            find('[data-key="7"]').click()
            find('#send').click()
            wait.until(lambda d: fixed.sent == [f'tavik {token} 7'])
        finally:
            fixed.stop()
    open_page(server.link, 18)

    # Normal use leaves the console clean: the page's own resources only, nothing against the
    # Content-Security-Policy, an icon where the browser asks for one.
    errors = [e['message'] for e in driver.get_log('browser') if e['level'] == 'SEVERE']
    assert not errors, errors

    # Taps without the slow network pass 5 sends a second: the server refuses one, and the page
    # says so and drops what waited behind it.
    driver.execute_cdp_cmd('Network.disable', {})
    before = len(server.sent)
    driver.execute_script("""
        for (let i = 0; i < 9; ++i) {
          document.querySelector('[data-function="KU"]').click();
        }""")
    wait.until(lambda d: not status().endswith('件'))
    assert '送信が混み合っています' in find('#lines').text, find('#lines').text
    refused = re.fullmatch('「キー上げ」を送れませんでした。待っていた (\\d) 件も送っていません。',
                           status())
    assert refused, status()
    # What the server sent, the one refused and those dropped are all the taps.
    wait.until(lambda d: len(server.sent) - before + 1 + int(refused[1]) == 9,
               (status(), server.sent[before:]))

    # A send whose answer never comes (the server gone while it is on its way) may have gone
    # out: the page says it does not know, and the tap behind it waits for the guest.
    gone = Server()
    try:
        open_page(gone.link, 18)
        gone.process.send_signal(signal.SIGSTOP)  # the request arrives, nobody answers it
        driver.execute_script("""
            document.querySelector('[data-function="KU"]').click();
            document.querySelector('[data-function="KD"]').click();""")
        time.sleep(0.5)
        gone.process.kill()
        gone.process.wait(timeout=10)
        wait.until(lambda d: '届いたか分かりません' in status())
        assert status() == ('「キー上げ」が届いたか分かりません。幹事の画面で確かめてください。'
                            '待っている分は、次に押したときに送ります。あと1件'), status()
    finally:
        gone.stop()

    # Serving restarted under an open page: the old token, once refused, is never sent again, so
    # that the guest is not locked out when scanning the new code.
    old = Server()
    port = old.link.split(':')[2].split('/')[0]
    open_page(old.link, 18)
    old.stop()
    new = Server(listen=f'127.0.0.1:{port}')
    try:
        for _ in range(7):
            find('[data-function="KU"]').click()
            time.sleep(0.2)
        wait.until(lambda d: '接続用のリンクが違います' in find('#problem').text)
        driver.get(new.link)
        wait.until(lambda d: len(Select(find('#system')).options) == 18)
        find('[data-function="KU"]').click()
        wait.until(lambda d: len(new.sent) == 1, new.sent)
    finally:
        new.stop()

    # A link with a wrong token: the page says so, in Japanese.
    driver.get(server.link.split('#')[0] + '#k=' + '0' * 32)
    problem = driver.find_element(By.ID, 'problem')
    wait.until(lambda d: problem.is_displayed())
    assert '接続用のリンクが違います' in problem.text, problem.text

finally:
    driver.quit()
    server.stop()
print('browser test passed')
