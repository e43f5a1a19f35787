// The phone book editor in the browser. Every text from the book reaches the page through
// textContent or a form value, never as markup. Every change names the version of the book the
// page last read; when another program saved meanwhile, the page says so, reads the book again
// and keeps what was typed.
'use strict';

const TEXTS = {
  ja: {
    title: '電話帳', search: '検索（かな・幅・大小文字を区別しません）', newEntry: '新しい宛先',
    newGroup: '新しいグループ', favourites: 'お気に入り', export: '書き出し…',
    exportText: 'テキスト（すべて）', exportTextSelection: 'テキスト（選択）',
    exportSubset: '電話帳ファイル（選択）', exportVcard: 'vCard（すべて）',
    exportVcardSelection: 'vCard（選択）', import: '読み込み…', clearSelection: '選択を解除',
    putInFavourite: 'お気に入りに入れる', apply: '適用', delete: '削除', cancel: 'キャンセル',
    save: '保存', add: '追加', members: 'メンバー', addMembers: 'メンバーを追加…',
    pickMembers: 'メンバーを選ぶ', favouriteNames: 'お気に入りの名前', importTitle: '宛先の読み込み',
    importHint: '電話帳のテキスト書き出しファイルを選んでください。追加する前に内容を確認できます。',
    line: '行', importApply: '追加する', colNumber: '番号', colName: '名前', colReading: 'ふりがな',
    colAffiliation: '所属', colFax: 'FAX番号', colPhone: '電話番号', other: 'その他',
    favouriteN: 'お気に入り{0}', none: 'なし', newEntryTitle: '新しい宛先',
    editEntryTitle: '宛先 {0} の編集', newGroupTitle: '新しいグループ', editGroupTitle: 'グループ {0} の編集',
    selected: '{0} 件選択', records: '{0} 件', searchCaption: '「{0}」の検索結果 {1} 件',
    saved: '保存しました', added: '宛先 {0} を追加しました', groupAdded: 'グループ {0} を作りました',
    changed: 'この電話帳はほかのプログラムで変更されました。最新の内容を読み直しました。入力した内容はそのままです。もう一度保存してください。',
    bytes: '{0} / {1} バイト', cannotHold: 'コードページ932で表せない文字: {0}',
    tooLong: '長すぎます（{0} バイト、入るのは {1} バイト）', noSpaces: '空白は使えません',
    confirmDeleteEntry: '宛先 {0}「{1}」を削除しますか？ グループからも外れます。',
    confirmDeleteGroup: 'グループ {0}「{1}」を削除しますか？ メンバーの宛先は残ります。',
    deleted: '{0} を削除しました', selectFirst: '先に宛先かグループを選んでください',
    importSummary: '宛先 {0} 件とグループ {1} 件を追加します。', importDone: '宛先 {0} 件とグループ {1} 件を追加しました',
    importNoRoom: '電話帳に空きが足りません', remove: '外す', lineType: '回線',
    outside: '外線', internal: '内線', lineNone: 'なし', commMode: '通信モード',
    relayOutput: '中継出力', favourite: 'お気に入り', group: 'グループ', loading: '読み込み中…',
    nothing: '宛先はありません', favouritesSaved: 'お気に入りの名前を保存しました',
    'f.name': '名前', 'f.furigana': 'ふりがな', 'f.affiliation': '所属', 'f.fax': 'FAX番号',
    'f.speed-dial': '短縮番号', 'f.phone': '電話番号', 'f.email': 'メール', 'f.memo': 'メモ',
    'f.fcode': 'Fコード', 'f.pcode': 'Pコード', 'f.box-number': 'ボックス番号',
    'f.box-password': 'ボックスパスワード', 'f.relay-id': '中継ID', 'f.broadcast-list': '同報リスト',
  },
  en: {
    title: 'Phone book', search: 'Search (kana, width and case ignored)', newEntry: 'New entry',
    newGroup: 'New group', favourites: 'Favourites', export: 'Export…',
    exportText: 'Text (all)', exportTextSelection: 'Text (selection)',
    exportSubset: 'Phone book file (selection)', exportVcard: 'vCard (all)',
    exportVcardSelection: 'vCard (selection)', import: 'Import…', clearSelection: 'Clear selection',
    putInFavourite: 'Put in favourite', apply: 'Apply', delete: 'Delete', cancel: 'Cancel',
    save: 'Save', add: 'Add', members: 'Members', addMembers: 'Add members…',
    pickMembers: 'Choose members', favouriteNames: 'Favourite names', importTitle: 'Import entries',
    importHint: 'Choose a text export of a phone book. You see what it holds before anything is added.',
    line: 'Line', importApply: 'Add them', colNumber: 'No.', colName: 'Name', colReading: 'Reading',
    colAffiliation: 'Affiliation', colFax: 'Fax', colPhone: 'Phone', other: 'Other',
    favouriteN: 'Favourite {0}', none: 'none', newEntryTitle: 'New entry',
    editEntryTitle: 'Entry {0}', newGroupTitle: 'New group', editGroupTitle: 'Group {0}',
    selected: '{0} selected', records: '{0} records', searchCaption: '{1} found for “{0}”',
    saved: 'Saved', added: 'Entry {0} added', groupAdded: 'Group {0} created',
    changed: 'Another program changed this phone book. The page now shows it as it is; what you typed is kept. Save again.',
    bytes: '{0} / {1} bytes', cannotHold: 'Code page 932 cannot hold {0}',
    tooLong: 'Too long ({0} bytes; the field holds {1})', noSpaces: 'No spaces',
    confirmDeleteEntry: 'Delete entry {0} “{1}”? It leaves its groups too.',
    confirmDeleteGroup: 'Delete group {0} “{1}”? Its entries stay.',
    deleted: '{0} deleted', selectFirst: 'Select entries or groups first',
    importSummary: '{0} entries and {1} groups will be added.', importDone: '{0} entries and {1} groups added',
    importNoRoom: 'The phone book has not enough free places', remove: 'Remove', lineType: 'Line',
    outside: 'Outside', internal: 'Internal', lineNone: 'None', commMode: 'Comm. mode',
    relayOutput: 'Relay output', favourite: 'Favourite', group: 'Group', loading: 'Loading…',
    nothing: 'No entries', favouritesSaved: 'Favourite names saved',
    'f.name': 'Name', 'f.furigana': 'Reading', 'f.affiliation': 'Affiliation', 'f.fax': 'Fax',
    'f.speed-dial': 'Speed dial', 'f.phone': 'Phone', 'f.email': 'E-mail', 'f.memo': 'Memo',
    'f.fcode': 'F-code', 'f.pcode': 'P-code', 'f.box-number': 'Box number',
    'f.box-password': 'Box password', 'f.relay-id': 'Relay ID', 'f.broadcast-list': 'Broadcast list',
  },
};

