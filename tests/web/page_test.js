// Orbelune's page in a real browser (Debian's chromium or firefox-esr,
// headless, driven by puppeteer-core): with the SIMD kernels and with the
// scalar ones, with cross-origin isolation and without it, the page's
// digest and the canvas it shows must be the golden image; the image must
// sharpen (a canvas taken mid-way shows the view all over, each pixel its
// own exact colour or its block's), or with ?order=columns appear strictly
// from the left; and the page must ask for nothing outside its own origin. A query the page cannot use is refused with a note, and
// a module that cannot be loaded or compiled fails the page at once, named.
// Turned by a drag, the page's exact image must be orbelune-render's for
// the view in the address, and a view changed mid-render must leave
// nothing of the old one on the canvas. The page takes and refuses the
// texts of views that orbelune-render --view does.
//   node page_test.js SITE-FOLDER GOLDEN-DIGEST-FILE [chromium|firefox] [ORBELUNE-RENDER]
// (the browser's program from $CHROMIUM or $FIREFOX; without orbelune-render,
// from the argument or $ORBELUNE_RENDER, the view cases are skipped)
'use strict';
const {execFileSync, spawnSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');
const {Serve} = require('../../web/serve.js');
const {kBrowsers} = require('./browsers.js');
const {Check, EndChecks, Sleep} = require('./checks.js');

const [site, goldenFile, browserName = 'chromium', renderArgument] = process.argv.slice(2);
const render = renderArgument || process.env.ORBELUNE_RENDER || '';
const golden = fs.readFileSync(goldenFile, 'utf8').match(/[0-9a-f]{64}/)[0];
if (!(browserName in kBrowsers)) {
  console.error(`page_test.js: no browser ${browserName} (chromium or firefox)`);
  process.exit(2);
}
const shots = process.env.TMPDIR || os.tmpdir();

// Sets the address to a view, as a person editing it would, and waits for
// the page to hear of it.
async function TurnTo(page, view) {
  await page.evaluate(async (view) => {
    const heard = new Promise((resolve) => addEventListener('hashchange', resolve, {once: true}));
    location.hash = '#view=' + view;
    await heard;
  }, view);
}

// Which columns of the canvas are drawn, from the alpha of its middle row:
// undrawn pixels are transparent.
function DrawnColumns() {
  const canvas = document.getElementById('orbelune');
  const row = canvas.getContext('2d').getImageData(0, 384, canvas.width, 1).data;
  const drawn = [];
  for (let x = 0; x < canvas.width; ++x) drawn.push(row[x * 4 + 3] === 255);
  return drawn;
}

// The canvas and which pixels the page had computed when it drew it, in
// one turn of the page, kept there for Sharpened; the count computed, or
// -1 before the whole canvas shows the view or once the image is complete.
function Snapshot() {
  const state = window.orbelune;
  if (!state.whole || state.done || !window.orbeluneProbes.shown) return -1;
  const canvas = document.getElementById('orbelune');
  const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  window.snapshot = {data: data.slice(), shown: window.orbeluneProbes.shown.slice()};
  return window.snapshot.shown.reduce((n, v) => n + v, 0);
}

// The snapshot against the finished canvas: each pixel must have shown its
// own exact colour where it was computed, and elsewhere that of the
// computed pixel at the corner of its block, 2 or else 4 pixels wide.
function Sharpened() {
  const {data, shown} = window.snapshot;
  const canvas = document.getElementById('orbelune');
  const exact = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  const width = canvas.width, height = canvas.height;
  let wrong = 0, transparent = 0;
  for (let x = 0; x < width; ++x) {
    for (let y = 0; y < height; ++y) {
      const at = (y * width + x) * 4;
      if (data[at + 3] !== 255) {
        ++transparent;
        continue;
      }
      let [fx, fy] = [x, y];
      if (!shown[x * height + y]) {
        [fx, fy] = shown[(x & ~1) * height + (y & ~1)] ? [x & ~1, y & ~1] : [x & ~3, y & ~3];
      }
      const from = (fy * width + fx) * 4;
      if (data[at] !== exact[from] || data[at + 1] !== exact[from + 1] ||
          data[at + 2] !== exact[from + 2])
        ++wrong;
    }
  }
  return {wrong, transparent};
}

// Where the page's screenshot for a case goes: the last state a person
// would have seen.
function Shot(name) {
  const slug = name.replace(/[^A-Za-z0-9.]+/g, '-').replace(/^-|-$/g, '');
  return path.join(shots, `orbelune-page-${browserName}${slug ? '-' + slug : ''}.png`);
}

// Samples of the canvas while the image builds up, taken inside the page
// from its first moment to the complete image, so that a page quicker than
// the test's own round trips is still seen building up: column by column,
// the drawn columns must be the leftmost ones; sharpening, one snapshot
// once the whole canvas shows the view. Left in window.sampled.
function SampleCanvas(columns, drawnColumns, snapshot) {
  const sampled = window.sampled = {samples: 0, midway: 0, gaps: 0, snapped: -1};
  const sample = () => {
    const state = window.orbelune;
    if (state && state.done) return;
    if (state && document.getElementById('orbelune')) {
      if (columns) {
        const drawn = drawnColumns();
        const count = drawn.filter(Boolean).length;
        ++sampled.samples;
        if (count > 0 && count < drawn.length) ++sampled.midway;
        if (drawn.slice(0, count).some((d) => !d)) ++sampled.gaps;
      } else if (sampled.snapped < 0) {
        sampled.snapped = snapshot();
      }
    }
    setTimeout(sample, 5);
  };
  sample();
}

// The note of what the page refused, where it shows one.
function Refused() {
  const note = document.getElementById('refused');
  return note && !note.hidden ? note.textContent : '';
}

async function RunCase(browser, name, url, {kernels, isolated, refused = '', columns = false}) {
  const page = await browser.newPage();
  const origin = new URL(url).origin;
  const requests = [], errors = [];
  page.on('request', (request) => requests.push(request.url()));
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.evaluateOnNewDocument(`(${SampleCanvas})(${columns}, ${DrawnColumns}, ${Snapshot})`);
  await page.goto(url);
  const start = Date.now();
  while (!(await page.evaluate(() => window.orbelune && window.orbelune.done))) {
    if (Date.now() - start > 300000) break;
    await Sleep(50);
  }
  const {samples, midway, gaps, snapped} = await page.evaluate(() => window.sampled);
  const state = await page.evaluate(() => window.orbelune);
  const shownDigest = await page.$eval('#digest', (e) => e.textContent);
  const status = await page.$eval('#status', (e) => e.textContent);
  console.log(`${name}: ${status}`);
  Check(`${name}: the page finishes`, state.done, `still "${status}" after ${Date.now() - start} ms`);
  Check(`${name}: the page's digest is the golden one`, shownDigest === golden && state.digest === golden,
        state.failed || shownDigest);
  Check(`${name}: the canvas shows the golden image, pixel for pixel`, state.canvasDigest === golden,
        state.canvasDigest);
  Check(`${name}: computed with the ${kernels} kernels on ${state.threads} threads`,
        state.kernels === kernels && state.threads >= 2, `${state.kernels}, ${state.threads}`);
  if (columns) {
    const inOrder = state.drawnOrder.length === 1025 && state.drawnOrder.every((x, i) => x === i);
    Check(`${name}: columns drawn from the left, ${midway} of ${samples} samples mid-way, ` +
          'none with a gap', inOrder && gaps === 0 && midway > 0, `gaps ${gaps}, midway ${midway}`);
  } else {
    const seen = snapped >= 0 ? await page.evaluate(`(${Sharpened})()`) : {};
    Check(`${name}: sharpening, a snapshot with ${snapped} of 788225 pixels exact shows the ` +
          'view over the whole canvas, each pixel its own or its block\'s exact colour',
          snapped > 0 && snapped < 788225 && seen.wrong === 0 && seen.transparent === 0,
          snapped < 0 ? 'no snapshot' : `${seen.wrong} wrong, ${seen.transparent} not drawn`);
  }
  Check(`${name}: cross-origin isolated: ${isolated}`,
        (await page.evaluate(() => self.crossOriginIsolated)) === isolated);
  const outside = requests.filter((r) => !r.startsWith(origin + '/'));
  Check(`${name}: ${requests.length} requests, none outside the page's origin`,
        outside.length === 0 && requests.length > 0, outside.join(' '));
  Check(`${name}: no error in the page`, errors.length === 0, errors.join(' '));
  const note = await page.evaluate(Refused);
  Check(refused ? `${name}: refused, saying so: ${note}` : `${name}: nothing refused`,
        refused ? note.includes(refused) : note === '', note);
  if (name === 'SIMD, isolated' || refused) {
    await page.screenshot({path: Shot(refused ? name : ''), fullPage: true});
  }
  await page.close();
}

// Whole numbers of workers only: the rest refused with a note, the
// default used. Read as the page starts; no need to wait for the image.
async function ThreadsCases(browser, url) {
  const page = await browser.newPage();
  for (const [asked, note] of [['abc', 'refused'], ['0', 'refused'], ['-1', 'refused'],
                               ['2e0', 'refused'], ['', 'refused'], ['100', 'at most 64'],
                               ['3', '']]) {
    await page.goto(`${url}?threads=${asked}`);
    const {threads, cores} = await page.evaluate(
        () => ({threads: window.orbelune.threads, cores: navigator.hardwareConcurrency}));
    const expected = asked === '3' ? 3 : asked === '100' ? 64 : Math.min(64, cores || 2);
    const shown = await page.evaluate(Refused);
    Check(`?threads=${asked}: ${threads} workers, ${note ? `"${shown}"` : 'no note'}`,
          threads === expected && (note ? shown.includes(`?threads=${asked}`) &&
                                              shown.includes(note) : shown === ''),
          `expected ${expected} workers`);
  }
  await page.close();
}

// A copy of the site whose SIMD module does not compile and whose scalar
// module is missing; under no-worker/, one without the workers' script.
function BrokenSite() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'orbelune-broken-'));
  fs.mkdirSync(path.join(folder, 'no-worker'));
  for (const file of fs.readdirSync(site)) {
    fs.copyFileSync(path.join(site, file), path.join(folder, file));
    if (file !== 'worker.js') fs.copyFileSync(path.join(site, file), path.join(folder, 'no-worker', file));
  }
  fs.writeFileSync(path.join(folder, 'orbelune-web-simd.wasm'), 'not a WebAssembly module\n');
  fs.rmSync(path.join(folder, 'orbelune-web.js'));
  return folder;
}

