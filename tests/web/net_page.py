# net_page.py ROLE URL DIR [WAY [round]]: one player of net.html in headless Chromium (run it in a namespace of
# the lobby lab: the browser has no route out), kept in step with the other player through files in DIR.
#   host   hosts a duel: DIR/link gets his invite link (the test passes it on as DIR/invite); he starts a round of
#          the first game type once the session runs, finds the joiner's walk on his own canvas, and, while the
#          joiner's tab is in the background, the sign "Waiting for the network" on it, gone once the joiner is back
#   link   opens the invite link in DIR/invite and plays: walks right in the round, then hides his tab for 10 s
#   code   joins by typing the invite code in DIR/code on the front page's "Join a duel", and plays on until
#          DIR/over (the rival's script plays the round)
# With WAY ("direct" or "through the lobby") host and link check that their page says it (a direct one over a
# pair of the routers' public addresses, as the browser's statistics say); with "round" they end after the walk.
# Each prints its measurements; the status is 0 when every check held and the console shows no error.
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from browser import Page, fail  # noqa: E402
from PIL import Image, ImageChops  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402

role, url, folder = sys.argv[1:4]
WAY = sys.argv[4] if len(sys.argv) > 4 else ''  # host, link: the way both pages must say
ROUND_ONLY = sys.argv[5:] == ['round']  # host, link: no background after the walk
IMAGES = os.path.join(os.environ['KORVADO_BUILD_DIR'], 'images')
BLUE = Image.open(os.path.join(IMAGES, 'P2/hrac_right.png')).convert('RGB')
STREET = Image.open(os.path.join(IMAGES, 'bgsml.png')).convert('RGB')
SIGN = (240, 226, 190)  # the paper under "Waiting for the network ..."


def said(name, text=''):
    with open(os.path.join(folder, name), 'w') as f:
        f.write(text)


def heard(name, seconds):
    path = os.path.join(folder, name)
    end = time.time() + seconds
    while not os.path.exists(path):
        if time.time() > end:
            fail('%s: %s never came' % (role, name))
        time.sleep(0.05)
    with open(path) as f:
        return f.read().strip()


class At:  # the page's server is the lobby of the lab: URLs are whole
    server_address = ('', 0)


def opened(address):
    page = Page(At())
    page.base = ''
    page.open(address)
    return page


def front(page):
    """The intro's two pictures passed by Enter: the front page."""
    for _ in range(20):
        if page.js('Module.korvado.net && Module.korvado.net.begun'):
            return
        page.hold(Keys.ENTER, 0.05)
        time.sleep(0.3)
    fail('%s: the intro did not lead to the front page' % role)


def net(page, field):
    return page.js('Module.korvado.net && Module.korvado.net.%s' % field)


def sign_pixels(page):
    top = page.canvas().crop((150, 0, 650, 40))
    return sum(1 for p in top.getdata() if p == SIGN)


def blue_x(page):
    """Where along row 430 the canvas shows the blue cowboy standing, and the pixels there unlike him (his
    picture over the street, its pure green left out)."""
    shot = page.canvas()
    mask = Image.new('L', BLUE.size)
    mask.putdata([0 if p == (0, 255, 0) else 255 for p in BLUE.getdata()])

    def wrong(x):
        box = (x, 430, x + BLUE.width, 430 + BLUE.height)
        want = STREET.crop(box)
        want.paste(BLUE, (0, 0), mask)
        r, g, b = ImageChops.difference(want, shot.crop(box)).split()
        worst = ImageChops.lighter(ImageChops.lighter(r, g), b)
        return worst.point(lambda v: 255 if v > 24 else 0).histogram()[255]
    near = min(range(0, 800 - BLUE.width + 1, 4), key=wrong)
    x = min(range(max(0, near - 3), min(800 - BLUE.width, near + 3) + 1), key=wrong)
    return x, wrong(x)


def rate(page):
    """Passes a second of the session, over 2 s: 77 as on the desktop, not one a frame of the page (60 at most on
    most displays, fewer on a busy machine)."""
    passes, frames, at = net(page, 'present'), page.js('Module.korvado.passes'), time.time()
    time.sleep(2)
    passes = net(page, 'present') - passes
    frames = page.js('Module.korvado.passes') - frames
    if passes < 70 * (time.time() - at) and passes < 1.05 * frames:
        fail('%s: %d passes in %d frames of the page, in %.1f s' % (role, passes, frames, time.time() - at))
    return passes / (time.time() - at)


def invite_code(page):
    """The host's invite code, from the console within 10 s."""
    end = time.time() + 10
    while time.time() < end:
        found = [re.search(r'invite code: \+(\w{6})', e['message']) for e in page.read_console()]
        code = next((f.group(1) for f in found if f), None)
        if code:
            return code
        time.sleep(0.1)
    fail('host: no invite code in the console')


def host_invites():
    page = opened(url)
    front(page)
    page.hold(Keys.ENTER)  # Host a duel
    code = invite_code(page)
    link = page.js("document.getElementById('invite').hidden ? '' : document.getElementById('invite-link').textContent")
    if not link.endswith('net.html#' + code):
        fail('host: the invite link beside the game is %r for the code +%s' % (link, code))
    print('host: invite code +%s, link %s' % (code, link))
    said('link', link)
    page.wait_for('Module.korvado.net.playing', 30, 'session')
    print('host: the session goes %s' % net(page, 'way'))
    return page