const ROWS = ['あ', 'か', 'さ', 'た', 'な', 'は', 'ま', 'や', 'ら', 'わ'];
// A row of a list: [number, kind, favourite, name, reading, affiliation, fax, phone, and the
// place of each of those five texts in its column's order].
const R = { number: 0, kind: 1, favourite: 2, text: 3, rank: 8 };
const COLUMNS = ['colName', 'colReading', 'colAffiliation', 'colFax', 'colPhone'];
const ROW_HEIGHT = 30;

const state = {
  lang: 'ja', page: '', version: '', book: null, tab: 1, query: '', selection: new Map(), pending: 0,
};

function $(id) { return document.getElementById(id); }
function el(tag, cls, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  return e;
}
function t(key, ...args) {
  const s = (TEXTS[state.lang] && TEXTS[state.lang][key]) || TEXTS.en[key] || key;
  return s.replace(/\{(\d)\}/g, (_, i) => String(args[Number(i)]));
}

// ---- Talking to the server ----

class ApiError extends Error {
  constructor(status, body) {
    super(body.error || ('HTTP ' + status));
    this.status = status;
    this.code = body.code || '';
    this.field = body.field || '';
  }
}

async function api(method, path, body, raw) {
  const headers = {};
  const init = { method, headers, credentials: 'same-origin' };
  if (method !== 'GET') {
    headers['X-Telbook-Page'] = state.page;
    headers['X-Telbook-Version'] = state.version;
    if (raw) {
      headers['Content-Type'] = 'application/octet-stream';
      init.body = raw;
    } else {
      headers['Content-Type'] = 'application/json';
      init.body = JSON.stringify(body === undefined ? {} : body);
    }
  }
  // The page is busy while any request is on its way (tests wait for it to settle).
  state.pending += 1;
  document.body.dataset.busy = 'true';
  try {
    const res = await fetch(path, init);
    let data;
    try { data = await res.json(); } catch (e) { data = { error: res.statusText || String(res.status) }; }
    if (!res.ok) throw new ApiError(res.status, data);
    return data;
  } finally {
    state.pending -= 1;
    if (state.pending === 0) delete document.body.dataset.busy;
  }
}

function showMessage(text, isError) {
  const m = $('message');
  m.textContent = text;
  m.classList.toggle('error', !!isError);
  m.hidden = !text;
}

// After a refused change: a book changed underneath is read again (the caller keeps its form).
async function explain(err, errorBox) {
  if (err instanceof ApiError && err.code === 'changed') {
    await refresh();
    const text = t('changed');
    showMessage(text, true);
    if (errorBox) { errorBox.textContent = text; errorBox.hidden = false; }
    return;
  }
  const text = err.message || String(err);
  if (errorBox) { errorBox.textContent = text; errorBox.hidden = false; } else showMessage(text, true);
}