// A worker that cannot load or compile its module: "Failed: ..." at once,
// every worker ended, no digest.
async function FailCase(browser, name, url, module) {
  const page = await browser.newPage();
  // Counts the page's live workers.
  let counted = true;
  try {
    await page.evaluateOnNewDocument(() => {
      window.liveWorkers = 0;
      const Real = window.Worker;
      window.Worker = class extends Real {
        constructor(...args) {
          super(...args);
          ++window.liveWorkers;
        }
        terminate() {
          if (!this.ended) --window.liveWorkers;
          this.ended = true;
          super.terminate();
        }
      };
    });
  } catch (error) {
    counted = false;
    console.log(`skipped: ${name}: counting the workers (${browserName} cannot run a script ` +
                `before the page's: ${error.message})`);
  }
  await page.goto(url);
  const start = Date.now();
  while (!(await page.evaluate(() => window.orbelune && window.orbelune.done)) &&
         Date.now() - start < 60000) {
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  const status = await page.$eval('#status', (e) => e.textContent);
  const state = await page.evaluate(() => window.orbelune);
  console.log(`${name}: ${status}`);
  Check(`${name}: "Failed:" naming ${module}, within a minute`,
        state.done && status.startsWith('Failed:') && status.includes(module), status);
  Check(`${name}: no digest, nothing to save`, state.digest === '' &&
        (await page.$eval('#save', (e) => e.disabled)));
  if (counted) {
    const live = await page.evaluate(() => window.liveWorkers);
    Check(`${name}: every worker ended`, live === 0, `${live} still running`);
  }
  await page.screenshot({path: Shot(name), fullPage: true});
  await page.close();
}

// The digest of the view's image as the native command computes it.
function NativeDigest(view) {
  return execFileSync(render, [`--view=${view}`, '--digest'],
                      {encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore']})
      .match(/[0-9a-f]{64}/)[0];
}

// What "Save as PNG" gives: the file's name and bytes, caught where the
// page hands them to the browser (no download is made).
async function Saved(page) {
  await page.evaluate(() => {
    window.saved = null;
    const create = URL.createObjectURL;
    URL.createObjectURL = (blob) => {
      window.saved = {blob, name: ''};
      return create(blob);
    };
    HTMLAnchorElement.prototype.click = function() {
      window.saved.name = this.download;
    };
  });
  // Clicked in the page: a pointer click would scroll the page.
  await page.evaluate(() => document.getElementById('save').click());
  await page.waitForFunction(() => window.saved && window.saved.name !== '');
  const {name, base64} = await page.evaluate(async () => {
    const bytes = new Uint8Array(await window.saved.blob.arrayBuffer());
    let text = '';
    for (const b of bytes) text += String.fromCharCode(b);
    return {name: window.saved.name, base64: btoa(text)};
  });
  return {name, bytes: Buffer.from(base64, 'base64')};
}

// Whether every chunk of a PNG has the CRC-32 that its type and data give
// (bit by bit, as ISO 3309 defines it).
function ChunksIntact(png) {
  const crc32 = (bytes) => {
    let c = 0xFFFFFFFF;
    for (const b of bytes) {
      c ^= b;
      for (let k = 0; k < 8; ++k) c = (c >>> 1) ^ (0xEDB88320 & -(c & 1));
    }
    return (c ^ 0xFFFFFFFF) >>> 0;
  };
  for (let at = 8; at < png.length;) {
    const length = png.readUInt32BE(at);
    if (crc32(png.subarray(at + 4, at + 8 + length)) !== png.readUInt32BE(at + 8 + length)) return false;
    at += 12 + length;
  }
  return true;
}

// What orbelune-render --check says of a PNG: its exit code and words.
function CheckPng(bytes) {
  const file = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'orbelune-saved-')), 'saved.png');
  fs.writeFileSync(file, bytes);
  const run = spawnSync(render, ['--check', file], {encoding: 'utf8'});
  fs.rmSync(path.dirname(file), {recursive: true, force: true});
  return {status: run.status, said: (run.stdout + run.stderr).trim()};
}

