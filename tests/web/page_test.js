// Orbelune's page in a real browser (Debian's chromium, headless, driven by
// puppeteer-core): with the SIMD kernels and with the scalar ones, with
// cross-origin isolation and without it, the page's digest and the canvas
// it shows must be the golden image; columns must appear strictly from the
// left; and the page must ask for nothing outside its own origin.
//   node page_test.js SITE-FOLDER GOLDEN-DIGEST-FILE
'use strict';
const fs = require('fs');
const path = require('path');
const puppeteer = require('puppeteer-core');
const {Serve} = require('../../web/serve.js');

const [site, goldenFile] = process.argv.slice(2);
const golden = fs.readFileSync(goldenFile, 'utf8').match(/[0-9a-f]{64}/)[0];
const browserPath = process.env.CHROMIUM || '/usr/bin/chromium';
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

async function RunCase(browser, name, url, {kernels, isolated}) {
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
  console.log(`${name}: ${await page.$eval('#status', (e) => e.textContent)}`);
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
  if (name === 'SIMD, isolated') {
    await page.screenshot({path: path.join(process.env.TMPDIR || '/tmp', 'orbelune-page.png'),
                           fullPage: true});
  }
  await page.close();
}

(async () => {
  const isolated = await Serve(site, {isolated: true});
  const plain = await Serve(site, {isolated: false});
  const browser = await puppeteer.launch({
    executablePath: browserPath,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  try {
    await RunCase(browser, 'SIMD, isolated', isolated.url, {kernels: 'wasm-simd', isolated: true});
    await RunCase(browser, 'scalar, isolated', isolated.url + '?kernels=scalar',
                  {kernels: 'scalar', isolated: true});
    await RunCase(browser, 'SIMD, not isolated', plain.url, {kernels: 'wasm-simd', isolated: false});
  } catch (error) {
    Check('the browser runs the page', false, String(error));
  } finally {
    await browser.close();
    isolated.server.close();
    plain.server.close();
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 ? 0 : 1);
})();
