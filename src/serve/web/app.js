// The control page: the rundown as a table whose fields are edited in place, the preview and
// program pictures, Cue / Take / Take Out / Next and what each on-air layer shows. Everything it
// knows comes from the server's event stream, so every browser shows the same.
'use strict';

const view = { rundown: { rows: [] }, state: { cue: { state: 'none' }, layers: [] }, selected: null };
const $ = (id) => document.getElementById(id);

// The token the page was opened with is a cookie now; it leaves the address bar.
if (location.search.includes('token=')) history.replaceState(null, '', location.pathname);

function say(text, error) {
  const m = $('message');
  m.textContent = text || '';
  m.classList.toggle('error', !!error);
}

async function call(method, path, body) {
  const init = { method, headers: {} };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  try {
    const response = await fetch(path, init);
    const answer = await response.json().catch(() => ({}));
    if (!response.ok) {
      say(answer.error || response.status + ' ' + response.statusText, true);
      return null;
    }
    say('');
    return answer;
  } catch (e) {
    say('the server cannot be reached', true);
    return null;
  }
}

function rowIndex(id) { return view.rundown.rows.findIndex((r) => r.id === id); }

function select(id) {
  view.selected = id;
  for (const tr of $('rows').children) tr.classList.toggle('selected', tr.dataset.id === id);
}

function input(key, value, onCommit, attrs) {
  const el = document.createElement('input');
  el.value = value;
  el.dataset.key = key;
  Object.assign(el, attrs || {});
  el.addEventListener('change', () => onCommit(el.value));
  el.addEventListener('keydown', (e) => {
    if (e.key === 'Enter') el.blur();
    if (e.key === 'Escape') { el.value = value; el.blur(); }
  });
  return el;
}

function renderRows() {
  const focused = document.activeElement && document.activeElement.dataset ? document.activeElement : null;
  const focusKey = focused && focused.dataset.key;
  const typed = focused ? focused.value : null;
  const cue = view.state.cue;
  const airing = new Map(view.state.layers.map((l) => [l.row, l]));
  const body = $('rows');
  body.textContent = '';
  for (const row of view.rundown.rows) {
    const tr = document.createElement('tr');
    tr.dataset.id = row.id;
    if (row.id === view.selected) tr.classList.add('selected');
    if (cue.state !== 'none' && cue.row === row.id) tr.classList.add('cued');
    if (airing.has(row.id)) tr.classList.add('onair');
    tr.addEventListener('click', () => select(row.id));

    const id = document.createElement('td');
    id.textContent = row.id;
    const page = document.createElement('td');
    page.append(input(row.id + '\u0000page', row.page, (v) => call('PATCH', '/api/rows/' + encodeURIComponent(row.id), { page: v })));
    const layer = document.createElement('td');
    layer.className = 'layer';
    layer.append(input(row.id + '\u0000layer', row.layer,
      (v) => call('PATCH', '/api/rows/' + encodeURIComponent(row.id), { layer: Number(v) }), { type: 'number', min: 1, max: 99 }));
    const fields = document.createElement('td');
    const grid = document.createElement('div');
    grid.className = 'fields';
    for (const [name, value] of Object.entries(row.fields)) {
      const label = document.createElement('label');
      label.textContent = name;
      const el = input(row.id + '\u0000field\u0000' + name, value,
        (v) => call('PATCH', '/api/rows/' + encodeURIComponent(row.id), { fields: { [name]: v } }));
      el.setAttribute('aria-label', row.id + ' ' + name);
      grid.append(label, el);
    }
    fields.append(grid);
    const badges = document.createElement('td');
    if (cue.state !== 'none' && cue.row === row.id) badges.innerHTML = '<span class="badge cued">cued</span>';
    if (airing.has(row.id)) {
      const b = document.createElement('span');
      b.className = 'badge onair';
      b.textContent = 'on air ' + airing.get(row.id).layer;
      badges.append(b);
    }
    tr.append(id, page, layer, fields, badges);
    body.append(tr);
  }
  if (focusKey) {
    // The field being typed into keeps its text and the caret while others edit the rundown.
    const again = body.querySelector('input[data-key="' + CSS.escape(focusKey) + '"]');
    if (again) {
      again.value = typed;
      again.focus();
    }
  }
  if (view.selected === null && view.rundown.rows.length) select(view.rundown.rows[0].id);
}

