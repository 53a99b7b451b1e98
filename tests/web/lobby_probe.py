# lobby_probe.py URL PUBLIC: headless Chromium opens the lobby's probe page at URL (run it in a home of the lobby
# lab: the browser has no route out of it); its WebSocket opens, its WebRTC gathers a server-reflexive candidate
# of the PUBLIC address from the lobby's STUN answer, and its console stays clean.
import sys
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

url, public = sys.argv[1], sys.argv[2]
options = webdriver.ChromeOptions()
options.binary_location = '/usr/bin/chromium'
for arg in ('--headless=new', '--no-sandbox'):
    options.add_argument(arg)
options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
try:
    start = time.time()
    driver.get(url)
    while time.time() < start + 10 and not driver.execute_script('return window.probe.gathered && window.probe.open'):
        time.sleep(0.05)
    probe = driver.execute_script('return window.probe')
    errors = [e['message'] for e in driver.get_log('browser') if e['level'] == 'SEVERE']
finally:
    driver.quit()
srflx = [c for c in probe['candidates'] if ' typ srflx' in c and (' %s ' % public) in c]
print('browser: WebSocket %s; STUN: %s; console errors: %s' % ('open' if probe['open'] else 'NOT OPEN',
      srflx[0].split(' typ')[0] if srflx else 'NO srflx candidate of ' + public, errors or 'none'))
sys.exit(0 if probe['open'] and srflx and not errors else 1)