// Waits for the page's exact image (at most five minutes); sample, if
// given, runs between polls.
async function WaitDone(page, sample = async () => {}) {
  const start = Date.now();
  while (!(await page.evaluate(() => window.orbelune.done)) && Date.now() - start < 300000) {
    await sample();
    await Sleep(20);
  }
  return page.evaluate(() => window.orbelune);
}

// Whether a saved file's name is orbelune-view-A,B,C.png with each angle
// the float of the view's text, in at most 9 significant digits: as short
// as a float needs, however long the text.
function NamesView(name, view) {
  const named = /^orbelune-view-(.*)\.png$/.exec(name);
  const [parts, wanted] = [named ? named[1].split(',') : [], view.split(',')];
  const float = (text) => Math.fround(Number(text));
  return parts.length === 3 && parts.every((part, i) =>
    Object.is(float(part), float(wanted[i])) && part.replace(/e.*|[^0-9]/g, '').length <= 9);
}

// The page's angle text for a turn, as page.js writes it.
function Angle(angle) {
  while (angle > Math.PI) angle -= 2 * Math.PI;
  while (angle <= -Math.PI) angle += 2 * Math.PI;
  return Number(angle.toPrecision(9));
}

// A drag turns B across the canvas and A down it, Shift+drag turns C; the
// exact image after release is the command's for the view in the address.
// The button brings the image back, golden verdict and all.
async function DragCase(browser, url) {
  const name = 'a drag';
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(url);
  await WaitDone(page);
  // Saved, the image is Orbelune's image, and its PNG says its digest.
  const image = await Saved(page);
  const imageCheck = CheckPng(image.bytes);
  Check(`${name}: "Save as PNG" gives ${image.name}, which --check finds to be the image ` +
        `(${imageCheck.said}), its digest in its Comment`,
        image.name === 'orbelune.png' && imageCheck.status === 0 && ChunksIntact(image.bytes) &&
            image.bytes.includes(`tEXtComment\0SHA-256 of the frame's colours: ${golden}`) &&
            !image.bytes.includes('; view '),
        imageCheck.said);
  const box = await (await page.$('#orbelune')).boundingBox();
  const drag = async (dx, dy) => {
    const x = box.x + box.width / 2, y = box.y + box.height / 2;
    await page.mouse.move(x, y);
    await page.mouse.down();
    for (let i = 1; i <= 10; ++i) {
      await page.mouse.move(x + dx * i / 10, y + dy * i / 10);
      await Sleep(60);
    }
    await page.mouse.up();
  };
  await drag(240, -120);
  const turned = await WaitDone(page);
  const expected = [-0.5 - 120 / box.height * Math.PI, -0.5 + 240 / box.width * Math.PI, 0];
  const got = turned.view.split(',').map(Number);
  Check(`${name}: turns A by -120/${box.height} pi and B by 240/${box.width} pi: ${turned.view}`,
        got.every((a, i) => Math.abs(a - Angle(expected[i])) < 1e-6), turned.view);
  Check(`${name}: previewed while the pointer was down (${turned.previews} previews)`,
        turned.previews > 0);
  await page.keyboard.down('Shift');
  await drag(100, 50);
  await page.keyboard.up('Shift');
  const state = await WaitDone(page);
  const hash = await page.evaluate(() => location.hash);
  const fields = await page.evaluate(
      () => ['angleA', 'angleB', 'angleC'].map((id) => document.getElementById(id).value).join(','));
  const shifted = state.view.split(',').map(Number);
  Check(`${name}: Shift turns C alone by 100/${box.width} pi: ${state.view}`,
        Math.abs(shifted[2] - Angle(100 / box.width * Math.PI)) < 1e-6 &&
            shifted[0] === got[0] && shifted[1] === got[1], state.view);
  Check(`${name}: the address and the fields name the view`,
        hash === '#view=' + state.view && fields === state.view, `${hash}, fields ${fields}`);
  const native = NativeDigest(state.view);
  Check(`${name}: the exact image is orbelune-render --view=${state.view}'s, page and canvas`,
        state.digest === native && state.canvasDigest === native,
        `page ${state.digest}, canvas ${state.canvasDigest}, command ${native}`);
  const verdict = await page.$eval('#verdict', (e) => e.textContent);
  Check(`${name}: sharpened over the whole canvas; no golden verdict for another view`,
        state.whole && verdict === '' && !state.imageView, verdict);
  await page.screenshot({path: Shot(name), fullPage: true});
  // Saved, another view is named by its view, in the file's name and in
  // its Comment beside its digest.
  const other = await Saved(page);
  const otherCheck = CheckPng(other.bytes);
  Check(`${name}: saved, the view is ${other.name}, with "view ${state.view}" and its digest ` +
        'in its Comment, and --check says it is not the image',
        NamesView(other.name, state.view) && otherCheck.status === 1 &&
            other.bytes.includes(`SHA-256 of the frame's colours: ${native}; view ${state.view}`),
        `${other.name}: ${otherCheck.said}`);
  // A field's angle is the module's to read, as typed.
  await page.$eval('#angleC', (field) => {
    field.value = '0.5';
    field.dispatchEvent(new Event('change'));
  });
  const typed = await WaitDone(page);
  const typedView = `${state.view.split(',').slice(0, 2).join(',')},0.5`;
  const typedNative = NativeDigest(typedView);
  Check(`${name}: the field C = 0.5 turns to ${typedView}, the command's image`,
        typed.view === typedView && typed.digest === typedNative &&
            typed.canvasDigest === typedNative &&
            (await page.evaluate(() => location.hash)) === '#view=' + typedView,
        `${typed.view}: page ${typed.digest}, command ${typedNative}`);
  await page.click('#imageView');
  const back = await WaitDone(page);
  const backVerdict = await page.$eval('#verdict', (e) => e.textContent);
  Check(`${name}: the button brings back the image and its golden verdict`,
        back.digest === golden && back.canvasDigest === golden && back.imageView &&
            backVerdict.startsWith('= the golden digest') &&
            (await page.evaluate(() => location.hash)) === '',
        `${back.digest}, "${backVerdict}"`);
  // The view shown, written otherwise, is the same floats: nothing starts
  // again, nothing is wiped.
  await TurnTo(page, '-0.50,-0.5,0.0');
  await Sleep(300);
  const same = await page.evaluate(() => window.orbelune);
  Check(`${name}: #view=-0.50,-0.5,0.0 over the image's view starts nothing again`,
        same.generation === back.generation && same.done && same.digest === golden,
        `generation ${back.generation} then ${same.generation}, done ${same.done}`);
  Check(`${name}: no error in the page`, errors.length === 0, errors.join(' '));
  await page.close();
}

