// Orbelune's page in a real browser (Debian's chromium or firefox-esr,
// headless, driven by puppeteer-core): with the SIMD kernels and with the
// scalar ones, with cross-origin isolation and without it, the page's
// digest and the canvas it shows must be the golden image; columns must
// appear strictly from the left; and the page must ask for nothing outside
// its own origin. A query the page cannot use is refused with a note, and
// a module that cannot be loaded or compiled fails the page at once.
//   node page_test.js SITE-FOLDER GOLDEN-DIGEST-FILE [chromium|firefox]
// (the browser's program from $CHROMIUM or $FIREFOX)
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');
const {Serve} = require('../../web/serve.js');

const [site, goldenFile, browserName = 'chromium'] = process.argv.slice(2);
const golden = fs.readFileSync(goldenFile, 'utf8').match(/[0-9a-f]{64}/)[0];
const kBrowsers = {
  chromium: {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  },
  // puppeteer-core 22 names the browser by product and protocol.
  firefox: {executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr', product: 'firefox',
            protocol: 'webDriverBiDi'},
};
if (!(browserName in kBrowsers)) {
  console.error(`page_test.js: no browser ${browserName} (chromium or firefox)`);
  process.exit(2);
}
const shots = process.env.TMPDIR || os.tmpdir();
let passed = 0, failed = 0;

function Check(what, ok, detail = '') {
  console.log(`${ok ? 'ok' : 'FAILED'}: ${what}${ok || !detail ? '' : ` (${detail})`}`);
  ok ? ++passed : ++failed;
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

// Where the page's screenshot for a case goes: the last state a person
// would have seen.
function Shot(name) {
  const slug = name.replace(/[^A-Za-z0-9.]+/g, '-').replace(/^-|-$/g, '');
  return path.join(shots, `orbelune-page-${browserName}${slug ? '-' + slug : ''}.png`);
}

// The note of what the page refused, where it shows one.
function Refused() {
  const note = document.getElementById('refused');
  return note && !note.hidden ? note.textContent : '';
}

async function RunCase(browser, name, url, {kernels, isolated, refused = ''}) {
  const page = await browser.newPage();
  const origin = new URL(url).origin;
  const requests = [], errors = [];
  page.on('request', (request) => requests.push(request.url()));
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(url);
  // Samples of the canvas while the image builds up: drawn columns must be
  // the leftmost ones.
  let samples = 0, midway = 0, gaps = 0;
  const start = Date.now();
  while (!(await page.evaluate(() => window.orbelune && window.orbelune.done))) {
    if (Date.now() - start > 300000) break;
    const drawn = await page.evaluate(DrawnColumns);
    const count = drawn.filter(Boolean).length;
    ++samples;
    if (count > 0 && count < drawn.length) ++midway;
    if (drawn.slice(0, count).some((d) => !d)) ++gaps;
  }
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
  const inOrder = state.drawnOrder.length === 1025 && state.drawnOrder.every((x, i) => x === i);
  Check(`${name}: columns drawn from the left, ${midway} of ${samples} samples mid-way, ` +
        'none with a gap', inOrder && gaps === 0 && midway > 0, `gaps ${gaps}, midway ${midway}`);
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

(async () => {
  const isolated = await Serve(site, {isolated: true});
  const plain = await Serve(site, {isolated: false});
  const brokenFolder = BrokenSite();
  const broken = await Serve(brokenFolder, {isolated: true});
  const browser = await puppeteer.launch({headless: true, ...kBrowsers[browserName]});
  console.log(`${browserName}: ${await browser.version()}`);
  try {
    await RunCase(browser, 'SIMD, isolated', isolated.url, {kernels: 'wasm-simd', isolated: true});
    await RunCase(browser, 'scalar, isolated', isolated.url + '?kernels=scalar',
                  {kernels: 'scalar', isolated: true});
    await RunCase(browser, 'SIMD, not isolated', plain.url, {kernels: 'wasm-simd', isolated: false});
    await RunCase(browser, '?threads=1.5', isolated.url + '?threads=1.5',
                  {kernels: 'wasm-simd', isolated: true, refused: '?threads=1.5 refused'});
    await RunCase(browser, '?kernels=bogus', isolated.url + '?kernels=bogus',
                  {kernels: 'wasm-simd', isolated: true, refused: '?kernels=bogus refused'});
    await ThreadsCases(browser, isolated.url);
    await FailCase(browser, 'a module that does not compile', broken.url, 'orbelune-web-simd');
    await FailCase(browser, 'a module that cannot be loaded', broken.url + '?kernels=scalar',
                   'orbelune-web.js');
    await FailCase(browser, 'no script for the workers', broken.url + 'no-worker/', 'worker.js');
  } catch (error) {
    Check('the browser runs the page', false, String(error));
  } finally {
    await browser.close();
    isolated.server.close();
    plain.server.close();
    broken.server.close();
    fs.rmSync(brokenFolder, {recursive: true, force: true});
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 ? 0 : 1);
})();
