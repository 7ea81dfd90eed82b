// The control page in Debian's chromium, headless, driven by puppeteer-core, against a running
// qvrender serve whose --raw frames this script reads from a FIFO:
//   node control-page.test.js QVRENDER SERVE_PID PORT FRAMES.fifo FOLDER [SCREENSHOT.png]
// FOLDER holds the rundown (examples/serve) and its pages. Two browsers (separate contexts) open
// the page; one edits a field, and the other must show the edit within a second; Cue shows the
// new text in the preview (equal to qvrender batch's picture of the row); Take puts the page on
// air within 2 frames of its request (the frames read back equal qvrender batch's frames of the
// page); a second layer goes on air; Take Out by key and by the layer's button empties the
// program. At the end it stops serve (SIGTERM to SERVE_PID) while still reading its frames, so
// that serve ends as a stopped playout does. Exits with 0 when every check held, 1 (and says
// which) otherwise.
'use strict';

const fs = require('fs');
const path = require('path');
const crypto = require('crypto');
const { execFileSync } = require('child_process');
const puppeteer = require('puppeteer-core');

const [qvrender, servePid, port, fifo, folder, screenshot] = process.argv.slice(2);
const base = 'http://127.0.0.1:' + port;
const W = 768, H = 576, FRAME = W * H * 4;
const EDITED = 'Anna Q. Berg';

let failures = 0;
function check(ok, what) {
  console.log((ok ? 'ok   ' : 'FAIL ') + what);
  if (!ok) failures++;
}
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// Every frame of the program, as the MD5 of its bytes, in the order they came.
const frames = [];
let partial = Buffer.alloc(0);
const reader = fs.createReadStream(fifo, { highWaterMark: 1 << 20 });
const ended = new Promise((resolve) => reader.on('close', resolve));
reader.on('data', (chunk) => {
  partial = partial.length ? Buffer.concat([partial, chunk]) : chunk;
  while (partial.length >= FRAME) {
    frames.push(crypto.createHash('md5').update(partial.subarray(0, FRAME)).digest('hex'));
    partial = partial.subarray(FRAME);
  }
});
async function moreFrames(n) {
  const want = frames.length + n;
  while (frames.length < want) await sleep(5);
}
const empty = crypto.createHash('md5').update(Buffer.alloc(FRAME)).digest('hex');

async function api(p) {
  const r = await fetch(base + p);
  return r.json();
}