// What a drag meets in use: a view with a huge angle, Shift pressed
// halfway, the button pressed while the pointer is still down, and a
// field or an address that is no view.
async function DragEdgesCase(browser, url) {
  const name = 'a drag\'s edges';
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  page.setDefaultTimeout(30000);
  await page.setViewport({width: 1280, height: 1100});  // room for the moves below
  await page.goto(`${url}#view=1e30,0,0`);
  await WaitDone(page);
  const box = await (await page.$('#orbelune')).boundingBox();
  const x = box.x + box.width / 2, y = box.y + box.height / 2;
  // The view as the fields show it: at once, where the preview may lag.
  const view = () => page.evaluate(
      () => ['angleA', 'angleB', 'angleC'].map((id) => Number(document.getElementById(id).value)));
  // Its turns are those of the float 1e30 reads as; a step of 2 pi at a
  // time never gets there.
  await page.mouse.move(x, y);
  await page.mouse.down();
  await page.mouse.move(x, y + 40);
  const [a] = await view();
  const start = Math.atan2(Math.sin(Math.fround(1e30)), Math.cos(Math.fround(1e30)));
  Check(`${name}: a drag from A = 1e30 turns it from its own angle, ${start}, to ${a}`,
        Math.abs(a - Angle(start + 40 / box.height * Math.PI)) < 1e-6, String(a));
  // Shift pressed halfway: B stays where it got to, and C turns from there.
  await page.mouse.move(x + 60, y + 40);
  const [, b] = await view();
  await page.keyboard.down('Shift');
  await page.mouse.move(x + 120, y + 40);
  await page.keyboard.up('Shift');
  const [, b2, c2] = await view();
  Check(`${name}: Shift pressed halfway keeps B at ${b} and turns C by 60 px: ${c2}`,
        b2 === b && Math.abs(c2 - Angle(60 / box.width * Math.PI)) < 1e-6, `${b2}, ${c2}`);
  // The button while the pointer is down: the image's view, which the rest
  // of the drag leaves alone.
  await page.evaluate(() => document.getElementById('imageView').click());
  await page.mouse.move(x + 200, y + 100);
  await page.mouse.up();
  const back = await WaitDone(page);
  Check(`${name}: the button pressed mid-drag ends the drag at the image's view`,
        back.view === '-0.5,-0.5,0' && back.digest === golden, back.view);
  // Released while the preview shows another view (or the last image):
  // the exact image builds up from the left over nothing, with no column
  // of another view left to its right. The moves and the release come in
  // one turn of the page, so that no preview of the last view can be
  // complete by the release, whatever the browser's pace.
  const previews = await page.evaluate(() => {
    // The mouse's pointer id, which browsers number differently.
    document.getElementById('orbelune').addEventListener(
        'pointerdown', (event) => window.mousePointer = event.pointerId, {once: true});
    return window.orbelune.previews;
  });
  await page.mouse.move(x, y);
  await page.mouse.down();
  await page.evaluate(([x, y]) => {
    const canvas = document.getElementById('orbelune');
    const pointer = (type, dx) => canvas.dispatchEvent(new PointerEvent(type, {
      pointerId: window.mousePointer, pointerType: 'mouse', isPrimary: true, bubbles: true,
      clientX: x + dx, clientY: y}));
    pointer('pointermove', 30);
    pointer('pointermove', 60);
    pointer('pointerup', 60);
  }, [x, y]);
  await page.mouse.up();
  let samples = 0, leftover = 0;
  const released = await WaitDone(page, async () => {
    // In one evaluation: the middle row's pixels seen, and those the
    // sharpening image has drawn, its own or a block's.
    const [drawn, shown] = await page.evaluate(`[(${DrawnColumns})(), Array.from(
        {length: 1025}, (_, x) => [x, x & ~1, x & ~3].some((c) =>
            window.orbeluneProbes.shown && window.orbeluneProbes.shown[c * 769 + 384] === 1))]`);
    ++samples;
    if (drawn.some((d, x) => d !== shown[x])) ++leftover;
  });
  Check(`${name}: released mid-preview, the exact image has nothing of another view beside ` +
        `it in ${samples} samples`,
        released.previews > previews && leftover === 0 && samples > 0 &&
            released.canvasDigest === released.digest,
        `${leftover} samples with old columns`);
  // Refused text is quoted as typed, and the note goes with the next view.
  await page.$eval('#angleA', (field) => {
    field.value = '1e39';
    field.dispatchEvent(new Event('change'));
  });
  const note = await page.evaluate(Refused);
  Check(`${name}: a field of 1e39 is refused as beyond a float's range: ${note}`,
        note.includes('1e39') && note.includes('beyond a float\'s range'), note);
  await page.evaluate(async () => {
    const heard = new Promise((resolve) => addEventListener('hashchange', resolve, {once: true}));
    location.hash = '#view=1,2,3%';
    await heard;
  });
  const stray = await page.evaluate(Refused);
  const shown = await WaitDone(page);
  Check(`${name}: an address with a stray % is refused, and the image's view shown: ${stray}`,
        stray.includes('#view=1,2,3% refused') && !stray.includes('1e39') &&
            shown.view === '-0.5,-0.5,0',
        stray);
  await page.$eval('#angleC', (field) => {
    field.value = '0.25';
    field.dispatchEvent(new Event('change'));
  });
  await WaitDone(page);
  Check(`${name}: a view taken clears the note`, (await page.evaluate(Refused)) === '');
  Check(`${name}: no error in the page`, errors.length === 0, errors.join(' '));
  await page.close();
  // Loaded with a stray %, the page starts all the same.
  const loaded = await browser.newPage();
  await loaded.goto(`${url}#view=%E0%A4%A`);
  const state = await WaitDone(loaded);
  const loadNote = await loaded.evaluate(Refused);
  Check(`${name}: loaded as #view=%E0%A4%A, it refuses it and shows the image: ${loadNote}`,
        state.digest === golden && loadNote.includes('refused'), loadNote);
  await loaded.close();
}