// ---- The list: a virtual list of rows, sortable by column, with selection ----

class List {
  constructor(host, options) {
    this.host = host;
    this.options = options;
    this.rows = [];
    this.sortColumn = 1;  // reading
    this.sortDir = 1;
    host.textContent = '';
    this.head = el('div', 'head');
    this.body = el('div', 'body');
    this.spacer = el('div', 'spacer');
    this.body.appendChild(this.spacer);
    host.append(this.head, this.body);
    this.pool = [];
    this.body.addEventListener('scroll', () => this.draw());
    window.addEventListener('resize', () => this.draw());
    this.drawHead();
  }

  drawHead() {
    this.head.textContent = '';
    this.head.appendChild(el('span'));
    const cols = [['colNumber', -1]].concat(COLUMNS.map((c, i) => [c, i]));
    for (const [key, index] of cols) {
      const b = el('button', '', t(key));
      b.type = 'button';
      b.dataset.column = String(index);
      if (index === this.sortColumn) b.setAttribute('aria-sort', this.sortDir > 0 ? 'ascending' : 'descending');
      b.addEventListener('click', () => {
        if (this.sortColumn === index) this.sortDir = -this.sortDir;
        else { this.sortColumn = index; this.sortDir = 1; }
        this.drawHead();
        this.setRows(this.rows);
      });
      this.head.appendChild(b);
    }
  }

  setRows(rows) {
    const c = this.sortColumn;
    const d = this.sortDir;
    this.rows = rows.slice().sort((a, b) => {
      const ka = c < 0 ? a[R.number] : a[R.rank + c];
      const kb = c < 0 ? b[R.number] : b[R.rank + c];
      return ka !== kb ? (ka - kb) * d : a[R.number] - b[R.number];
    });
    this.spacer.style.height = (this.rows.length * ROW_HEIGHT) + 'px';
    for (const r of this.pool) r.node.remove();
    this.pool = [];
    this.body.scrollTop = 0;
    this.host.dataset.count = String(this.rows.length);
    this.draw();
    let empty = this.host.querySelector('.empty');
    if (this.rows.length === 0 && !empty) {
      empty = el('div', 'empty', t('nothing'));
      this.body.appendChild(empty);
    } else if (this.rows.length > 0 && empty) empty.remove();
  }

  // Only the rows in view (and a few around) are in the document.
  draw() {
    const top = this.body.scrollTop;
    const height = this.body.clientHeight || 600;
    const first = Math.max(0, Math.floor(top / ROW_HEIGHT) - 5);
    const last = Math.min(this.rows.length, Math.ceil((top + height) / ROW_HEIGHT) + 5);
    const want = last - first;
    while (this.pool.length < want) {
      const r = this.makeRow();
      this.spacer.appendChild(r.node);
      this.pool.push(r);
    }
    while (this.pool.length > want) this.pool.pop().node.remove();
    for (let i = 0; i < want; ++i) this.fill(this.pool[i], this.rows[first + i], first + i);
  }

  makeRow() {
    const node = el('div', 'row');
    const box = el('input');
    box.type = 'checkbox';
    const cells = [el('span', 'num')];
    for (let i = 0; i < COLUMNS.length; ++i) cells.push(el('span', i === 0 ? 'name' : ''));
    node.append(box, ...cells);
    const r = { node, box, cells, row: null };
    box.addEventListener('click', (e) => {
      e.stopPropagation();
      this.options.onToggle(r.row, box.checked);
      node.classList.toggle('selected', box.checked);
    });
    node.addEventListener('click', () => this.options.onOpen(r.row));
    return r;
  }

  fill(r, row, index) {
    r.row = row;
    r.node.style.transform = 'translateY(' + (index * ROW_HEIGHT) + 'px)';
    r.node.dataset.number = String(row[R.number]);
    r.node.classList.toggle('group', row[R.kind] === 2);
    const on = this.options.isSelected(row);
    r.box.checked = on;
    r.node.classList.toggle('selected', on);
    r.cells[0].textContent = String(row[R.number]);
    for (let i = 0; i < COLUMNS.length; ++i) {
      let text = row[R.text + i];
      if (row[R.kind] === 2 && i === 2) text = t('group');
      r.cells[i + 1].textContent = text;
      r.cells[i + 1].title = text;
    }
  }
}

// ---- Tabs ----

function tabLabel(tab) {
  if (tab.code >= 1 && tab.code <= 10) return ROWS[tab.code - 1];
  if (tab.code === 11) return t('other');
  const k = tab.code >> 4;
  return state.book.favourites[k - 1] || t('favouriteN', k);
}

