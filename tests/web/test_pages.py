# test_pages.py: both local web pages played in headless Chromium (net.html has test_net_pages.sh); each page of the
# site leads to the others; a desktop demo replays to the desktop's state hash,
# the intro, the menu and a round answer held keys and a pad, the exit item leads back to the title, the main page
# left alone plays a demo, the screen shows the game's pictures, the sound starts with the first key, the console
# shows no error.
import os
import re
import sys
import time

from PIL import Image, ImageChops

sys.path.insert(0, os.path.dirname(__file__))
from browser import RIGHT_CTRL, RIGHT_SHIFT, Page, fail, serve, site_from_env  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402

BUILD = os.environ['KORVADO_BUILD_DIR']
SOURCE = os.environ['KORVADO_SOURCE_DIR']
IMAGES = os.path.join(BUILD, 'images')
STREET = Image.open(os.path.join(IMAGES, 'bgsml.png')).convert('RGB')


def picture(name):
    return Image.open(os.path.join(IMAGES, name)).convert('RGB')


def wrong_pixels(shot, pic, x=0, y=0):
    """Pixels of the shot at (x, y) unlike `pic` drawn over the street with its pure green left out."""
    box = (x, y, x + pic.width, y + pic.height)
    want = STREET.crop(box)
    want.paste(pic, (0, 0), key_mask(pic))
    r, g, b = ImageChops.difference(want, shot.crop(box)).split()
    worst = ImageChops.lighter(ImageChops.lighter(r, g), b)
    return worst.point(lambda v: 255 if v > 24 else 0).histogram()[255]


def key_mask(pic):
    mask = Image.new('L', pic.size)
    mask.putdata([0 if p == (0, 255, 0) else 255 for p in pic.getdata()])
    return mask


def shows(page, pic, x, y, seconds=3):
    """The canvas comes to show `pic` at (x, y) within `seconds`."""
    end = time.time() + seconds
    while wrong_pixels(page.canvas(), pic, x, y) > 40:
        if time.time() > end:
            return False
        time.sleep(0.1)
    return True


def find_x(page, pic, y):
    """Where along row y the canvas comes to show `pic` within a second (the cowboy standing again): its x and
    the wrong pixels there."""
    end = time.time() + 1
    while True:
        shot = page.canvas()
        x, wrong = min((wrong_pixels(shot, pic, x, y), x) for x in range(800 - pic.width + 1))[::-1]
        if wrong <= 40 or time.time() > end:
            return x, wrong


def kept_demos():
    """The golden demos that a page's edition plays, with the passes and final state hash that --timedemo prints
    for them on the desktop (tests/golden/outcomes.txt; demo_outcomes holds the desktop to it)."""
    pages = {'korvado_sp': 'index.html', 'korvado_mp': 'mp.html'}
    with open(os.path.join(SOURCE, 'tests', 'golden', 'outcomes.txt')) as f:
        lines = [line.split() for line in f if line.strip() and not line.startswith('#')]
    return [(pages[program], path, (passes, hash)) for program, path, passes, hash in lines
            if program in pages and path.startswith('tests/golden/')]


def page_timedemo(page, html, demo):
    page.open(html + '?timedemo=extra/' + demo)
    end = time.time() + 60
    while time.time() < end:
        for line in page.read_console():
            found = re.search(r'(\d+) passes .* final state hash (\w+)', line['message'])
            if found:
                return found.groups()
        time.sleep(0.2)
    fail('%s played no demo to its end' % html)


def check_demos(page):
    for html, demo, desktop in kept_demos():
        web = page_timedemo(page, html, demo)
        print('%s --timedemo %s: %s passes, hash %s; the desktop: %s passes, hash %s' % (html, demo, *web, *desktop))
        if web != desktop:
            fail('%s replays %s otherwise than the desktop: %s passes, hash %s' % (html, demo, *desktop))


# What the page's sound does: its audio contexts, and the sounds started (the music, each shot, ...).
AUDIO_SPY = """
const RealContext = window.AudioContext;
window.audioContexts = [];
window.AudioContext = function (...args) { const c = new RealContext(...args); audioContexts.push(c); return c; };
window.AudioContext.prototype = RealContext.prototype;
window.soundsStarted = 0;
const start = AudioBufferSourceNode.prototype.start;
AudioBufferSourceNode.prototype.start = function (...args) { soundsStarted++; return start.apply(this, args); };
"""


def sound(page):
    return page.js('[audioContexts.map(c => c.state).join(), soundsStarted]')