// Whether orbelune-render --view takes the text: it reads --view before
// it acts on --version. A text too long for one argument reaches no
// command (E2BIG): none takes it.
function CommandTakes(text) {
  const run = spawnSync(render, ['--view', text, '--version'], {stdio: 'ignore'});
  return run.error ? false : run.status === 0;
}

// "Save as PNG" as the browser carries it out, in Chromium: the file it
// writes, or why there is none (a name too long is cancelled, silently).
async function Downloaded(browser, page) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'orbelune-download-'));
  const session = await browser.target().createCDPSession();
  await session.send('Browser.setDownloadBehavior',
                     {behavior: 'allow', downloadPath: folder, eventsEnabled: true});
  const ended = new Promise((resolve) => session.on('Browser.downloadProgress', (event) => {
    if (event.state !== 'inProgress') resolve(event.state);
  }));
  await page.evaluate(() => document.getElementById('save').click());
  const how = await Promise.race([ended, Sleep(30000).then(() => 'no download in 30 s')]);
  const [file] = fs.readdirSync(folder);
  const saved = how === 'completed' && file ? {name: file, bytes: fs.readFileSync(path.join(folder, file))}
                                            : {name: '', bytes: Buffer.alloc(0), how};
  await session.send('Browser.setDownloadBehavior', {behavior: 'default'});
  await session.detach();
  fs.rmSync(folder, {recursive: true, force: true});
  return saved;
}