function drawTabs(host, selected, onPick, withCounts) {
  host.textContent = '';
  for (const tab of state.book.tabs) {
    const b = el('button', 'tab' + (tab.code >= 0x10 ? ' favourite' : ''));
    b.type = 'button';
    b.setAttribute('role', 'tab');
    b.dataset.code = String(tab.code);
    b.setAttribute('aria-selected', String(tab.code === selected));
    b.appendChild(el('span', 'label', tabLabel(tab)));
    if (withCounts) b.appendChild(el('span', 'count', String(tab.count)));
    b.addEventListener('click', () => onPick(tab.code));
    host.appendChild(b);
  }
}

// ---- The main view ----

let mainList = null;

function selectionKey(row) { return row[R.number]; }

async function loadBook() {
  state.book = await api('GET', '/api/book');
  state.version = state.book.version;
  // The file's name; the path as given on the command line when pointed at.
  $('book-name').textContent = state.book.book.split(/[\\/]/).pop();
  $('book-name').title = state.book.book;
  drawTabs($('tabs'), state.query ? -1 : state.tab, pickTab, true);
  fillFavouriteSelect($('bulk-favourite'), 0);
}

async function showTab(code) {
  const data = await api('GET', '/api/tab/' + code);
  state.version = data.version;
  mainList.setRows(data.rows);
  $('list').dataset.tab = String(code);
  $('list-caption').textContent = t('records', data.rows.length);
}

async function showSearch(query) {
  const data = await api('GET', '/api/search?q=' + encodeURIComponent(query));
  if (query !== state.query) return;  // typing went on
  state.version = data.version;
  mainList.setRows(data.rows);
  $('list').dataset.tab = 'search';
  $('list-caption').textContent = t('searchCaption', query, data.found);
}

async function pickTab(code) {
  state.tab = code;
  state.query = '';
  $('search').value = '';
  drawTabs($('tabs'), code, pickTab, true);
  try { await showTab(code); } catch (e) { explain(e); }
}

// Reads the book again and shows the same tab or search.
async function refresh() {
  await loadBook();
  if (state.query) await showSearch(state.query); else await showTab(state.tab);
  drawSelection();
}

function drawSelection() {
  $('selection-count').textContent = t('selected', state.selection.size);
  mainList.draw();
}

let searchTimer = 0;
function onSearchInput() {
  clearTimeout(searchTimer);
  searchTimer = setTimeout(async () => {
    state.query = $('search').value.trim();
    drawTabs($('tabs'), state.query ? -1 : state.tab, pickTab, true);
    try {
      if (state.query) await showSearch(state.query); else await showTab(state.tab);
    } catch (e) { explain(e); }
  }, 150);
}

function fillFavouriteSelect(select, value) {
  select.textContent = '';
  const none = el('option', '', '— ' + t('none'));
  none.value = '0';
  select.appendChild(none);
  for (let k = 1; k <= 5; ++k) {
    const o = el('option', '', k + ' ' + (state.book.favourites[k - 1] || t('favouriteN', k)));
    o.value = String(k);
    select.appendChild(o);
  }
  select.value = String(value);
}

// ---- Room in code page 932, measured by the server as the tool converts ----

class Rooms {
  constructor(onChange) {
    this.inputs = new Map();  // key -> {input, room, note, measureKey}
    this.bad = new Set();
    this.timer = 0;
    this.onChange = onChange;
  }
  add(key, measureKey, input, roomEl, noteEl, noSpaces) {
    this.inputs.set(key, { input, room: roomEl, note: noteEl, measureKey, noSpaces });
    input.addEventListener('input', () => this.schedule());
  }
  schedule() {
    clearTimeout(this.timer);
    this.timer = setTimeout(() => this.measure(), 80);
  }
  async measure() {
    const keys = [...this.inputs.keys()];
    const texts = keys.map((k) => [this.inputs.get(k).measureKey, this.inputs.get(k).input.value]);
    let data;
    try { data = await api('POST', '/api/measure', { texts }); } catch (e) { return; }
    this.bad.clear();
    data.fields.forEach((f, i) => {
      const item = this.inputs.get(keys[i]);
      let problem = '';
      if (f.bad) problem = t('cannotHold', f.bad);
      else if (f.bytes > f.room) problem = t('tooLong', f.bytes, f.room);
      else if (item.noSpaces && /[\s]/.test(item.input.value.replace(/\u3000/g, ''))) problem = t('noSpaces');
      item.room.textContent = t('bytes', f.bytes, f.room);
      item.room.classList.toggle('bad', !!problem);
      item.input.classList.toggle('bad', !!problem);
      item.input.setAttribute('aria-invalid', String(!!problem));
      item.note.textContent = problem;
      item.note.hidden = !problem;
      if (problem) this.bad.add(keys[i]);
    });
    this.onChange(this.bad.size === 0);
  }
}

