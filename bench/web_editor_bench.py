#!/usr/bin/python3
"""How quickly the web editor shows a full phone book in headless Chromium.

Makes a book of 9999 entries whose readings all begin in the か row (the largest tab a book can
have), serves it with `telbook serve`, and measures in a real headless Chromium: the first load
of the page (the server reads the whole book), a switch to the か tab (9999 rows, sorted by
reading, the list drawn), a sort by another column, and a search that matches every entry.
Prints the median of 5 runs of each.

Run: /usr/bin/python3 bench/web_editor_bench.py --tool build/bin/telbook
"""

import argparse
import os
import shutil
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'tool', 'web'))
import browser_test  # noqa: E402  (the test's server, browser and full book)
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402


def timed(driver, act, done):
    start = time.perf_counter()
    act()
    WebDriverWait(driver, 300, poll_frequency=0.01).until(lambda d: done(d))
    return (time.perf_counter() - start) * 1000


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--tool', required=True)
    parser.add_argument('--runs', type=int, default=5)
    args = parser.parse_args()
    browser_test.OPTIONS.tool = args.tool
    work = tempfile.mkdtemp(prefix='telbook-web-bench-')
    try:
        book = browser_test.make_full_book(work)
        server = browser_test.Server(book, work)
        driver = browser_test.make_browser(work)
        results = {'first load of the page': [], 'か tab, 9999 rows': [], 'sort by fax': [],
                   'search matching 9999': []}
        list_state = lambda d, key, value: d.find_element(By.ID, 'list').get_attribute(key) == value
        try:
            for run in range(args.runs):
                # A new book version each run, so that the server reads it anew.
                os.utime(book, None)
                results['first load of the page'].append(timed(
                    driver, lambda: driver.get(server.url),
                    lambda d: d.find_element(By.TAG_NAME, 'body').get_attribute('data-ready') == 'true'))
                results['か tab, 9999 rows'].append(timed(
                    driver, lambda: driver.find_element(By.CSS_SELECTOR, '#tabs .tab[data-code="2"]').click(),
                    lambda d: list_state(d, 'data-tab', '2') and list_state(d, 'data-count', '9999')))
                head = driver.find_element(By.CSS_SELECTOR, '#list .head button[data-column="3"]')
                results['sort by fax'].append(timed(
                    driver, head.click,
                    lambda d: d.find_element(By.CSS_SELECTOR, '#list .head button[data-column="3"]')
                    .get_attribute('aria-sort') == 'ascending'))
                search = driver.find_element(By.ID, 'search')
                results['search matching 9999'].append(timed(
                    driver, lambda: search.send_keys('名前'),
                    lambda d: list_state(d, 'data-tab', 'search') and list_state(d, 'data-count', '9999')))
        finally:
            driver.quit()
            server.stop()
        print('| step | median ms | runs |')
        print('|---|---|---|')
        for step, times in results.items():
            print('| %s | %.0f | %s |' % (step, statistics.median(times), ', '.join('%.0f' % t for t in times)))
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