def into_round(page, html, menu_background, wait):
    """The intro's two pictures and the menu by Enter, then a round of game type 0 (its countdown lasts 3.5 s):
    the canvas `wait` seconds into it."""
    page.open(html)
    if not shows(page, picture('tolvlogo.png'), 0, 0):
        fail(html + ': no studio picture')
    if sound(page) != ['suspended', 0]:
        fail('%s: sound before the first key: %s' % (html, sound(page)))
    page.hold(Keys.ENTER)
    if not shows(page, picture('kvdlogo.png'), 0, 0):
        fail(html + ': Enter did not lead to the title')
    if sound(page) != ['running', 1]:
        fail('%s: no music after the first key: %s' % (html, sound(page)))
    page.hold(Keys.ENTER)
    page.wait_for('Module.korvado.menuAt', 5, html + ' menu')
    if wrong_pixels(page.canvas().crop((0, 0, 200, 100)), picture(menu_background).crop((0, 0, 200, 100))) > 40:
        fail(html + ': no menu background')
    page.hold(Keys.ENTER)  # new game: the game types
    time.sleep(0.4)
    page.hold(Keys.ENTER)  # whiskey hunt
    time.sleep(wait)
    return page.canvas()


def check_round(html, shot):
    """The street under the round, no key colour left anywhere, the portraits over the counters."""
    if wrong_pixels(shot, STREET.crop((0, 570, 800, 600)), 0, 570) > 40:
        fail(html + ': no street under the round')
    if any(p == (0, 255, 0) for p in shot.getdata()):
        fail(html + ': a picture shows its key colour')
    if wrong_pixels(shot, picture('hud/bp.png'), 5, 0) + wrong_pixels(shot, picture('hud/rp.png'), 695, 0) > 40:
        fail(html + ': no portraits over the counters')


def play_sp(page):
    # Red walks as the countdown ends, before the computer can be level with him and shoot.
    shot = into_round(page, 'index.html', 'menu/bgrsp.png', 3.0)
    page.hold(Keys.ARROW_LEFT, 0.8)
    x, wrong = find_x(page, picture('P1/hrac_left.png'), 120)
    check_round('index.html', shot)
    if wrong_pixels(shot, picture('P1/hrac_left.png'), 700, 120) > 40:
        fail('index.html: the red cowboy was not at his start')
    print('index.html: red walked from x 700 to %d with Left held from the countdown\'s end' % x)
    if wrong > 40 or not 40 <= 700 - x <= 200:
        fail('index.html: Left did not walk the red cowboy (x %d, %d pixels unlike him)' % (x, wrong))


def play_mp(page):
    shot = into_round(page, 'mp.html', 'menu/bgr.png', 3.8)
    check_round('mp.html', shot)
    if wrong_pixels(shot, picture('P2/hrac_right.png'), 20, 430) > 40:
        fail('mp.html: the blue cowboy is not at his start')
    page.hold(RIGHT_CTRL)  # not red's fire in a page: held with blue's W it would be Ctrl+W, closing the tab
    time.sleep(0.3)
    if sound(page)[1] != 1:
        fail('mp.html: Right Ctrl fired in a page')
    page.hold(RIGHT_SHIFT)
    if not shows(page, picture('P1/hrac_left_cs.png'), 700, 120, 1) or sound(page)[1] != 2:
        fail('mp.html: Right Shift did not fire red\'s gun, or without its sound')
    page.hold('d', 0.5)
    x, wrong = find_x(page, picture('P2/hrac_right.png'), 430)
    print('mp.html: blue walked from x 20 to %d with D held 0.5 s' % x)
    if wrong > 40 or not 40 <= x - 20 <= 200:
        fail('mp.html: D did not walk the blue cowboy (x %d, %d pixels unlike him)' % (x, wrong))
    page.hold(Keys.ESCAPE, 0.04)  # the menu; its exit item leads back to the title
    for _ in range(3):
        time.sleep(0.3)
        page.hold(Keys.ARROW_DOWN)
    time.sleep(0.3)
    page.hold(Keys.ENTER)
    if not shows(page, picture('kvdlogo.png'), 0, 0):
        fail('mp.html: the menu\'s exit item did not return to the title')
    time.sleep(0.3)
    page.hold(Keys.ENTER)  # the game goes on from that title
    if not shows(page, picture('menu/bgr.png').crop((0, 0, 200, 100)), 0, 0):
        fail('mp.html: Enter on the title it returned to did not lead to the menu')


def settings_page(page):
    """mp.html's menu by Enter, then its settings page by F2: the canvas."""
    page.open('mp.html')
    for _ in range(2):
        page.hold(Keys.ENTER)
        time.sleep(0.3)
    page.wait_for('Module.korvado.menuAt', 5, 'mp.html menu')
    page.hold(Keys.F2)
    time.sleep(0.4)
    return page.canvas().copy()