function fieldRow(host, id, label, input, roomText) {
  const l = el('label', '', label);
  l.htmlFor = id;
  input.id = id;
  const room = el('span', 'room', roomText || '');
  const note = el('div', 'field-note');
  note.hidden = true;
  host.append(l, input, room, note);
  return { room, note };
}

// ---- Entry form ----

const entryForm = { number: 0, rooms: null, name: '' };

function entryInputs() {
  const host = $('entry-fields');
  host.textContent = '';
  entryForm.rooms = new Rooms((ok) => { $('entry-save').disabled = !ok; });
  for (const f of state.book.fields.entry) {
    const input = el('input');
    input.type = 'text';
    input.name = f.key;
    const parts = fieldRow(host, 'entry-' + f.key, t('f.' + f.key), input, t('bytes', 0, f.room));
    entryForm.rooms.add(f.key, f.key, input, parts.room, parts.note, false);
  }
  const line = el('select');
  line.name = 'line-type';
  for (const [v, k] of [['outside', 'outside'], ['internal', 'internal'], ['none', 'lineNone']]) {
    const o = el('option', '', t(k));
    o.value = v;
    line.appendChild(o);
  }
  fieldRow(host, 'entry-line-type', t('lineType'), line);
  const fav = el('select');
  fav.name = 'favourite';
  fillFavouriteSelect(fav, 0);
  fieldRow(host, 'entry-favourite', t('favourite'), fav);
  for (const [key, label] of [['comm-mode', 'commMode'], ['relay-output', 'relayOutput']]) {
    const n = el('input');
    n.type = 'number';
    n.min = '0';
    n.max = '255';
    n.name = key;
    fieldRow(host, 'entry-' + key, t(label), n, '0–255');
  }
}

async function openEntry(number) {
  entryInputs();
  $('entry-error').hidden = true;
  $('entry-save').disabled = false;
  entryForm.number = number;
  const form = $('entry-form');
  if (number) {
    const e = await api('GET', '/api/entry/' + number);
    for (const f of state.book.fields.entry) form.elements[f.key].value = e[f.key];
    form.elements['line-type'].value = e['line-type'];
    form.elements.favourite.value = String(e.favourite);
    form.elements['comm-mode'].value = String(e['comm-mode']);
    form.elements['relay-output'].value = String(e['relay-output']);
    entryForm.name = e.name;
    $('entry-title').textContent = t('editEntryTitle', number);
  } else {
    form.elements['line-type'].value = 'outside';
    form.elements['comm-mode'].value = '0';
    form.elements['relay-output'].value = '0';
    $('entry-title').textContent = t('newEntryTitle');
  }
  $('entry-delete').hidden = !number || !state.book.can.delete;
  entryForm.rooms.measure();
  $('entry-dialog').showModal();
  form.elements.name.focus();
}

function entryValues() {
  const form = $('entry-form');
  const values = {};
  for (const f of state.book.fields.entry) values[f.key] = form.elements[f.key].value;
  values['line-type'] = form.elements['line-type'].value;
  values.favourite = Number(form.elements.favourite.value);
  values['comm-mode'] = Number(form.elements['comm-mode'].value || 0);
  values['relay-output'] = Number(form.elements['relay-output'].value || 0);
  return values;
}

function markField(prefix, err) {
  if (!err.field) return;
  const input = document.getElementById(prefix + err.field);
  if (input) { input.classList.add('bad'); input.focus(); }
}

async function saveEntry(ev) {
  ev.preventDefault();
  if (entryForm.rooms.bad.size > 0) return;
  const values = entryValues();
  try {
    let result;
    if (entryForm.number) result = await api('PUT', '/api/entry/' + entryForm.number, values);
    else result = await api('POST', '/api/entry', values);
    state.version = result.version;
    $('entry-dialog').close();
    showMessage(entryForm.number ? t('saved') : t('added', result.number));
    await refresh();
  } catch (e) {
    markField('entry-', e);
    await explain(e, $('entry-error'));
  }
}

// ---- Confirmation and deletion ----

function confirmDialog(text) {
  return new Promise((resolve) => {
    $('confirm-text').textContent = text;
    const d = $('confirm-dialog');
    const done = (answer) => { d.close(); resolve(answer); };
    $('confirm-yes').onclick = () => done(true);
    $('confirm-no').onclick = () => done(false);
    d.showModal();
  });
}