let previewSeq = -1;
function renderState() {
  const s = view.state;
  const cue = s.cue;
  const badge = $('cue-state');
  badge.className = 'cue-state ' + cue.state;
  badge.textContent = cue.state === 'none' ? 'nothing cued'
    : cue.state === 'loading' ? 'cueing ' + cue.row + '…'
    : cue.state === 'failed' ? cue.row + ': ' + cue.error
    : cue.row + ' cued for layer ' + cue.layer + ', preview at frame ' + cue.preview
      + (cue.warnings ? ' (' + cue.warnings.join('; ') + ')' : '');
  if (cue.state === 'ready' && cue.seq !== previewSeq) {
    previewSeq = cue.seq;
    $('preview').src = '/api/preview.png?seq=' + cue.seq;
  } else if (cue.state !== 'ready') {
    previewSeq = -1;
    $('preview').removeAttribute('src');
  }
  const list = $('layers');
  list.textContent = '';
  if (!s.layers.length) list.innerHTML = '<li class="empty">nothing on air</li>';
  for (const l of s.layers) {
    const li = document.createElement('li');
    li.dataset.layer = l.layer;
    if (l.state !== 'on air') li.classList.add('out');
    const name = document.createElement('span');
    name.className = 'name';
    name.textContent = 'Layer ' + l.layer + ': ' + l.row + (l.state !== 'on air' ? ' (' + l.state + ')' : '');
    const out = document.createElement('button');
    out.type = 'button';
    out.textContent = 'Take Out';
    out.addEventListener('click', () => call('POST', '/api/takeout', { layer: l.layer }));
    li.append(name, out);
    list.append(li);
  }
  $('clock').textContent = 'frame ' + s.frame + (s.dropped ? ' · dropped ' + s.dropped : '');
  renderRows();
}

function connect() {
  const events = new EventSource('/api/events');
  events.addEventListener('open', () => { $('link').className = 'link up'; $('link').textContent = 'live'; });
  events.addEventListener('error', () => { $('link').className = 'link down'; $('link').textContent = 'offline'; });
  events.addEventListener('rundown', (e) => { view.rundown = JSON.parse(e.data); renderRows(); });
  events.addEventListener('state', (e) => { view.state = JSON.parse(e.data); renderState(); });
}

// The program picture a few times a second, swapped in only once it has loaded.
let programUrl = null;
let programBusy = false;
async function refreshProgram() {
  if (programBusy) return;
  programBusy = true;
  try {
    const response = await fetch('/api/program.png', { cache: 'no-store' });
    if (response.ok) {
      const url = URL.createObjectURL(await response.blob());
      $('program').src = url;
      if (programUrl) URL.revokeObjectURL(programUrl);
      programUrl = url;
    }
  } catch (e) {
    // the event stream shows the server is gone
  }
  programBusy = false;
}

async function refreshClock() {
  try {
    const response = await fetch('/api/state', { cache: 'no-store' });
    if (!response.ok) return;
    const s = await response.json();
    $('clock').textContent = 'frame ' + s.frame + (s.dropped ? ' · dropped ' + s.dropped : '');
  } catch (e) {
    // as above
  }
}

function selectedRow() { return view.rundown.rows[rowIndex(view.selected)]; }

const actions = {
  cue: () => view.selected && call('POST', '/api/cue', { row: view.selected }),
  take: () => call('POST', '/api/take'),
  takeout: () => { const row = selectedRow(); if (row) call('POST', '/api/takeout', { layer: row.layer }); },
  next: () => call('POST', '/api/next'),
};

document.addEventListener('DOMContentLoaded', () => {
  for (const name of Object.keys(actions)) $(name).addEventListener('click', actions[name]);
  $('add').addEventListener('submit', (e) => {
    e.preventDefault();
    const form = e.target;
    call('POST', '/api/rows', { page: form.page.value, layer: Number(form.layer.value), fields: {} })
      .then((row) => { if (row) { form.page.value = ''; select(row.id); } });
  });
  document.addEventListener('keydown', (e) => {
    if (e.target instanceof HTMLInputElement || e.ctrlKey || e.altKey || e.metaKey) return;
    const key = e.key.toLowerCase();
    const i = rowIndex(view.selected);
    if (key === 'c') actions.cue();
    else if (key === ' ') actions.take();
    else if (key === 'x') actions.takeout();
    else if (key === 'n') actions.next();
    else if (key === 'arrowdown' && i + 1 < view.rundown.rows.length) select(view.rundown.rows[i + 1].id);
    else if (key === 'arrowup' && i > 0) select(view.rundown.rows[i - 1].id);
    else return;
    e.preventDefault();
  });
  connect();
  setInterval(refreshProgram, 250);
  setInterval(refreshClock, 1000);
});
