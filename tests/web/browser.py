# browser.py: the web pages in Debian's headless Chromium through WebDriver: a server on loopback, keys held as
# a hand holds them, the canvas as a picture, the console. Used by the browser test and the web benchmark.
import functools
import http.server
import os
import sys
import threading
import time
from io import BytesIO

from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains

RIGHT_CTRL = 'ControlRight'
RIGHT_SHIFT = 'ShiftRight'
# chromedriver gives its right-hand Control key the code 163 where a keyboard's is 17 (the right-hand one told by
# its location), and has no right-hand Shift: those keys are sent as a keyboard sends them, through the DevTools
# protocol.
KEY_EVENTS = {
    RIGHT_CTRL: {'key': 'Control', 'code': 'ControlRight', 'windowsVirtualKeyCode': 17, 'location': 2},
    RIGHT_SHIFT: {'key': 'Shift', 'code': 'ShiftRight', 'windowsVirtualKeyCode': 16, 'location': 2},
}


class Quiet(http.server.SimpleHTTPRequestHandler):
    extra = None  # a second folder, served under /extra/

    def translate_path(self, path):
        if self.extra and path.startswith('/extra/'):
            inside = os.path.normpath(path.split('?')[0][len('/extra/'):])
            return os.path.join(self.extra, inside) if not inside.startswith('..') else self.extra
        return super().translate_path(path)

    def log_message(self, *args):
        pass


def serve(folder, extra=None):
    """An HTTP server for `folder` (and `extra` under /extra/) on a free loopback port, in a thread; stop it
    with .shutdown()."""
    handler = type('Handler', (Quiet,), {'extra': extra})
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(handler, directory=folder))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class Page:
    """Headless Chromium driven through chromedriver; one page at a time."""

    def __init__(self, server):
        self.base = 'http://127.0.0.1:%d/' % server.server_address[1]
        options = webdriver.ChromeOptions()
        options.binary_location = '/usr/bin/chromium'
        for arg in ('--headless=new', '--no-sandbox', '--window-size=1000,900', '--mute-audio'):
            options.add_argument(arg)
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
        self.driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
        self.console = []  # the console of the page open now
        self.earlier = []  # the earlier pages'
        self.last = None  # the canvas as last looked at

    def open(self, path):
        self.read_console()
        self.earlier += self.console
        self.console = []
        self.driver.get(self.base + path)
        return self.wait_for('Module.korvado && Module.korvado.passes > 0', 20, 'the first frame')

    def js(self, expression):
        return self.driver.execute_script('return ' + expression)

    def wait_for(self, expression, seconds, what):
        end = time.time() + seconds
        while time.time() < end:
            value = self.js(expression)
            if value:
                return value
            time.sleep(0.05)
        fail('no %s within %d s' % (what, seconds))

    def hold(self, key, seconds=0.12):
        if key not in KEY_EVENTS:
            ActionChains(self.driver).key_down(key).pause(seconds).key_up(key).perform()
            return
        self.driver.execute_cdp_cmd('Input.dispatchKeyEvent', dict(KEY_EVENTS[key], type='rawKeyDown'))
        time.sleep(seconds)
        self.driver.execute_cdp_cmd('Input.dispatchKeyEvent', dict(KEY_EVENTS[key], type='keyUp'))

    def canvas(self):
        png = self.driver.find_element('id', 'canvas').screenshot_as_png
        shot = Image.open(BytesIO(png)).convert('RGB')
        border = (shot.width - 800) // 2  # the page's frame
        self.last = shot.crop((border, border, border + 800, border + 600))
        return self.last

    def read_console(self):
        self.console += self.driver.get_log('browser')
        return self.console

    def errors(self):
        return [e['message'] for e in self.earlier + self.read_console() if e['level'] == 'SEVERE']

    def quit(self):
        self.driver.quit()


def fail(why):
    print('FAIL: ' + why, file=sys.stderr)
    sys.exit(1)


def site_from_env():
    site = os.environ.get('KORVADO_WEB_SITE', '')
    if not os.path.exists(os.path.join(site, 'index.html')):
        fail('no web pages in "%s": make web builds them' % site)
    return site