async function deleteRecord(kind, number, name, dialog, errorBox) {
  const text = kind === 'entry' ? t('confirmDeleteEntry', number, name) : t('confirmDeleteGroup', number, name);
  if (!(await confirmDialog(text))) return;
  try {
    const result = await api('DELETE', '/api/' + kind + '/' + number);
    state.version = result.version;
    state.selection.delete(number);
    dialog.close();
    showMessage(t('deleted', number));
    await refresh();
  } catch (e) { await explain(e, errorBox); }
}

// ---- Group form and member picker ----

const groupForm = { number: 0, members: [], rooms: null, name: '' };

function groupInputs() {
  const host = $('group-fields');
  host.textContent = '';
  groupForm.rooms = new Rooms((ok) => { $('group-save').disabled = !ok; });
  for (const [key, label] of [['name', 'f.name'], ['furigana', 'f.furigana']]) {
    const input = el('input');
    input.type = 'text';
    input.name = key;
    const room = state.book.fields.group[key];
    const parts = fieldRow(host, 'group-' + key, t(label), input, t('bytes', 0, room));
    groupForm.rooms.add(key, 'group-' + key, input, parts.room, parts.note, false);
  }
  const fav = el('select');
  fav.name = 'favourite';
  fillFavouriteSelect(fav, 0);
  fieldRow(host, 'group-favourite', t('favourite'), fav);
}

function drawMembers() {
  const ul = $('members');
  ul.textContent = '';
  for (const m of groupForm.members) {
    const li = el('li');
    li.dataset.number = String(m.number);
    const remove = el('button', '', t('remove'));
    remove.type = 'button';
    remove.addEventListener('click', () => {
      groupForm.members = groupForm.members.filter((x) => x.number !== m.number);
      drawMembers();
    });
    li.append(el('span', 'num', String(m.number)), el('span', 'name', m.name), el('span', 'reading', m.furigana), remove);
    ul.appendChild(li);
  }
  $('member-count').textContent = '(' + groupForm.members.length + ')';
}

async function openGroup(number, preset) {
  groupInputs();
  $('group-error').hidden = true;
  $('group-save').disabled = false;
  groupForm.number = number;
  const form = $('group-form');
  if (number) {
    const g = await api('GET', '/api/group/' + number);
    form.elements.name.value = g.name;
    form.elements.furigana.value = g.furigana;
    form.elements.favourite.value = String(g.favourite);
    groupForm.members = g.members.map((m) => ({ number: m.number, name: m.name, furigana: m.furigana }));
    groupForm.name = g.name;
    $('group-title').textContent = t('editGroupTitle', number);
  } else {
    groupForm.members = preset || [];
    $('group-title').textContent = t('newGroupTitle');
  }
  $('group-delete').hidden = !number || !state.book.can.delete;
  drawMembers();
  groupForm.rooms.measure();
  $('group-dialog').showModal();
  form.elements.name.focus();
}

async function saveGroup(ev) {
  ev.preventDefault();
  if (groupForm.rooms.bad.size > 0) return;
  const form = $('group-form');
  const values = {
    name: form.elements.name.value,
    furigana: form.elements.furigana.value,
    favourite: Number(form.elements.favourite.value),
    members: groupForm.members.map((m) => m.number),
  };
  try {
    let result;
    if (groupForm.number) result = await api('PUT', '/api/group/' + groupForm.number, values);
    else result = await api('POST', '/api/group', values);
    state.version = result.version;
    $('group-dialog').close();
    showMessage(groupForm.number ? t('saved') : t('groupAdded', result.number));
    await refresh();
  } catch (e) {
    markField('group-', e);
    await explain(e, $('group-error'));
  }
}

const picker = { list: null, tab: 2, chosen: new Map(), query: '', timer: 0 };

async function pickerShow() {
  const path = picker.query ? '/api/search?q=' + encodeURIComponent(picker.query) : '/api/tab/' + picker.tab;
  const data = await api('GET', path);
  picker.list.setRows(data.rows.filter((r) => r[R.kind] !== 2));
  drawTabs($('picker-tabs'), picker.query ? -1 : picker.tab, (code) => {
    picker.tab = code;
    picker.query = '';
    $('picker-search').value = '';
    pickerShow();
  }, false);
}

function openPicker() {
  picker.chosen = new Map();
  picker.query = '';
  $('picker-search').value = '';
  $('picker-count').textContent = t('selected', 0);
  picker.list = new List($('picker-list'), {
    onOpen: (row) => {
      const on = !picker.chosen.has(row[R.number]);
      if (on) picker.chosen.set(row[R.number], row); else picker.chosen.delete(row[R.number]);
      $('picker-count').textContent = t('selected', picker.chosen.size);
      picker.list.draw();
    },
    onToggle: (row, on) => {
      if (on) picker.chosen.set(row[R.number], row); else picker.chosen.delete(row[R.number]);
      $('picker-count').textContent = t('selected', picker.chosen.size);
    },
    isSelected: (row) => picker.chosen.has(row[R.number]),
  });
  $('picker-dialog').showModal();
  pickerShow().catch((e) => explain(e));
}

