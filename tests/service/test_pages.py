#!/usr/bin/python3
"""letrador-servicio's pages in a real browser: headless chromium at a phone's size (390 x 844),
driven through selenium, against cartel-virtual signs on pseudo-terminals. With --capturas DIR
the five pages are also saved there as PNG (the README's pictures)."""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.support.ui import Select

ARGS = None
PASSWORD = 'clave-del-navegador'
OK = 'La grabación se realizó sin errores.'


def wait(what, seconds=20, step=0.1):
    """Polls `what` until it answers something true; that answer, or an AssertionError."""
    end = time.monotonic() + seconds
    while True:
        try:
            got = what()
        except WebDriverException:  # the page was being reloaded
            got = None
        if got:
            return got
        if time.monotonic() > end:
            raise AssertionError('no llegó a tiempo: %s' % getattr(what, '__doc__', what))
        time.sleep(step)


class Sign:
    """A cartel-virtual on WORK/puertos/COMn, recording what it receives."""

    def __init__(self, work, port, scratch):
        self.record = os.path.join(scratch, 'registro%d.txt' % port)
        self.proc = subprocess.Popen(
            [ARGS.cartel_virtual, '--enlace', os.path.join(work, 'puertos', 'COM%d' % port),
             '--registro', self.record],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        self.proc.stdout.readline()  # the device: the link exists from now on

    def read(self, suffix=''):
        """the listing it keeps, or with '.bin' the bytes as received"""
        with open(self.record + suffix, 'rb') as f:
            return f.read()

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(5)


class Pages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix='letrador-paginas-')
        cls.work = os.path.join(cls.scratch, 'trabajo')
        for sub in ('tipografias', 'mensajes'):
            shutil.copytree(os.path.join(ARGS.trabajo, sub), os.path.join(cls.work, sub))
        os.makedirs(os.path.join(cls.work, 'puertos'))
        subprocess.run([ARGS.servicio, '--poner-clave', '--carpeta', cls.work],
                       input=(PASSWORD + '\n' + PASSWORD + '\n').encode(), check=True,
                       stderr=subprocess.DEVNULL)
        cls.signs = {n: Sign(cls.work, n, cls.scratch) for n in (3, 7, 9)}
        cls.log = open(os.path.join(cls.scratch, 'servicio.txt'), 'w+')
        # The service's day starts a few seconds before a minute ends, so the entry the
        # programme test adds for the next minute comes soon.
        cls.service = subprocess.Popen(
            [ARGS.servicio, '--carpeta', cls.work, '--escuchar', '127.0.0.1:0',
             '--hora-inicial', '2024-05-06 07:59:40'],
            stdout=subprocess.DEVNULL, stderr=cls.log, stdin=subprocess.DEVNULL)

        def first_line():
            """the service's address"""
            cls.log.seek(0)
            return re.search(r'atendiendo en (http://127\.0\.0\.1:\d+)/', cls.log.read())
        cls.base = wait(first_line, 10).group(1)

        opts = webdriver.ChromeOptions()
        opts.binary_location = '/usr/bin/chromium'
        for a in ('--headless=new', '--no-sandbox', '--disable-dev-shm-usage', '--disable-gpu',
                  '--disable-background-networking', '--disable-component-update', '--disable-sync',
                  '--no-first-run', '--lang=es', '--window-size=390,844', '--force-device-scale-factor=1',
                  '--user-data-dir=' + os.path.join(cls.scratch, 'chromium')):
            opts.add_argument(a)
        cls.driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=opts)
        # A phone's screen: the page's own viewport is 390 x 844, whatever the window around it.
        cls.driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
            'width': 390, 'height': 844, 'deviceScaleFactor': 1, 'mobile': True})
        cls.open('/mensajes')
        cls.driver.find_element(By.ID, 'clave').send_keys(PASSWORD)
        cls.driver.find_element(By.ID, 'cmdEntrar').click()
        wait(lambda: cls.driver.current_url.endswith('/mensajes'))

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.service.send_signal(signal.SIGTERM)
        code = cls.service.wait(10)
        for s in cls.signs.values():
            s.stop()
        cls.log.seek(0)
        log = cls.log.read()
        cls.log.close()
        shutil.rmtree(cls.scratch, ignore_errors=True)
        if code != 0:
            raise AssertionError('letrador-servicio terminó con %d:\n%s' % (code, log))

    @classmethod
    def open(cls, path):
        cls.driver.get(cls.base + path)

    def find(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def shot(self, name):
        if ARGS.capturas:
            self.driver.save_screenshot(os.path.join(ARGS.capturas, 'servicio-%s.png' % name))

    def test_a_programme_entry_one_minute_ahead_is_added(self):
        self.open('/programa')
        now = self.find('#hora').text  # "2024-05-06 07:59:41"
        h, m = int(now[11:13]), int(now[14:16]) + 1
        ahead = '%02d:%02d' % (h + m // 60, m % 60)
        form = self.find('#frmAgregar')
        self.driver.execute_script('arguments[0].value = arguments[1]', form.find_element(By.NAME, 'hora'), ahead)
        form.find_element(By.NAME, 'carteles').send_keys('3')
        Select(form.find_element(By.NAME, 'mensaje')).select_by_value('horario.fmv')
        form.find_element(By.ID, 'cmdAgregar').click()
        wait(lambda: 'lu-vi %s 3 horario.fmv' % ahead in self.find('.programa').text)
        type(self).ahead = ahead

    def test_b_login_record_two_signs_and_see_both_verdicts(self):
        self.open('/mensajes')
        self.driver.find_element(By.LINK_TEXT, 'bienvenida.fmv').click()
        imgs = self.driver.find_elements(By.CSS_SELECTOR, '.parrafo img')
        self.assertGreater(len(imgs), 0)
        wait(lambda: all(self.driver.execute_script('return arguments[0].naturalWidth', i) > 0 for i in imgs))
        self.shot('mensajes')
        for box in self.driver.find_elements(By.NAME, 'puerto'):
            if box.get_attribute('value') in ('3', '7') and not box.is_selected():
                box.click()
        self.find('#cmdGrabar').click()
        wait(lambda: '/grabacion?id=' in self.driver.current_url)
        verdicts = lambda: [v.text for v in self.driver.find_elements(By.CSS_SELECTOR, '.veredicto')]
        wait(lambda: verdicts() == [OK, OK], 60)
        logs = [l.text for l in self.driver.find_elements(By.CSS_SELECTOR, '.registro')]
        self.assertTrue(all('Grabando párrafo 1 de' in l for l in logs), logs)
        self.assertFalse(self.find('#frmDetener').is_displayed())

    def test_c_quick_message_picture_follows_typing(self):
        self.open('/rapido')
        picture = lambda: self.find('#vista').get_attribute('src')
        empty = picture()
        self.find('#texto').send_keys('Hola')
        wait(lambda: picture() != empty)
        self.assertNotEqual(self.find('#columnas').text, 'Columnas del párrafo: 0')
        hola = picture()
        self.find('#efectos button[data-efecto="<3>"]').click()
        wait(lambda: picture() != hola)
        self.assertEqual(self.find('#texto').get_attribute('value'), 'Hola<3>')
        self.find('#texto').send_keys('ß')
        wait(lambda: 'ß' in self.find('#faltan').text)
        self.assertIn('Capacidad ocupada', self.find('#capacidad').text)
        self.shot('rapido')
        self.find('input[name="puerto"][value="7"]').click()
        self.find('#cmdGrabar').click()
        wait(lambda: [v.text for v in self.driver.find_elements(By.CSS_SELECTOR, '.veredicto')] == [OK], 30)
        self.assertIn('Mensaje rápido', self.find('#grabacion h3').text)

    def test_d_next_twice_sends_two_turn_displays(self):
        self.open('/turnos')
        form = self.find('form.nuevo')
        form.find_element(By.NAME, 'nombre').send_keys('Caja 1')
        Select(form.find_element(By.NAME, 'puerto')).select_by_value('9')
        form.find_element(By.TAG_NAME, 'button').click()
        for number in ('01', '02'):
            # The page reloads after each press: the button may be missing or stale for a moment.
            wait(lambda: self.find('.turnero button[value="siguiente"]').click() or True)
            wait(lambda: self.find('.turnero .numero').text == number)
            wait(lambda: 'sin errores' in self.find('.turnero .veredicto').text, 30)
        self.shot('turnos')
        entry = re.compile(r'^entrada (\S+) ([0-9A-F ]+?)\s*$', re.M)
        listed = lambda: entry.findall(self.signs[9].read().decode(errors='replace'))
        entries = wait(lambda: len(listed()) == 2 and listed())
        self.assertEqual([n for n, _ in entries], ['01', '02'])
        self.assertEqual(self.signs[9].read('.bin'), b''.join(
            b'\xC3\x01\xC3\x02' + bytes.fromhex(h) + b'\xD0\xC9\xC9\xD2\xC5' for _, h in entries))

    def test_e_programme_entry_is_recorded_and_pages_are_shot(self):
        self.open('/estado')
        self.shot('estado')

        def recorded():
            """the programme entry's verdict"""
            self.open('/programa')
            return 'sin errores' in self.find('.programa').text
        wait(recorded, 75, 1)
        self.assertIn('lu-vi %s 3 horario.fmv' % self.ahead, self.find('.programa').text)
        self.shot('programa')


if __name__ == '__main__':
    parser = argparse.ArgumentParser()
    parser.add_argument('--servicio', required=True)
    parser.add_argument('--cartel-virtual', dest='cartel_virtual', required=True)
    parser.add_argument('--trabajo', required=True)
    parser.add_argument('--capturas')
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