def check_settings(page):
    """The music turned down on the settings page is still down once the page is loaded again."""
    page.driver.execute_script('localStorage.clear()')
    before = settings_page(page)
    for key in [Keys.ARROW_DOWN] * 11 + [Keys.ARROW_LEFT] * 3 + [Keys.ARROW_UP] * 11:  # the music row: 10, 7
        page.hold(key, 0.05)
        time.sleep(0.05)
    time.sleep(0.3)
    changed = page.canvas().copy()
    page.hold(Keys.ESCAPE)
    time.sleep(0.3)
    stored = page.js('localStorage.getItem("korvado.settings")') or ''
    print('mp.html: the site keeps ' + ', '.join(l for l in stored.splitlines() if l.startswith(('music', 'red.fire'))))
    if 'music = 7' not in stored.splitlines() or 'red.fire = right shift' not in stored.splitlines():
        fail('mp.html: the settings kept are not the page\'s: %r' % stored)
    if wrong_pixels(changed, before) < 20:
        fail('mp.html: the settings page did not change with the music turned down')
    again = settings_page(page)
    again.save(os.path.join(BUILD, 'web-settings.png'))  # to look at
    if wrong_pixels(again, changed) > 20:
        fail('mp.html: the settings page shows other settings once the page is loaded again')


# The page's clock (SDL_GetTicks reads Date.now), put forward when the test says.
CLOCK_AHEAD = """
const realNow = Date.now;
window.clockAhead = 0;
Date.now = () => realNow() + clockAhead;
"""


def check_attract(page):
    """The main page left alone 30 s plays a shipped demo at its recorded pace (a pass every 16-17 ms, a pass
    each browser frame here); a key ends it, back on the menu."""
    script = page.driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': CLOCK_AHEAD})
    page.open('index.html')
    page.hold(Keys.ENTER)
    time.sleep(0.3)
    page.hold(Keys.ENTER)
    page.wait_for('Module.korvado.menuAt', 5, 'index.html menu')
    time.sleep(0.3)
    page.driver.execute_script('clockAhead = 31000')
    if not shows(page, STREET.crop((0, 570, 800, 600)), 0, 570):
        fail('index.html: no demo after the main page was left alone 30 s')
    passes, start = page.js('Module.korvado.passes'), time.time()
    time.sleep(2)
    rate = (page.js('Module.korvado.passes') - passes) / (time.time() - start)
    print('index.html: attract mode plays its demo at %.0f passes a second' % rate)
    if not 40 <= rate <= 65:
        fail('index.html: the demo is not played at its pace (%.0f passes a second)' % rate)
    page.hold(Keys.ENTER)
    if not shows(page, picture('menu/bgrsp.png').crop((0, 0, 200, 100)), 0, 0):
        fail('index.html: a key did not end the demo')
    page.driver.execute_cdp_cmd('Page.removeScriptToEvaluateOnNewDocument', script)


# A pad the page sees once the test presses one of its buttons, as a browser shows a real one.
FAKE_PAD = """
const pad = {id: 'test pad', index: 0, connected: true, mapping: 'standard', timestamp: 1, axes: [0, 0, 0, 0],
             buttons: Array.from({length: 17}, () => ({pressed: false, value: 0}))};
let shown = false;
navigator.getGamepads = () => [shown ? pad : null, null, null, null];
window.pressPad = (button, down) => {
    pad.buttons[button] = {pressed: down, value: down ? 1 : 0};
    pad.timestamp++;
    shown = true;
};
"""


def check_pad(page):
    """A pad shown after the page started works the intro like Enter: its Start button (the standard layout's 9)."""
    script = page.driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': FAKE_PAD})
    page.open('mp.html')
    for _ in range(2):
        page.driver.execute_script('pressPad(9, true)')
        time.sleep(0.12)
        page.driver.execute_script('pressPad(9, false)')
        time.sleep(0.3)
    page.wait_for('Module.korvado.menuAt', 3, 'menu after a pad\'s Start twice')
    page.driver.execute_cdp_cmd('Page.removeScriptToEvaluateOnNewDocument', script)


def check_links(site):
    """Each page of the site leads to the two others (net.html: korvado_net, played through the lobby)."""
    pages = {'index.html', 'mp.html', 'net.html'}
    for html in sorted(pages):
        with open(os.path.join(site, html)) as f:
            links = set(re.findall(r'href="([a-z]+\.html)"', f.read()))
        if links != pages - {html}:
            fail('%s leads to %s' % (html, ', '.join(sorted(links)) or 'no page'))


def main():
    check_links(site_from_env())
    server = serve(site_from_env(), extra=SOURCE)
    page = Page(server)
    page.driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': AUDIO_SPY})
    try:
        check_demos(page)
        play_sp(page)
        play_mp(page)
        check_settings(page)
        check_attract(page)
        check_pad(page)
        errors = page.errors()
        if errors:
            fail('the console shows errors:\n' + '\n'.join(errors))
    except SystemExit:
        if page.last:
            page.last.save(os.path.join(BUILD, 'web-failed.png'))  # what the canvas showed when the test failed
        raise
    finally:
        page.quit()
        server.shutdown()
    print('PASS')


main()