function pickerDone() {
  const have = new Set(groupForm.members.map((m) => m.number));
  for (const row of picker.chosen.values()) {
    if (!have.has(row[R.number])) {
      groupForm.members.push({ number: row[R.number], name: row[R.text], furigana: row[R.text + 1] });
    }
  }
  $('picker-dialog').close();
  drawMembers();
}

// ---- Favourites ----

async function openFavourites() {
  const host = $('favourite-fields');
  host.textContent = '';
  $('favourites-error').hidden = true;
  const rooms = new Rooms((ok) => { $('favourites-save').disabled = !ok; });
  for (let k = 1; k <= 5; ++k) {
    const input = el('input');
    input.type = 'text';
    input.name = 'favourite-' + k;
    input.value = state.book.favourites[k - 1];
    input.dataset.old = input.value;
    const parts = fieldRow(host, 'favourite-' + k, t('favouriteN', k), input, '');
    rooms.add('favourite-' + k, 'favourite-name', input, parts.room, parts.note, true);
  }
  rooms.measure();
  $('favourites-dialog').showModal();
}

async function saveFavourites(ev) {
  ev.preventDefault();
  try {
    for (let k = 1; k <= 5; ++k) {
      const input = $('favourite-' + k);
      if (input.value === input.dataset.old) continue;
      const result = await api('PUT', '/api/favourites/' + k, { name: input.value });
      state.version = result.version;
      input.dataset.old = input.value;
    }
    $('favourites-dialog').close();
    showMessage(t('favouritesSaved'));
    await refresh();
  } catch (e) {
    await explain(e, $('favourites-error'));
  }
}

async function applyBulkFavourite() {
  if (state.selection.size === 0) { showMessage(t('selectFirst'), true); return; }
  const entries = [];
  const groups = [];
  for (const row of state.selection.values()) (row[R.kind] === 2 ? groups : entries).push(row[R.number]);
  try {
    const result = await api('POST', '/api/favourite-members', {
      favourite: Number($('bulk-favourite').value), entries, groups,
    });
    state.version = result.version;
    showMessage(t('saved'));
    await refresh();
  } catch (e) { await explain(e); }
}

// ---- Export and import ----

function exportChosen() {
  const choice = $('export-format').value;
  $('export-format').value = '';
  if (!choice) return;
  const [format, which] = choice.split('-');
  const params = new URLSearchParams({ format: which === 'selection' && format === 'subset' ? 'subset' : format });
  if (which === 'selection') {
    if (state.selection.size === 0) { showMessage(t('selectFirst'), true); return; }
    const entries = [];
    const groups = [];
    for (const row of state.selection.values()) (row[R.kind] === 2 ? groups : entries).push(row[R.number]);
    params.set('entries', entries.join(','));
    params.set('groups', groups.join(','));
  }
  const a = el('a');
  a.href = '/api/export?' + params.toString();
  a.download = '';
  document.body.appendChild(a);
  a.click();
  a.remove();
}

const importState = { bytes: null };

function openImport() {
  $('import-file').value = '';
  $('import-error').hidden = true;
  $('import-preview').hidden = true;
  $('import-apply').disabled = true;
  importState.bytes = null;
  $('import-dialog').showModal();
}

async function previewImport() {
  const file = $('import-file').files[0];
  $('import-error').hidden = true;
  $('import-preview').hidden = true;
  $('import-apply').disabled = true;
  if (!file) return;
  importState.bytes = await file.arrayBuffer();
  try {
    const plan = await api('POST', '/api/import?mode=preview', undefined, importState.bytes);
    const body = $('import-table').querySelector('tbody');
    body.textContent = '';
    for (const e of plan.entries) {
      const tr = el('tr');
      for (const v of [e.line, e.name, e.furigana, e.fax, e.affiliation]) tr.appendChild(el('td', '', String(v)));
      body.appendChild(tr);
    }
    for (const g of plan.groups) {
      const tr = el('tr', 'group');
      for (const v of [g.line, g.name, g.furigana, t('group') + ' (' + g.members.length + ')', '']) tr.appendChild(el('td', '', String(v)));
      body.appendChild(tr);
    }
    $('import-summary').textContent = t('importSummary', plan.entries.length, plan.groups.length) + (plan.fits ? '' : ' ' + t('importNoRoom'));
    $('import-preview').hidden = false;
    $('import-apply').disabled = !plan.fits;
  } catch (e) { await explain(e, $('import-error')); }
}

async function applyImport() {
  if (!importState.bytes) return;
  try {
    const result = await api('POST', '/api/import?mode=apply', undefined, importState.bytes);
    state.version = result.version;
    $('import-dialog').close();
    showMessage(t('importDone', result.entries.length, result.groups.length));
    await refresh();
  } catch (e) { await explain(e, $('import-error')); }
}