// The page reads a view's text as orbelune-render --view does: the same
// verdict on every text, at the edges of a float's range and of the
// command line too; the largest float's image is the command's. A view whose text is long saves under a name a file may
// have; a PNG the browser cannot make is said not to be saved.
async function ViewTextCase(browser, url) {
  const name = 'view texts';
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  // 2^128 - 2^103, halfway past the largest float: strtof's overflow.
  const edge = '340282356779733661637539395458142568448';
  const below = '340282356779733661637539395458142568447';
  await page.goto(`${url}#view=${below},0,0`);
  const largest = await WaitDone(page);
  const native = NativeDigest(`${below},0,0`);
  Check(`${name}: #view=${below},0,0, a hair below the overflow, is the largest float's ` +
        'image, the command\'s',
        (await page.evaluate(Refused)) === '' && largest.view === `${below},0,0` &&
            largest.digest === native && largest.canvasDigest === native,
        `"${await page.evaluate(Refused)}", page ${largest.digest}, command ${native}`);
  const longest = '0.' + '0'.repeat(131071 - 6) + ',0,0';
  const texts = [
    `${below},0,0`, `${edge},0,0`, `${edge.slice(0, -1)}9,0,0`, `-${below},0,0`, `0,0,-${edge}`,
    '3.4028235677973366e38,0,0', `3.${below.slice(1)}e38,0,0`, `${below}.99999999,0,0`,
    '1e38,1e-46,0', '1e39,0,0', '1e99999999999,0,0', '1e-99999999999,0,0',
    '0x1p3,0,0', '0x1.fffffep127,0,0', '0x1.ffffffp127,0,0', '0X.8P-1,0,0', '0x,0,0',
    'inf,0,0', '-infinity,0,0', 'nan,0,0', 'nan(1),0,0', '1.,.5,+1', '.,0,0', '1e,0,0',
    '1e+,0,0', '--1,0,0', ' 1,0,0', '1 ,0,0', ',0,0', '1,2', '1,2,3,4', '1,,3', '',
    '\u0661,0,0', longest, longest.replace(',', '0,'),
  ];
  const verdicts = await page.evaluate(
      (texts) => texts.map((text) => window.orbeluneProbes.ViewProblem(text)), texts);
  const differ = texts.map((text, i) => [text, verdicts[i]])
                     .filter(([text, why]) => (why === '') !== CommandTakes(text));
  Check(`${name}: ${texts.length} texts, each taken or refused by the page as by the command`,
        differ.length === 0,
        differ.map(([text, why]) => `${text.slice(0, 40)} (page: ${why || 'a view'})`).join('; '));
  // The view's text is far longer than a file's name may be.
  const long = '0.' + '0'.repeat(300) + '1,0,0';
  await TurnTo(page, long);
  const shown = await WaitDone(page);
  let saved;
  if (browserName === 'chromium') {
    saved = await Downloaded(browser, page);
  } else {
    console.log(`skipped: ${name}: the download itself (puppeteer drives no download in ` +
                `${browserName}); the file as the page hands it over instead`);
    saved = await Saved(page);
  }
  Check(`${name}: a view of ${long.length} characters saves as ${saved.name}`,
        shown.view === long && NamesView(saved.name, long) &&
            saved.bytes.includes(`SHA-256 of the frame's colours: ${shown.digest}; view `),
        saved.how || saved.name);
  await page.evaluate(() => {
    HTMLCanvasElement.prototype.toBlob = function(callback) {
      setTimeout(() => callback(null));
    };
    document.getElementById('save').click();
  });
  await Sleep(500);
  const status = await page.$eval('#status', (e) => e.textContent);
  Check(`${name}: a PNG the browser cannot make is said not to be saved: ${status}`,
        status.startsWith('Not saved:'), status);
  Check(`${name}: no error in the page`, errors.length === 0, errors.join(' '));
  await page.close();
}

