#!/usr/bin/python3
"""The phone book editor of `telbook serve` in a real headless Chromium, driven by Selenium.

Each test works on the demo phone book through the page as a person would (tabs, forms, the
member picker, downloads, uploads) and checks the book afterwards with the command-line tool.
Every test leaves a screenshot in the folder given by --screenshots.

Run: /usr/bin/python3 browser_test.py --tool build/bin/telbook --screenshots build/screenshots
"""

import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.common.exceptions import StaleElementReferenceException, TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

OPTIONS = argparse.Namespace(tool=None, chromium='/usr/bin/chromium',
                             chromedriver='/usr/bin/chromedriver', screenshots=None)


def run_tool(*args, env=None):
    """Runs the built tool; returns (status, stdout, stderr)."""
    done = subprocess.run([OPTIONS.tool, *args], capture_output=True, env=env, timeout=300)
    return done.returncode, done.stdout.decode('utf-8', 'replace'), done.stderr.decode('utf-8', 'replace')


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def show(book, number):
    status, out, err = run_tool('show', book, str(number), '--json')
    if status != 0:
        raise AssertionError('telbook show %s failed: %s' % (number, err))
    return json.loads(out)


class Server:
    """`telbook serve BOOK --port 0`, its address read from its first line."""

    def __init__(self, book, tmpdir):
        env = dict(os.environ, TMPDIR=tmpdir)
        self.process = subprocess.Popen([OPTIONS.tool, 'serve', book, '--port', '0'],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        self.url = self.process.stdout.readline().decode().strip()
        if not self.url.startswith('http://127.0.0.1:'):
            self.process.kill()
            raise RuntimeError('serve printed no address: ' + self.url +
                               self.process.stderr.read().decode())

    def stop(self):
        self.process.send_signal(signal.SIGINT)
        out, _ = self.process.communicate(timeout=60)
        return self.process.returncode, out.decode()


def make_browser(download_dir):
    options = webdriver.ChromeOptions()
    options.binary_location = OPTIONS.chromium
    for arg in ('--headless=new', '--no-sandbox', '--disable-gpu', '--window-size=1280,860',
                '--lang=en-US', '--disable-dev-shm-usage'):
        options.add_argument(arg)
    options.add_experimental_option('prefs', {
        'download.default_directory': download_dir,
        'download.prompt_for_download': False,
        'intl.accept_languages': 'en-US,en',
    })
    driver = webdriver.Chrome(service=Service(OPTIONS.chromedriver), options=options)
    driver.execute_cdp_cmd('Browser.setDownloadBehavior',
                           {'behavior': 'allow', 'downloadPath': download_dir})
    return driver


class EditorTest(unittest.TestCase):
    """One server and one browser for the class; a fresh demo book and page for each test."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix='telbook-browser-')
        cls.downloads = os.path.join(cls.work, 'downloads')
        os.mkdir(cls.downloads)
        cls.driver = make_browser(cls.downloads)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='case-', dir=self.work)
        status, _, err = run_tool('demo', os.path.join(self.dir, 'demo'))
        self.assertEqual(status, 0, err)
        self.book = os.path.join(self.dir, 'demo', 'demo.tlb')
        self.server = Server(self.book, self.dir)
        self.open_page()

    def tearDown(self):
        if OPTIONS.screenshots:
            os.makedirs(OPTIONS.screenshots, exist_ok=True)
            self.driver.save_screenshot(os.path.join(OPTIONS.screenshots,
                                                     self._testMethodName + '.png'))
        for d in self.driver.find_elements(By.CSS_SELECTOR, 'dialog[open]'):
            self.driver.execute_script('arguments[0].close()', d)
        status, out = self.server.stop()
        self.assertEqual(status, 0, out)
        self.assertIn('stopped', out)

    # ---- helpers ----

    def open_page(self, url=None):
        self.driver.get(url or self.server.url)
        self.wait(lambda d: d.find_element(By.TAG_NAME, 'body').get_attribute('data-ready') == 'true')

    def wait(self, condition, timeout=20, message=''):
        def safe(driver):
            try:
                return condition(driver)
            except StaleElementReferenceException:
                return False
        try:
            return WebDriverWait(self.driver, timeout).until(safe)
        except TimeoutException:
            raise AssertionError('timed out waiting: ' + message)

    def find(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def rows(self, within='#list'):
        """The rows in the document: {number: [name, reading, affiliation, fax, phone]}."""
        result = {}
        for row in self.driver.find_elements(By.CSS_SELECTOR, within + ' .row'):
            cells = [c.text for c in row.find_elements(By.TAG_NAME, 'span')]
            result[int(row.get_attribute('data-number'))] = cells[1:]
        return result

    def names(self, within='#list'):
        return {cells[0] for cells in self.rows(within).values()}

    def pick_tab(self, code):
        self.find('#tabs .tab[data-code="%d"]' % code).click()
        self.wait(lambda d: self.find('#list').get_attribute('data-tab') == str(code), message='tab')
        self.idle()

    def tab_count(self, code):
        return int(self.find('#tabs .tab[data-code="%d"] .count' % code).text)

    def type_into(self, css, text, clear=True):
        field = self.find(css)
        if clear:
            field.clear()
        field.send_keys(text)
        return field

    def set_value(self, css, text):
        """Sets a field as typing would, for text ChromeDriver cannot type (beyond the BMP)."""
        self.driver.execute_script(
            'arguments[0].value = arguments[1];'
            'arguments[0].dispatchEvent(new Event("input", {bubbles: true}));',
            self.find(css), text)

    def save_dialog(self, dialog):
        self.find('#%s-save' % dialog).click()
        self.wait(lambda d: not self.find('#%s-dialog' % dialog).get_attribute('open'),
                  message=dialog + ' closes: ' + self.find('#%s-error' % dialog).text)
        self.idle()

    def snap(self, name):
        """A screenshot of a moment inside a test, beside the one each test leaves at its end."""
        if OPTIONS.screenshots:
            os.makedirs(OPTIONS.screenshots, exist_ok=True)
            self.driver.save_screenshot(os.path.join(OPTIONS.screenshots, name + '.png'))

    def idle(self):
        """Waits until the page has no request on its way and has drawn what it got."""
        self.wait(lambda d: d.find_element(By.TAG_NAME, 'body').get_attribute('data-busy') is None,
                  message='the page settles')

    def select_row(self, number):
        self.idle()
        self.find('#list .row[data-number="%d"] input[type=checkbox]' % number).click()

    def rooms_measured(self, key, text):
        return lambda d: self.find('#entry-%s + .room' % key).text.startswith(text)

    # ---- the scenarios ----

    def test_01_tabs_with_counts(self):
        labels = [t.find_element(By.CLASS_NAME, 'label').text
                  for t in self.driver.find_elements(By.CSS_SELECTOR, '#tabs .tab')]
        self.assertEqual(labels[:11], ['あ', 'か', 'さ', 'た', 'な', 'は', 'ま', 'や', 'ら', 'わ', 'Other'])
        self.assertEqual(labels[11:14], ['取引先', '社内', 'よく使う'])
        self.assertEqual(self.tab_count(1), 6)
        self.pick_tab(2)
        self.assertEqual(self.names(), {'加藤 直樹', '木村 さくら', '小林 誠'})
        self.assertEqual(self.tab_count(2), 3)
        # Sorting by reading, then the other way.
        self.assertEqual([self.rows()[n][1] for n in self.sorted_numbers()],
                         ['かとう なおき', 'きむら さくら', 'コバヤシ マコト'])
        self.find('#list .head button[data-column="1"]').click()
        self.assertEqual([self.rows()[n][1] for n in self.sorted_numbers()],
                         ['コバヤシ マコト', 'きむら さくら', 'かとう なおき'])
        self.pick_tab(0x10)
        self.assertEqual(len(self.rows()), self.tab_count(0x10))

    def sorted_numbers(self):
        """Row numbers in the order shown (rows are placed by their offset from the top)."""
        rows = self.driver.find_elements(By.CSS_SELECTOR, '#list .row')
        placed = sorted((r.location['y'], int(r.get_attribute('data-number'))) for r in rows)
        return [n for _, n in placed]

    def test_02_add_an_entry_read_kato_and_find_it_in_its_tab(self):
        self.pick_tab(2)
        self.find('#new-entry').click()
        self.type_into('#entry-name', '加藤 一郎')
        self.type_into('#entry-furigana', 'かとう いちろう')
        self.type_into('#entry-fax', '03-5555-0101')
        self.type_into('#entry-affiliation', '加藤商会')
        # The room of each field in code page 932, as typed.
        self.wait(self.rooms_measured('name', '9 / 40'), message='room of the name')
        self.wait(self.rooms_measured('furigana', '15 / 80'), message='room of the reading')
        self.save_dialog('entry')
        self.wait(lambda d: '加藤 一郎' in self.names(), message='the new entry in the か tab')
        self.assertEqual(self.tab_count(2), 4)
        self.assertEqual(show(self.book, 32)['furigana'], 'かとう いちろう')

    def test_03_edit_an_entry(self):
        self.pick_tab(2)
        self.find('#list .row[data-number="5"]').click()
        self.wait(lambda d: self.find('#entry-name').get_attribute('value') == '加藤 直樹')
        self.type_into('#entry-phone', '090-1234-0000')
        self.type_into('#entry-memo', '新しいメモ')
        Select(self.find('#entry-favourite')).select_by_value('3')
        self.save_dialog('entry')
        self.wait(lambda d: self.rows().get(5, [''] * 5)[4] == '090-1234-0000', message='new phone shown')
        entry = show(self.book, 5)
        self.assertEqual(entry['phone'], '090-1234-0000')
        self.assertEqual(entry['memo'], '新しいメモ')
        self.assertEqual(entry['favourite'], 3)
        self.assertEqual(entry['fax'], '052-231-4455')  # untouched fields stay

    def test_04_search_half_width_kana(self):
        self.type_into('#search', 'ｶﾄｳ')
        self.wait(lambda d: self.find('#list').get_attribute('data-tab') == 'search')
        self.wait(lambda d: self.names() == {'加藤 直樹'}, message='ｶﾄｳ finds かとう')
        self.type_into('#search', 'ACME')
        self.wait(lambda d: self.names() == {'John Smith'}, message='case and width folded')
        self.find('#search').clear()
        self.type_into('#search', ' ')
        self.wait(lambda d: self.find('#list').get_attribute('data-tab') == '1', message='back to the tab')

    def test_05_text_the_book_cannot_hold_is_marked_before_saving(self):
        before = read(self.book)
        self.find('#new-entry').click()
        self.type_into('#entry-name', 'Emoji')
        self.set_value('#entry-memo', 'smile 😀')
        self.wait(lambda d: 'bad' in self.find('#entry-memo').get_attribute('class'), message='memo marked')
        self.assertIn('U+1F600', self.find('#entry-memo ~ .field-note').text)
        self.assertFalse(self.find('#entry-save').is_enabled())
        self.set_value('#entry-memo', 'ok')
        self.type_into('#entry-speed-dial', '12345')
        self.wait(lambda d: 'bad' in self.find('#entry-speed-dial').get_attribute('class'))
        self.wait(lambda d: not self.find('#entry-save').is_enabled())
        self.assertIn('5 / 3', self.find('#entry-speed-dial + .room').text)
        self.assertEqual(read(self.book), before)

    def test_06_create_a_group_from_two_entries_and_add_a_member_with_the_picker(self):
        self.pick_tab(2)
        self.select_row(5)
        self.select_row(6)
        self.find('#new-group').click()
        self.wait(lambda d: len(d.find_elements(By.CSS_SELECTOR, '#members li')) == 2)
        self.type_into('#group-name', 'か行の会')
        self.type_into('#group-furigana', 'かぎょうのかい')
        self.save_dialog('group')
        self.wait(lambda d: 'か行の会' in self.names(), message='the group in the か tab')
        group = show(self.book, 16387)
        self.assertEqual([m['number'] for m in group['members']], [5, 6])
        # The picker finds a member by search and adds it; one is removed.
        self.find('#list .row[data-number="16387"]').click()
        self.wait(lambda d: len(d.find_elements(By.CSS_SELECTOR, '#members li')) == 2)
        self.find('#add-members').click()
        self.type_into('#picker-search', 'すずき')
        self.wait(lambda d: '鈴木 一郎' in self.names('#picker-list'), message='picker search')
        self.find('#picker-list .row[data-number="9"] input[type=checkbox]').click()
        self.snap('member_picker')
        self.find('#picker-ok').click()
        self.wait(lambda d: len(d.find_elements(By.CSS_SELECTOR, '#members li')) == 3)
        self.find('#members li[data-number="6"] button').click()
        self.save_dialog('group')
        self.wait(lambda d: [m['number'] for m in show(self.book, 16387)['members']] == [5, 9],
                  message='members 5 and 9')

    def can(self):
        """What this build of the server can do, as the page learns it."""
        return self.driver.execute_async_script(
            'const done = arguments[0];'
            'fetch("/api/book").then((r) => r.json()).then((b) => done(b.can));')

    def test_07_delete_an_entry_and_see_it_leave_its_group(self):
        if not self.can()['delete']:
            self.skipTest('this build of the library cannot delete records yet')
        self.pick_tab(1)
        self.find('#list .row[data-number="16385"]').click()
        self.wait(lambda d: len(d.find_elements(By.CSS_SELECTOR, '#members li')) == 4)
        self.find('#group-cancel').click()
        self.find('#list .row[data-number="31"]').click()
        self.wait(lambda d: self.find('#entry-name').get_attribute('value') == '大阪支社')
        self.find('#entry-delete').click()
        self.find('#confirm-yes').click()
        self.wait(lambda d: 31 not in self.rows(), message='entry gone from the tab')
        self.find('#list .row[data-number="16385"]').click()
        self.wait(lambda d: len(d.find_elements(By.CSS_SELECTOR, '#members li')) == 3)

    def test_08_rename_a_favourite(self):
        self.find('#edit-favourites').click()
        self.type_into('#favourite-4', 'a b')
        self.wait(lambda d: 'bad' in self.find('#favourite-4').get_attribute('class'), message='space marked')
        self.type_into('#favourite-4', '年賀状')
        self.wait(lambda d: not self.find('#favourite-4').get_attribute('class'))
        self.save_dialog('favourites')
        self.wait(lambda d: self.find('#tabs .tab[data-code="64"] .label').text == '年賀状')
        status, out, _ = run_tool('favourites', self.book)
        self.assertIn('年賀状', out)
        # Put an entry and a group in it.
        self.select_row(1)
        self.select_row(16385)
        Select(self.find('#bulk-favourite')).select_by_value('4')
        self.find('#bulk-favourite-apply').click()
        self.wait(lambda d: self.tab_count(0x40) == 2, message='two records in favourite 4')
        self.assertEqual(show(self.book, 1)['favourite'], 4)
        self.assertEqual(show(self.book, 16385)['favourite'], 4)

    def test_09_download_the_text_export(self):
        for name in os.listdir(self.downloads):
            os.remove(os.path.join(self.downloads, name))
        Select(self.find('#export-format')).select_by_value('text')
        path = os.path.join(self.downloads, 'demo.csv')
        self.wait(lambda d: os.path.exists(path) and os.path.getsize(path) > 0, message='download')
        expected = os.path.join(self.dir, 'expected.csv')
        status, _, err = run_tool('export', self.book, expected)
        self.assertEqual(status, 0, err)
        time.sleep(0.5)  # the download is renamed into place when complete
        self.assertEqual(read(path), read(expected))

    def test_10_import_a_text_export_after_its_preview(self):
        source = os.path.join(self.dir, 'two.csv')
        status, _, err = run_tool('export', self.book, source, '--entries', '5,9')
        self.assertEqual(status, 0, err)
        before = read(self.book)
        self.find('#import').click()
        self.find('#import-file').send_keys(source)
        self.wait(lambda d: self.find('#import-preview').is_displayed(), message='preview')
        cells = [r.text for r in self.driver.find_elements(By.CSS_SELECTOR, '#import-table tbody tr')]
        self.assertEqual(len(cells), 2)
        self.assertIn('加藤 直樹', cells[0])
        self.snap('import_preview')
        self.assertEqual(read(self.book), before)
        self.find('#import-apply').click()
        self.wait(lambda d: not self.find('#import-dialog').get_attribute('open'))
        self.assertEqual(show(self.book, 33)['name'], '鈴木 一郎')

    def test_11_upload_a_vcard_and_check_the_preview(self):
        if 'vcard' not in self.can()['import']:
            self.skipTest('this build imports only text exports; vCard comes with the contacts importer')
        source = os.path.join(self.dir, 'card.vcf')
        with open(source, 'w', encoding='utf-8') as f:
            f.write('BEGIN:VCARD\r\nVERSION:3.0\r\nFN:加藤 三郎\r\nN:加藤;三郎;;;\r\n'
                    'TEL;TYPE=FAX:03-0000-1111\r\nEND:VCARD\r\n')
        self.find('#import').click()
        self.find('#import-file').send_keys(source)
        self.wait(lambda d: self.find('#import-preview').is_displayed(), message='preview')
        self.assertIn('加藤 三郎', self.find('#import-table').text)

    def test_12_a_book_changed_underneath_keeps_what_was_typed(self):
        self.find('#new-entry').click()
        self.type_into('#entry-name', '入力中')
        self.type_into('#entry-memo', '消えないこと')
        status, _, err = run_tool('add', self.book, '--name', 'ほかのプログラム', '--furigana', 'ほか')
        self.assertEqual(status, 0, err)
        self.find('#entry-save').click()
        self.wait(lambda d: self.find('#entry-error').is_displayed(), message='changed message')
        self.assertIn('Another program changed', self.find('#entry-error').text)
        self.assertIn('Another program changed', self.find('#message').text)
        self.snap('changed_underneath')
        self.assertEqual(self.find('#entry-name').get_attribute('value'), '入力中')
        self.assertEqual(self.find('#entry-memo').get_attribute('value'), '消えないこと')
        self.assertEqual(self.tab_count(6), 4)  # the page read the book again: ほか is in は
        self.save_dialog('entry')
        self.assertEqual(show(self.book, 32)['name'], 'ほかのプログラム')
        self.assertEqual(show(self.book, 33)['memo'], '消えないこと')

    def test_13_japanese_and_english(self):
        self.assertEqual(self.find('#new-entry').text, 'New entry')
        self.find('#language').click()
        self.assertEqual(self.find('#new-entry').text, '新しい宛先')
        self.assertEqual(self.find('#tabs .tab[data-code="11"] .label').text, 'その他')
        self.open_page(self.server.url.split('?')[0])  # reloaded: the choice stays
        self.assertEqual(self.find('#new-entry').text, '新しい宛先')
        self.pick_tab(2)
        self.snap('tabs_ja')
        self.find('#list .row[data-number="5"]').click()
        self.wait(lambda d: self.find('#entry-name').get_attribute('value') == '加藤 直樹')
        self.assertEqual(self.find('label[for="entry-furigana"]').text, 'ふりがな')
        self.snap('entry_form_ja')
        self.find('#entry-cancel').click()
        self.driver.execute_script('localStorage.removeItem("telbook-lang")')

    def test_14_text_from_the_book_is_never_markup(self):
        status, _, err = run_tool('add', self.book, '--name', '<img src=x onerror=alert(1)>',
                                  '--furigana', '<b>か</b>', '--memo', '"><script>x</script>')
        self.assertEqual(status, 0, err)
        self.open_page(self.server.url.split('?')[0])
        self.type_into('#search', '<img')
        self.wait(lambda d: '<img src=x onerror=alert(1)>' in self.names(), message='shown as text')
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, '#list img, #list b'), [])


class FullBookTest(unittest.TestCase):
    """A book of 9999 entries, all in one tab: the list keeps only the rows in view."""

    def test_full_book_tab(self):
        work = tempfile.mkdtemp(prefix='telbook-full-')
        try:
            book = make_full_book(work)
            server = Server(book, work)
            driver = make_browser(work)
            try:
                driver.get(server.url)
                WebDriverWait(driver, 120).until(
                    lambda d: d.find_element(By.TAG_NAME, 'body').get_attribute('data-ready') == 'true')
                driver.find_element(By.CSS_SELECTOR, '#tabs .tab[data-code="2"]').click()
                WebDriverWait(driver, 120).until(
                    lambda d: d.find_element(By.ID, 'list').get_attribute('data-count') == '9999')
                self.assertEqual(driver.find_element(By.CSS_SELECTOR, '#tabs .tab[data-code="2"] .count').text, '9999')
                in_document = len(driver.find_elements(By.CSS_SELECTOR, '#list .row'))
                self.assertLess(in_document, 100)
                # Scrolled to the end, the last rows are there.
                driver.execute_script('document.querySelector("#list .body").scrollTop = 1e9')
                WebDriverWait(driver, 20).until(
                    lambda d: any(r.get_attribute('data-number') == '9999'
                                  for r in d.find_elements(By.CSS_SELECTOR, '#list .row')))
                if OPTIONS.screenshots:
                    driver.save_screenshot(os.path.join(OPTIONS.screenshots, 'full_book.png'))
            finally:
                driver.quit()
                status, out = server.stop()
                self.assertEqual(status, 0, out)
        finally:
            shutil.rmtree(work, ignore_errors=True)


def make_full_book(work):
    """A phone book of 9999 entries whose readings all begin in the か row, made by importing a
    generated text export."""
    book = os.path.join(work, 'full.tlb')
    status, _, err = run_tool('create', book)
    assert status == 0, err
    kana = 'かきくけこがぎぐげご'
    lines = []
    for i in range(1, 10000):
        reading = kana[i % 10] + kana[(i // 10) % 10] + kana[(i // 100) % 10] + ' ' + str(i)
        lines.append('K%d,名前 %d,%s,所属 %d,[Outline]03-%04d-%04d,,03-9999-%04d,,,0,,,,,,0'
                     % (i, i, reading, i % 97, i % 10000, (i * 7) % 10000, i))
    source = os.path.join(work, 'full.csv')
    with open(source, 'w', encoding='utf-8') as f:
        f.write('\r\n'.join(lines) + '\r\n')
    env = dict(os.environ, TMPDIR=work)
    status, _, err = run_tool('import', book, source, '--utf8', env=env)
    assert status == 0, err
    return book


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--tool', required=True)
    parser.add_argument('--chromium', default=OPTIONS.chromium)
    parser.add_argument('--chromedriver', default=OPTIONS.chromedriver)
    parser.add_argument('--screenshots')
    known, rest = parser.parse_known_args()
    for key, value in vars(known).items():
        setattr(OPTIONS, key, value)
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
    failed = len(result.failures) + len(result.errors)
    print('%d passed, %d failed, %d skipped' % (result.testsRun - failed - len(result.skipped),
                                                failed, len(result.skipped)))
    return 0 if result.wasSuccessful() else 1


if __name__ == '__main__':
    sys.exit(main())