// ---- Language ----

function applyLanguage() {
  document.documentElement.lang = state.lang;
  for (const e of document.querySelectorAll('[data-i18n]')) e.textContent = t(e.dataset.i18n);
  for (const e of document.querySelectorAll('[data-i18n-placeholder]')) e.placeholder = t(e.dataset.i18nPlaceholder);
  for (const e of document.querySelectorAll('[data-i18n-title]')) e.title = t(e.dataset.i18nTitle);
  $('language').textContent = state.lang === 'ja' ? 'English' : '日本語';
  $('language').lang = state.lang === 'ja' ? 'en' : 'ja';
  document.title = t('title') + ' — telbook';
  if (state.book) {
    drawTabs($('tabs'), state.query ? -1 : state.tab, pickTab, true);
    fillFavouriteSelect($('bulk-favourite'), Number($('bulk-favourite').value || 0));
    mainList.drawHead();
    mainList.draw();
    drawSelection();
  }
}

function chooseLanguage() {
  let stored = null;
  try { stored = localStorage.getItem('telbook-lang'); } catch (e) { stored = null; }
  if (stored === 'ja' || stored === 'en') return stored;
  const langs = navigator.languages && navigator.languages.length ? navigator.languages : [navigator.language || 'en'];
  return String(langs[0]).toLowerCase().startsWith('ja') ? 'ja' : 'en';
}

// ---- Start ----

async function start() {
  state.page = document.querySelector('meta[name=telbook-page]').content;
  state.lang = chooseLanguage();
  applyLanguage();
  mainList = new List($('list'), {
    onOpen: (row) => (row[R.kind] === 2 ? openGroup(row[R.number]) : openEntry(row[R.number])).catch((e) => explain(e)),
    onToggle: (row, on) => {
      if (on) state.selection.set(selectionKey(row), row); else state.selection.delete(selectionKey(row));
      drawSelection();
    },
    isSelected: (row) => state.selection.has(selectionKey(row)),
  });
  $('search').addEventListener('input', onSearchInput);
  $('new-entry').addEventListener('click', () => openEntry(0).catch((e) => explain(e)));
  $('new-group').addEventListener('click', () => {
    const preset = [...state.selection.values()].filter((r) => r[R.kind] !== 2)
      .map((r) => ({ number: r[R.number], name: r[R.text], furigana: r[R.text + 1] }));
    openGroup(0, preset).catch((e) => explain(e));
  });
  $('edit-favourites').addEventListener('click', openFavourites);
  $('export-format').addEventListener('change', exportChosen);
  $('import').addEventListener('click', openImport);
  $('import-file').addEventListener('change', () => previewImport());
  $('import-apply').addEventListener('click', applyImport);
  $('import-cancel').addEventListener('click', () => $('import-dialog').close());
  $('entry-form').addEventListener('submit', saveEntry);
  $('entry-cancel').addEventListener('click', () => $('entry-dialog').close());
  $('entry-delete').addEventListener('click', () => deleteRecord('entry', entryForm.number, entryForm.name, $('entry-dialog'), $('entry-error')));
  $('group-form').addEventListener('submit', saveGroup);
  $('group-cancel').addEventListener('click', () => $('group-dialog').close());
  $('group-delete').addEventListener('click', () => deleteRecord('group', groupForm.number, groupForm.name, $('group-dialog'), $('group-error')));
  $('add-members').addEventListener('click', openPicker);
  $('picker-ok').addEventListener('click', pickerDone);
  $('picker-cancel').addEventListener('click', () => $('picker-dialog').close());
  $('picker-search').addEventListener('input', () => {
    clearTimeout(picker.timer);
    picker.timer = setTimeout(() => { picker.query = $('picker-search').value.trim(); pickerShow().catch((e) => explain(e)); }, 150);
  });
  $('favourites-form').addEventListener('submit', saveFavourites);
  $('favourites-cancel').addEventListener('click', () => $('favourites-dialog').close());
  $('bulk-favourite-apply').addEventListener('click', applyBulkFavourite);
  $('clear-selection').addEventListener('click', () => { state.selection.clear(); drawSelection(); });
  $('language').addEventListener('click', () => {
    state.lang = state.lang === 'ja' ? 'en' : 'ja';
    try { localStorage.setItem('telbook-lang', state.lang); } catch (e) { /* private mode */ }
    applyLanguage();
  });
  try {
    await loadBook();
    await showTab(state.tab);
    drawSelection();
    document.body.dataset.ready = 'true';
  } catch (e) { explain(e); }
}

document.addEventListener('DOMContentLoaded', start);