// A view changed mid-render: from then on the drawn columns are the
// leftmost ones of the new view only, and the finished canvas is the
// command's image of it. A view the address cannot name is refused.
async function SwitchCase(browser, url) {
  const [first, second] = ['0.3,-1.1,0.7', '0.2,-0.7,0.1'];
  const name = 'a view changed mid-render';
  const page = await browser.newPage();
  await page.goto(`${url}?order=columns#view=${first}`);
  const start = Date.now();
  let before = 0;
  while (Date.now() - start < 300000) {
    const state = await page.evaluate(() => window.orbelune);
    before = state.drawnOrder.length;
    if (state.done || (before >= 100 && state.view === first)) break;
    await Sleep(10);
  }
  await TurnTo(page, second);
  let samples = 0, gaps = 0;
  const state = await WaitDone(page, async () => {
    const drawn = await page.evaluate(DrawnColumns);
    const count = drawn.filter(Boolean).length;
    ++samples;
    if (drawn.slice(0, count).some((d) => !d)) ++gaps;
  });
  const native = NativeDigest(second);
  Check(`${name}: switched after ${before} columns of ${first}; ${samples} samples after, ` +
        `none with a column out of place (${state.stale} old columns dropped)`,
        before > 0 && before < 1025 && gaps === 0 && samples > 0, `gaps ${gaps}`);
  Check(`${name}: the canvas is orbelune-render --view=${second}'s image alone`,
        state.view === second && state.digest === native && state.canvasDigest === native,
        `${state.view}: page ${state.digest}, canvas ${state.canvasDigest}, command ${native}`);
  // Once a view's columns are all in, the next view keeps its workers.
  const started = state.workersStarted;
  await TurnTo(page, first);
  const again = await WaitDone(page);
  Check(`${name}: back to ${first} once ${second} was complete: the same ` +
        `${again.workersStarted} workers, the same image as before`,
        again.workersStarted === started && again.view === first &&
            again.digest === NativeDigest(first),
        `${started} workers, then ${again.workersStarted}; ${again.digest}`);
  await page.close();
  const bad = await browser.newPage();
  await bad.goto(`${url}#view=nan,0,0`);
  // Read once the module's reader is at hand.
  await bad.waitForFunction(() => window.orbelune.view !== '', {timeout: 60000});
  const note = await bad.evaluate(Refused);
  Check(`#view=nan,0,0: refused, saying so: ${note}`,
        note.includes('#view=nan,0,0 refused') &&
            (await bad.evaluate(() => window.orbelune.view)) === '-0.5,-0.5,0');
  await bad.close();
}