// qvrender batch's pictures of the lower third with Fields: TGA frames From..To (premultiplied
// bytes, as the program's), or one PNG.
function batch(fields, name, args) {
  const dir = fs.mkdtempSync(path.join(folder, 'ref-'));
  const names = Object.keys(fields);
  const csv = ['id,' + names.join(','), name + ',' + names.map((n) => '"' + fields[n].replace(/"/g, '""') + '"').join(',')].join('\n') + '\n';
  fs.writeFileSync(path.join(dir, 'rows.csv'), csv);
  execFileSync(qvrender, ['batch', path.join(folder, 'serve', 'lower-third.QV'), path.join(dir, 'rows.csv'), ...args.map((a) => a.replace('DIR', dir))]);
  return dir;
}
function tgaPixels(file) {
  const b = fs.readFileSync(file);
  const w = b.readUInt16LE(12), h = b.readUInt16LE(14), topFirst = (b[17] & 0x20) !== 0;
  const data = b.subarray(18 + b[0]);
  if (topFirst) return data.subarray(0, w * h * 4);
  const out = Buffer.alloc(w * h * 4);
  for (let y = 0; y < h; y++) data.copy(out, y * w * 4, (h - 1 - y) * w * 4, (h - y) * w * 4);
  return out;
}

// Whether the page's picture Id equals the PNG at File, pixel for pixel, as the browser decodes both.
async function sameAsPng(page, selector, file) {
  const url = 'data:image/png;base64,' + fs.readFileSync(file).toString('base64');
  return page.evaluate(async (sel, src) => {
    const load = (s) => new Promise((ok, bad) => { const i = new Image(); i.onload = () => ok(i); i.onerror = bad; i.src = s; });
    const shown = await load(document.querySelector(sel).src);
    const want = await load(src);
    const pixels = (img) => {
      const c = document.createElement('canvas');
      c.width = img.naturalWidth; c.height = img.naturalHeight;
      const g = c.getContext('2d');
      g.drawImage(img, 0, 0);
      return g.getImageData(0, 0, c.width, c.height).data;
    };
    const a = pixels(shown), b = pixels(want);
    return a.length === b.length && a.every((v, i) => v === b[i]);
  }, selector, url);
}

// The page draws its rows (and its list of layers) again at every change of state, so an element
// found first and clicked after may be gone by then: the click is made inside the page, on the
// row's first cell as it is at that moment.
async function clickRow(page, id) {
  await page.evaluate((rowId) => document.querySelector('#rows tr[data-id="' + rowId + '"] td').click(), id);
}

async function main() {
  const browser = await puppeteer.launch({
    executablePath: process.env.QV_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--no-first-run'],
  });
  try {
    const pages = [];
    for (let i = 0; i < 2; i++) {
      const context = await browser.createBrowserContext();
      const page = await context.newPage();
      await page.setViewport({ width: 1280, height: 940 });
      page.on('pageerror', (e) => check(false, 'browser ' + (i + 1) + ' runs the page without errors: ' + e.message));
      await page.goto(base + '/', { waitUntil: 'load' });
      await page.waitForSelector('#rows tr[data-id="anna"]');
      await page.waitForFunction(() => document.getElementById('link').classList.contains('up'));
      pages.push(page);
    }
    const [a, b] = pages;

    // An edit in one browser shows in the other within a second.
    const field = 'input[aria-label="anna Meta1"]';
    await a.evaluate((sel) => { const el = document.querySelector(sel); el.focus(); el.select(); }, field);
    await a.keyboard.type(EDITED);
    const patched = a.waitForResponse((r) => r.url().endsWith('/api/rows/anna') && r.request().method() === 'PATCH');
    await a.keyboard.press('Enter');
    check((await patched).status() === 200, 'the edit is saved');
    const t0 = Date.now();
    const seen = await b.waitForFunction((sel, v) => document.querySelector(sel).value === v, { timeout: 1000 }, field, EDITED)
      .then(() => true, () => false);
    check(seen, 'the second browser shows the edit within a second (' + (Date.now() - t0) + ' ms)');
    const saved = JSON.parse(fs.readFileSync(path.join(folder, 'serve', 'rundown.json'), 'utf8'));
    check(saved.rows.find((r) => r.id === 'anna').fields.Meta1 === EDITED, 'the rundown file holds the edit');

    // Cue: the preview shows the new text.
    await clickRow(a, 'anna');
    await a.click('#cue');
    await a.waitForFunction(() => document.getElementById('cue-state').classList.contains('ready'));
    await a.waitForFunction(() => { const p = document.getElementById('preview'); return p.complete && p.naturalWidth > 0; });
    const cue = (await api('/api/state')).cue;
    const anna = { Meta1: EDITED, 'title.Text': 'Reporter, Oslo' };
    const refNew = batch(anna, 'anna', ['-o', 'DIR/{id}.png', '--frame', String(cue.preview)]);
    const refOld = batch({ ...anna, Meta1: 'Anna Berg' }, 'anna', ['-o', 'DIR/{id}.png', '--frame', String(cue.preview)]);
    check(await sameAsPng(a, '#preview', path.join(refNew, 'anna.png')), 'the preview is the cued row with the new text (frame ' + cue.preview + ')');
    check(!(await sameAsPng(a, '#preview', path.join(refOld, 'anna.png'))), 'the preview differs from the row before the edit');

    // Take (the space bar): the frames from the pipe show the page within 2 frames of the request,
    // each equal to qvrender batch's frame of it.
    const refFrames = batch(anna, 'anna', ['-o', 'DIR/{id}-%02d.tga', '--from', '0', '--to', '40']);
    const pageFrame = new Map();
    for (let k = 0; k <= 40; k++) {
      const bytes = tgaPixels(path.join(refFrames, 'anna-' + String(k).padStart(2, '0') + '.tga'));
      pageFrame.set(crypto.createHash('md5').update(bytes).digest('hex'), k);
    }
    let requestedAt = -1;
    const onRequest = (r) => { if (r.url().endsWith('/api/take')) requestedAt = frames.length; };
    a.on('request', onRequest);
    await a.focus('body');
    await a.keyboard.press('Space');
    await moreFrames(30);
    a.off('request', onRequest);
    let latency = Infinity;
    let matched = true;
    for (let i = requestedAt; i < frames.length; i++) {
      const k = pageFrame.get(frames[i]);
      if (k === undefined) { matched = matched && frames[i] === empty && latency === Infinity; continue; }
      // Frame 0 of the page is all transparent; the first visible one tells where 0 went out.
      if (k > 0 && latency === Infinity) latency = i - k - requestedAt;
    }
    check(latency <= 2, 'Take: the page is on air ' + latency + ' frames after the request (at most 2)');
    check(matched, 'every frame after the take is a frame of the page');
    await b.waitForFunction(() => document.querySelectorAll('#layers li[data-layer="1"]').length === 1);
    check(true, 'the second browser shows layer 1 on air');

    // A second layer: the bug, cued by its row and taken with the button.
    await clickRow(a, 'bug');
    await a.keyboard.press('c');
    await a.waitForFunction(() => document.getElementById('cue-state').classList.contains('ready'));
    await a.click('#take');
    await b.waitForFunction(() => document.querySelectorAll('#layers li[data-layer]').length === 2);
    check(true, 'two layers on air, seen by the second browser');

    // Ben cued for the picture of the page; the program picture a few times a second.
    await clickRow(a, 'ben');
    await a.keyboard.press('c');
    await a.waitForFunction(() => document.getElementById('cue-state').classList.contains('ready'));
    await a.waitForFunction(() => { const p = document.getElementById('preview'); return p.complete && p.naturalWidth > 0; });
    await sleep(1200);
    const program = await a.evaluate(() => { const p = document.getElementById('program'); return p.complete && p.naturalWidth; });
    check(program === W, 'the program picture shows');
    if (screenshot) await a.screenshot({ path: screenshot });

    // Take Out: the X key for the selected row's layer, then layer 2's own button.
    await clickRow(a, 'anna');
    await a.focus('body');
    await a.keyboard.press('x');
    await b.waitForFunction(() => !document.querySelector('#layers li[data-layer="1"]'));
    // The click goes to the button the list holds at that moment (see clickRow).
    await a.waitForFunction(() => document.querySelector('#layers li[data-layer="2"] button') !== null);
    await a.evaluate(() => document.querySelector('#layers li[data-layer="2"] button').click());
    await b.waitForFunction(() => document.querySelector('#layers li.empty') !== null, { timeout: 5000 });
    await moreFrames(10);
    check(frames[frames.length - 1] === empty, 'after both take outs the program is empty');
  } finally {
    await browser.close();
  }
}

// Serve is stopped while its frames are still read: it must end as a stopped playout does.
async function stopServe() {
  process.kill(Number(servePid), 'SIGTERM');
  await Promise.race([ended, sleep(10000)]);
}

main().then(
  async () => {
    await stopServe();
    console.log(failures ? failures + ' checks failed' : 'every check held');
    process.exit(failures ? 1 : 0);
  },
  async (e) => {
    console.error('FAIL ' + ((e && e.stack) || e));
    await stopServe();
    process.exit(1);
  },
);
