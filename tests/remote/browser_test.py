#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The phone's page in a real browser (headless Chromium) against tavik-cli serve with no
transmitter: a send by the keypad, the remembered selection, and a wrong token.
Usage: browser_test.py TAVIK_CLI [SCREENSHOT.png]"""

import subprocess
import sys

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

CLI = sys.argv[1]
SCREENSHOT = sys.argv[2] if len(sys.argv) > 2 else None

server = subprocess.Popen([CLI, 'serve', '--listen', '127.0.0.1:0', '--gap', '0'],
                          stdout=subprocess.PIPE, text=True)
link = server.stdout.readline().strip()
assert link.startswith('http://127.0.0.1:'), link

options = webdriver.ChromeOptions()
options.binary_location = '/usr/bin/chromium'
for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--window-size=390,844',
                 '--lang=ja', '--disable-dev-shm-usage'):
    options.add_argument(argument)
options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
wait = WebDriverWait(driver, 10)
try:
    # The phone's viewport, whatever the window's frame takes.
    driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                           {'width': 390, 'height': 844, 'deviceScaleFactor': 1,
                            'mobile': True})
    driver.get(link)
    wait.until(lambda d: len(Select(d.find_element(By.ID, 'system')).options) == 18)
    assert '#k=' not in driver.current_url, 'the token leaves the address bar'
    Select(driver.find_element(By.ID, 'system')).select_by_visible_text('TOEI システム')
    Select(driver.find_element(By.ID, 'number')).select_by_visible_text('3')
    for key in '12':
        driver.find_element(By.CSS_SELECTOR, f'[data-key="{key}"]').click()
    assert driver.find_element(By.ID, 'command').get_attribute('value') == '12'
    driver.find_element(By.ID, 'send').click()
    wait.until(lambda d: 'tavik T3 12' in d.find_element(By.ID, 'lines').text)
    lines = driver.find_element(By.ID, 'lines').text.split('\n')
    assert lines == ['デバイスが見付かりません。', 'tavik T3 12'], lines
    if SCREENSHOT:
        driver.save_screenshot(SCREENSHOT)

    # The phone remembers the system and the number; the token came with the first visit.
    driver.get(link.split('#')[0])
    wait.until(lambda d: len(Select(d.find_element(By.ID, 'system')).options) == 18)
    assert Select(driver.find_element(By.ID, 'system')).first_selected_option.text == \
        'TOEI システム'
    assert Select(driver.find_element(By.ID, 'number')).first_selected_option.text == '3'
    driver.find_element(By.CSS_SELECTOR, '[data-function="KU"]').click()
    wait.until(lambda d: 'tavik T3 KU' in d.find_element(By.ID, 'lines').text)

    # The page's own resources only: nothing broke the Content-Security-Policy.
    blocked = [e['message'] for e in driver.get_log('browser')
               if 'Content Security Policy' in e['message']]
    assert not blocked, blocked

    # A link with a wrong token: the page says so, in Japanese.
    driver.get(link.split('#')[0] + '#k=' + '0' * 32)
    problem = driver.find_element(By.ID, 'problem')
    wait.until(lambda d: problem.is_displayed())
    assert '接続用のリンクが違います' in problem.text, problem.text
finally:
    driver.quit()
    server.terminate()
    server.wait(timeout=10)
print('browser test passed')