(async () => {
  const isolated = await Serve(site, {isolated: true});
  const plain = await Serve(site, {isolated: false});
  const brokenFolder = BrokenSite();
  const broken = await Serve(brokenFolder, {isolated: true});
  // The site, with each module's connection cut before it is answered.
  const cut = await Serve(site, {isolated: true});
  const [serve] = cut.server.listeners('request');
  cut.server.removeAllListeners('request');
  cut.server.on('request', (request, response) => request.url.endsWith('.wasm')
                                                      ? request.socket.destroy()
                                                      : serve(request, response));
  const browser = await puppeteer.launch({headless: true, ...kBrowsers[browserName]});
  console.log(`${browserName}: ${await browser.version()}`);
  try {
    await RunCase(browser, 'SIMD, isolated', isolated.url, {kernels: 'wasm-simd', isolated: true});
    await RunCase(browser, 'scalar, isolated', isolated.url + '?kernels=scalar',
                  {kernels: 'scalar', isolated: true});
    await RunCase(browser, 'SIMD, not isolated, column by column', plain.url + '?order=columns',
                  {kernels: 'wasm-simd', isolated: false, columns: true});
    await RunCase(browser, '?threads=1.5', isolated.url + '?threads=1.5',
                  {kernels: 'wasm-simd', isolated: true, refused: '?threads=1.5 refused'});
    await RunCase(browser, '?kernels=bogus', isolated.url + '?kernels=bogus',
                  {kernels: 'wasm-simd', isolated: true, refused: '?kernels=bogus refused'});
    await RunCase(browser, '?order=rows', isolated.url + '?order=rows',
                  {kernels: 'wasm-simd', isolated: true, refused: '?order=rows refused'});
    await ThreadsCases(browser, isolated.url);
    if (render) {
      await DragCase(browser, isolated.url);
      await DragEdgesCase(browser, isolated.url);
      await SwitchCase(browser, isolated.url);
      await ViewTextCase(browser, isolated.url);
    } else {
      console.log('skipped: the view cases (no orbelune-render: give its path, or $ORBELUNE_RENDER)');
    }
    await FailCase(browser, 'a module that does not compile', broken.url, 'orbelune-web-simd');
    await FailCase(browser, 'a module that cannot be loaded', broken.url + '?kernels=scalar',
                   'orbelune-web.js');
    await FailCase(browser, 'no script for the workers', broken.url + 'no-worker/', 'worker.js');
    await FailCase(browser, 'a module download cut before any answer', cut.url,
                   'orbelune-web-simd.wasm');
  } catch (error) {
    Check('the browser runs the page', false, String(error));
  } finally {
    await browser.close();
    isolated.server.close();
    plain.server.close();
    broken.server.close();
    cut.server.close();
    fs.rmSync(brokenFolder, {recursive: true, force: true});
  }
  EndChecks();
})();
