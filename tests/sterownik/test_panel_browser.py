#!/usr/bin/python3
"""The web panel in headless Chromium against the real controller, each test in a hall of its own.

Run: test_panel_browser.py --sterownik PATH (or STEROWNIK=PATH in the environment).
"""
import os
import signal
import statistics
import sys
import time
import unittest

import panel_hall

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

STEROWNIK = os.environ.get('STEROWNIK')
COMMANDS = '[data-scena], [data-polecenie]'
ALERT = 'Brak połączenia ze sterownikiem'


hall_state = panel_hall.state_line


def lit_in(data):
    pairs = (p.split('=') for p in data.decode().strip().split('&') if p)
    return {int(k[2:]) for k, v in pairs if v != '1'}


def wait(condition, timeout, message):
    return WebDriverWait(None, timeout, poll_frequency=0.05).until(lambda _: condition(), message)


class Hall(panel_hall.Hall):
    """The shared temporary hall, started, with `lit` lamps lit; cleaned up with the test."""

    def __init__(self, test, lit=()):
        super().__init__(STEROWNIK)
        test.addCleanup(self.close)
        self.url = self.origin + '/'
        self.write_state(hall_state(set(lit)))
        self.start()


class PanelTest(unittest.TestCase):
    def setUp(self):
        options = Options()
        options.binary_location = '/usr/bin/chromium'
        for arg in ('--headless=new', '--no-sandbox', '--window-size=1280,800'):
            options.add_argument(arg)
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
        self.driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
        self.addCleanup(self.driver.quit)

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def connected(self):
        return self.js('return document.body.dataset.polaczenie') == 'tak'

    def lit_cells(self):
        return {int(n) for n in self.js(
            'return [...document.querySelectorAll("[data-stan=wl][data-lampa]")].map(c => c.dataset.lampa)')}

    def wait_cell(self, n, state, timeout):
        wait(lambda: self.js('return document.querySelector(`[data-lampa="${arguments[0]}"]`).dataset.stan', n)
             == state, timeout, f'L{n} never became {state}')

    def live_controls(self):  # the command controls a user could press now
        return self.js('return [...document.querySelectorAll(arguments[0])]'
                       '.filter(b => b.offsetParent && !b.disabled).length', COMMANDS)

    def press(self, selector):
        WebDriverWait(self.driver, 5).until(lambda d: (b := d.find_element(By.CSS_SELECTOR, selector))
                                            .is_displayed() and b.is_enabled() and b).click()

    def login(self, hall, user='jan', password='abc'):
        if not self.driver.current_url.startswith(hall.url):
            self.driver.get(hall.url)
        field = WebDriverWait(self.driver, 10).until(
            lambda d: (f := d.find_element(By.NAME, 'uzytkownik')).is_displayed() and f)
        field.clear()
        field.send_keys(user)
        secret = self.driver.find_element(By.NAME, 'haslo')
        self.assertEqual(secret.get_attribute('type'), 'password')
        secret.clear()
        secret.send_keys(password)
        self.driver.find_element(By.XPATH, '//button[normalize-space()="Zaloguj"]').click()

    def watch_cell(self, n):  # the browser's Date.now() when the cell first turns lit
        self.js('''const c = document.querySelector(`[data-lampa="${arguments[0]}"]`);
                   window.zapalona = null;
                   new MutationObserver(() => { if (c.dataset.stan === 'wl' && window.zapalona === null)
                       window.zapalona = Date.now(); }).observe(c, {attributes: true});''', n)

    def test_login_refuses_a_wrong_password_then_shows_the_plan(self):
        hall = Hall(self)
        for user, password, told in [('jan', 'abd', 'Hasło nieprawidłowe sprubuj ponownie!'),
                                     ('ktos', 'abc', 'program nie zna takiego użytkownika')]:
            with self.subTest(user=user):
                self.login(hall, user, password)
                wait(lambda: told in self.driver.find_element(By.TAG_NAME, 'body').text, 5, f'no "{told}"')
                self.assertEqual(self.live_controls(), 0)
                self.assertFalse(self.connected())
        self.login(hall)
        wait(self.connected, 10, 'the panel never connected after the login')
        self.assertEqual(self.live_controls(), 9)  # eight scenes and the all-off
        self.assertFalse(self.driver.find_element(By.NAME, 'uzytkownik').is_displayed())
        self.assertRegex(self.driver.find_element(By.TAG_NAME, 'header').text, r'(?s)test.*jan')
        refused = [e['message'] for e in self.driver.get_log('browser')
                   if 'Content Security Policy' in e['message'] or e['source'] == 'javascript']
        self.assertEqual(refused, [])

    def test_plan_shows_actual_txt_and_fits_tablet_and_phone(self):
        hall = Hall(self, lit={5, 41})
        self.login(hall)
        wait(lambda: self.connected() and self.lit_cells(), 10, 'the plan was never drawn')
        states = self.js('return [...document.querySelectorAll("[data-lampa]")]'
                         '.map(c => [+c.dataset.lampa, c.dataset.stan, getComputedStyle(c).backgroundColor])')
        self.assertEqual(states, [[n, 'wl', 'rgb(250, 250, 10)'] if n in (5, 41) else
                                  [n, 'wyl', 'rgb(192, 192, 192)'] for n in range(1, 109)])

        screens = [(1280, 800, False, 44), (390, 844, True, 0)]  # width, height, phone, least cell width
        for width, height, phone, least_width in screens:
            with self.subTest(width=width):
                self.driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
                    'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': phone})
                m = self.js('''const box = e => e.getBoundingClientRect();
                    const cells = [...document.querySelectorAll('[data-lampa]')].map(box);
                    return {scroll: document.documentElement.scrollWidth, inner: innerWidth,
                      cells: cells.map(r => [Math.round(r.top), Math.round(r.left), r.width, r.height]),
                      buttons: [...document.querySelectorAll('button')].filter(b => b.offsetParent)
                        .map(b => box(b).height)}''')
                self.assertLessEqual(m['scroll'], m['inner'])
                self.assertGreaterEqual(min(m['buttons']), 44)
                tops, lefts = (sorted({c[i] for c in m['cells']}) for i in (0, 1))
                self.assertEqual([(tops.index(c[0]), lefts.index(c[1])) for c in m['cells']],
                                 [divmod(n - 1, 9) for n in range(1, 109)])
                self.assertGreaterEqual(min(c[3] for c in m['cells']), 44)
                self.assertGreaterEqual(min(c[2] for c in m['cells']), least_width)
                if phone:  # the nine columns share the phone's width
                    self.assertGreater(m['cells'][8][1] + m['cells'][8][2] - m['cells'][0][1], 0.9 * m['inner'])
        self.driver.execute_cdp_cmd('Emulation.clearDeviceMetricsOverride', {})

        self.driver.refresh()
        drawn = wait(lambda: self.js('const m = performance.getEntriesByName("panel-plan")[0];'
                                     'return m && m.startTime'), 10, 'the plan was not drawn after a reload')
        print(f'figure: navigation to plan drawn {drawn:.0f} ms')

    def test_change_by_another_program_reaches_the_plan(self):
        hall = Hall(self)
        self.login(hall)
        wait(self.connected, 10, 'the panel never connected')
        took = []
        for _ in range(15):
            self.watch_cell(77)
            before = time.time() * 1000
            hall.write_state(hall_state({77}))
            self.wait_cell(77, 'wl', 0.5)
            self.assertEqual(self.lit_cells(), {77})
            took.append(self.js('return zapalona') - before)
            hall.write_state(hall_state(()))
            self.wait_cell(77, 'wyl', 0.5)
        print(f'figure: actual.txt replaced to L77 lit on the plan, median {statistics.median(took):.0f} ms, '
              f'longest {max(took):.0f} ms of {len(took)}')

    def test_scene_lamp_and_all_off_from_the_page(self):
        hall = Hall(self)
        self.login(hall)
        wait(self.connected, 10, 'the panel never connected')
        self.press('[data-scena="3"]')
        wait(lambda: hall.read_state() == hall_state({1, 108}), 5, 'scene 3 never reached actual.txt')
        self.wait_cell(108, 'wl', 5)
        self.press('[data-lampa="7"]')
        self.press('[data-polecenie="wlacz-lampe"]')
        wait(lambda: lit_in(hall.read_state()) == {1, 7, 108}, 5, 'L7 was not lit')
        self.wait_cell(7, 'wl', 5)
        self.press('[data-polecenie="wylacz-lampe"]')
        wait(lambda: lit_in(hall.read_state()) == {1, 108}, 5, 'L7 was not put out')
        self.driver.find_element(By.XPATH, '//dialog//button[normalize-space()="Zamknij"]').click()
        self.press('[data-polecenie="wylacz"]')
        wait(lambda: hall.read_state() == hall_state(()), 5, 'the all-off never reached actual.txt')
        self.assertEqual(len(hall.read_state()), 758)
        wait(lambda: any('panel (jan)' in line and 'scena 3' in line for line in hall.log().splitlines()),
             5, 'the log does not say who chose scene 3')

    def assert_down(self, alert):
        self.assertTrue(alert.is_displayed())
        self.assertEqual(alert.text, ALERT)
        self.assertTrue(self.js('const all = [...document.querySelectorAll(arguments[0])];'
                                'return all.length === 11 && all.every(b => b.hasAttribute("disabled"))', COMMANDS))

    def test_controller_frozen_then_killed_and_started_again(self):
        hall = Hall(self)
        self.login(hall)
        wait(self.connected, 10, 'the panel never connected')
        self.js('window.bezPrzeladowania = true')
        alert = self.driver.find_element(By.CSS_SELECTOR, '[role="alert"]')
        # Frozen: the socket stays open but the heartbeat stops.
        hall.process.send_signal(signal.SIGSTOP)
        try:
            wait(lambda: not self.connected(), 6, 'the panel did not notice the controller froze')
            self.assert_down(alert)
        finally:
            hall.process.send_signal(signal.SIGCONT)
        wait(self.connected, 20, 'the panel never came back after the freeze')

        hall.stop(signal.SIGKILL)
        wait(lambda: not self.connected(), 5, 'the panel did not notice the controller was gone')
        self.assert_down(alert)

        written = hall_state({9})  # the hall changed while the controller was down
        hall.write_state(written)
        self.watch_cell(9)
        before = time.time() * 1000
        hall.start()
        wait(self.connected, 40, 'the panel never came back')
        self.wait_cell(9, 'wl', 5)
        print(f'figure: controller restarted to plan up to date {self.js("return zapalona") - before:.0f} ms')
        self.assertTrue(self.js('return window.bezPrzeladowania === true'), 'the page was reloaded')
        self.assertFalse(self.driver.find_element(By.NAME, 'uzytkownik').is_displayed())
        self.assertFalse(alert.is_displayed())
        self.assertEqual(self.live_controls(), 9)
        self.assertEqual(hall.read_state(), written)


if __name__ == '__main__':
    if '--sterownik' in sys.argv[:-1]:
        STEROWNIK = sys.argv.pop(sys.argv.index('--sterownik') + 1)
        sys.argv.remove('--sterownik')
    if not STEROWNIK or not os.access(STEROWNIK, os.X_OK):
        sys.exit('usage: test_panel_browser.py --sterownik PATH_TO_BINARY (or STEROWNIK=PATH)')
    unittest.main()