def check_way(page):
    """The way the page says, as WAY wants it; a direct one over a pair of the routers' public addresses."""
    if not WAY:
        return
    page.wait_for('Module.korvado.rtcWay', 12, 'choice of the way')  # the session starts on the relay
    time.sleep(0.2)  # a frame or two: the screens say the way chosen
    pair = page.wait_for('Module.korvado.rtcPair', 5, 'WebRTC pair') if WAY == 'direct' else ''
    if net(page, 'way') != WAY or pair not in ('', 'srflx srflx'):
        fail('%s: the session goes %s (the browser\'s pair: %s), not %s' % (role, net(page, 'way'), pair, WAY))
    print('%s: %s%s, tried from %.2f s, chosen at %.2f s'
          % (role, WAY, ', the browser\'s candidate pair: ' + pair if pair else '',
             page.js('Module.korvado.rtcBegunAt') / 1000, page.js('Module.korvado.rtcWayAt') / 1000))


def host_round(page):
    """A round of the first game type; the joiner's walk on this canvas."""
    page.hold(Keys.ENTER)  # the menu's new game
    time.sleep(0.4)
    page.hold(Keys.ENTER)  # the first game type: its countdown, 3.5 s
    time.sleep(3.8)
    start_x, wrong = blue_x(page)
    said('round')
    heard('walked', 20)
    end = time.time() + 3  # his last steps may still be on their way, or a slow machine's frame behind
    x, wrong = blue_x(page)
    while (wrong > 40 or x - start_x < 40) and time.time() < end:
        time.sleep(0.2)
        x, wrong = blue_x(page)
    print('host: the joiner\'s cowboy walked from x %d to %d on the host\'s canvas' % (start_x, x))
    if wrong > 40 or x - start_x < 40:
        fail('host: the joiner\'s walk does not show on the host\'s canvas (x %d, %d pixels unlike him)' % (x, wrong))
    print('host: %.0f passes a second in the round' % rate(page))
    said('rated')


def host_waits(page):
    """The sign while the joiner's tab is in the background, none once he is back and the session goes on."""
    heard('hidden', 20)
    end = time.time() + 9
    while sign_pixels(page) < 200:
        if time.time() > end:
            fail('host: no "Waiting for the network" while the joiner\'s tab was in the background')
        time.sleep(0.2)
    waited_at = net(page, 'present')
    print('host: "Waiting for the network" while the joiner\'s tab is in the background, at pass %d' % waited_at)
    heard('back', 20)
    end = time.time() + 5
    while sign_pixels(page) >= 200 or net(page, 'present') < waited_at + 77:
        if time.time() > end or not net(page, 'playing'):
            fail('host: the session did not go on once the joiner was back (pass %d)' % net(page, 'present'))
        time.sleep(0.2)
    print('host: the session goes on once the joiner is back (pass %d), no sign' % net(page, 'present'))


def joiner_comes():
    if role == 'link':
        page = opened(heard('invite', 40))
    else:
        page = opened(url)
        front(page)
        page.hold(Keys.ARROW_DOWN)
        page.hold(Keys.ENTER)  # Join a duel
        for c in heard('code', 40):
            page.hold(c.lower(), 0.03)
        page.hold(Keys.ENTER)
    page.wait_for('Module.korvado.net.playing', 30, 'session')
    print('joiner: from opening the page to the first pass: %.2f s (its network from %.2f s), the session goes %s'
          % (net(page, 'firstPassAt') / 1000, net(page, 'begunAt') / 1000, net(page, 'way')))
    return page


def joiner_walks(page):
    heard('round', 40)
    time.sleep(0.3)
    page.hold(Keys.ARROW_RIGHT, 0.6)
    keys = page.js('Module.korvado.net.keyMs')
    if not keys or max(keys) > 50:
        fail('joiner: his own key took %s ms to his own screen' % keys)
    print('joiner: his own key to his own screen: %s ms (the frame that drew it)' % ', '.join('%.0f' % k for k in keys))
    said('walked')
    print('joiner: %.0f passes a second in the round' % rate(page))
    heard('rated', 20)


def joiner_hides(page):
    """10 s behind another tab, then back: the session goes on."""
    first = page.driver.current_window_handle
    page.driver.switch_to.new_window('tab')
    said('hidden')
    time.sleep(10)
    page.driver.close()
    page.driver.switch_to.window(first)
    said('back')
    before = net(page, 'present')
    time.sleep(2)
    if not net(page, 'playing') or net(page, 'present') < before + 77:
        fail('joiner: the session did not go on after the background (passes %d to %d)' % (before, net(page, 'present')))
    print('joiner: back from 10 s in the background, the session goes on (pass %d)' % net(page, 'present'))


def with_desktop(page):
    if net(page, 'way') != 'through the lobby':
        fail('code: the session with a desktop goes %s' % net(page, 'way'))
    time.sleep(3)  # the clocks of a session are level within a few seconds
    print('code: %.0f passes a second with a desktop' % rate(page))
    heard('over', 90)  # the desktop host's script plays the round


if role == 'host':
    page = host_invites()
    check_way(page)
    host_round(page)
    if not ROUND_ONLY:
        host_waits(page)
    said('checked')
else:
    page = joiner_comes()
    check_way(page)
    if role == 'code':
        with_desktop(page)
    else:
        joiner_walks(page)
        if not ROUND_ONLY:
            joiner_hides(page)
        heard('checked', 60)  # the joiner's page stays until the host's checks are over
errors = page.errors()
page.quit()
if errors:
    fail('%s: the console shows errors: %s' % (role, errors))
print('%s: the console shows no error' % role)
