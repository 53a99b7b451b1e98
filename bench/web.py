# web.py SITE: the web pages measured in headless Chromium on loopback: the folder's size, the time from loading a
# page to its first frame and to the menu (Enter pressed again and again from the first frame on), and in a round the
# frames a second (the browser's, beside those it draws for a page without the game, and the game's passes, one
# a frame), what a pass costs the page (the frame rate it leaves room for) and the tab's CPU by Chromium's own
# counter. Each goal is checked; status 1 when one is missed.
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', 'tests', 'web'))
from browser import Page, serve  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402

SITE = sys.argv[1]
LOADS = 3
missed = []


def goal(name, met, figure):
    print('goal %s: %s (%s)' % (name, 'met' if met else 'MISSED', figure))
    if not met:
        missed.append(name)


def to_menu(page, html):
    """Milliseconds from the page's start to its first frame and to the menu."""
    page.open(html)
    first = page.js('Module.korvado.firstPassAt')
    while not page.js('Module.korvado.menuAt'):
        page.hold(Keys.ENTER, 0.03)
    return first, page.js('Module.korvado.menuAt')


def start_times(page):
    for html in ('index.html', 'mp.html'):
        times = [to_menu(page, html) for _ in range(LOADS)]
        first = statistics.median(t[0] for t in times)
        menu = statistics.median(t[1] for t in times)
        print('%s: first frame after %.0f ms, the menu after %.0f ms (medians of %d loads)' % (html, first, menu, LOADS))
        goal(html + ' menu within 3 s', menu <= 3000, '%.0f ms' % menu)


# Counts the browser's frames (its animation frame callbacks) from the call on.
COUNT_FRAMES = 'window.frames_drawn = 0; (function f() { frames_drawn++; requestAnimationFrame(f); })();'


def metric(page, name):
    metrics = page.driver.execute_cdp_cmd('Performance.getMetrics', {})['metrics']
    return next(m['value'] for m in metrics if m['name'] == name)


def frames_a_second(page, seconds):
    page.driver.execute_script(COUNT_FRAMES)
    start, before = time.time(), page.js('frames_drawn')
    time.sleep(seconds)
    return (page.js('frames_drawn') - before) / (time.time() - start)


def round_rates(page, seconds=5):
    page.driver.get(page.base + 'page.css')  # no game: the browser's own frame rate here
    idle = frames_a_second(page, seconds)
    page.open('index.html')
    for wait in (0.5, 0.5, 0.4, 0.4):  # the intro's pictures, the menu's new game, whiskey hunt
        page.hold(Keys.ENTER)
        time.sleep(wait)
    time.sleep(3.5)  # the countdown
    page.driver.execute_cdp_cmd('Performance.enable', {})
    page.driver.execute_script(COUNT_FRAMES)
    fields = ('frames_drawn', 'Module.korvado.passes', 'Module.korvado.passMs')
    before = [time.time()] + [page.js(f) for f in fields] + [metric(page, 'ProcessTime')]
    time.sleep(seconds)
    after = [time.time()] + [page.js(f) for f in fields] + [metric(page, 'ProcessTime')]
    wall = after[0] - before[0]
    fps, passes, busy, cpu = [(a - b) / wall for a, b in zip(after[1:], before[1:])]
    print('a round in index.html: %.0f frames a second drawn by the browser, %.0f passes of the game a second '
          '(%.2f ms each), the tab\'s process %.0f%% of a core' % (fps, passes, busy / passes, 100 * cpu))
    print('the browser draws %.0f frames a second without the game' % idle)
    goal('a pass of the game at every frame the browser draws in a round', fps >= 0.95 * idle and passes >= 0.95 * fps,
         '%.0f passes, %.0f of %.0f frames' % (passes, fps, idle))
    goal('60 frames a second: a pass, drawing included, under 16.7 ms', busy / passes < 1000 / 60,
         '%.2f ms' % (busy / passes))


def main():
    size = int(subprocess.run(['du', '-sb', SITE], capture_output=True, text=True, check=True).stdout.split()[0])
    goal('the folder under 10 MB', size < 10e6, '%.1f MB' % (size / 1e6))
    server = serve(SITE)
    page = Page(server)
    try:
        start_times(page)
        round_rates(page)
    finally:
        page.quit()
        server.shutdown()
    sys.exit(1 if missed else 0)


main()
