// The page's "Save turn" in a real browser (Debian's chromium or
// firefox-esr, headless, driven by puppeteer-core), through its button and
// the browser's own download into a folder: the file must be a turn that
// orbelune-render --check finds exact in every frame, named by the start
// view's floats, while the view shown stays as it was. A new view during
// the turn cancels it, saying so, and leaves the new view's image exact; a
// turn module that cannot be loaded is said, not saved.
//   node turn_test.js SITE-FOLDER chromium|firefox ORBELUNE-RENDER [UNAVAILABLE-FILE]
// (exit 77, skipped, where the site has no turn module: UNAVAILABLE-FILE
// says why, where the set-up left one)
'use strict';
const {execFileSync, spawnSync} = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');
const {Serve} = require('../../web/serve.js');
const {kBrowsers} = require('./browsers.js');
const {Check, EndChecks, Sleep} = require('./checks.js');

const [site, browserName, render, unavailable = ''] = process.argv.slice(2);
if (!(browserName in kBrowsers) || !render) {
  console.error('usage: node turn_test.js SITE-FOLDER chromium|firefox ORBELUNE-RENDER ' +
                '[UNAVAILABLE-FILE]');
  process.exit(2);
}
if (!fs.existsSync(path.join(site, 'orbelune-turn.wasm'))) {
  const why = unavailable && fs.existsSync(unavailable)
                  ? fs.readFileSync(unavailable, 'utf8').trim()
                  : 'the web build was configured without it';
  console.log(`skipped: the page's Save turn: the web build has no turn module (${why})`);
  process.exit(77);
}
const shots = process.env.TMPDIR || os.tmpdir();

async function WaitFor(page, test, ms, sample = async () => {}) {
  const start = Date.now();
  while (!(await page.evaluate(test)) && Date.now() - start < ms) {
    await sample();
    await Sleep(50);
  }
  return page.evaluate(test);
}

const ViewDone = () => window.orbelune.done;
const TurnOver = () => !window.orbelune.turn.running;
const TurnStatus = () => document.getElementById('turnStatus').textContent;

// What the canvas shows, hashed as the page hashes a frame.
const ShownDigest = () =>
  window.orbeluneProbes.CanvasDigest(document.getElementById('orbelune').getContext('2d'));

function NativeDigest(view) {
  return execFileSync(render, [`--view=${view}`, '--digest'],
                      {encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore']})
      .match(/[0-9a-f]{64}/)[0];
}

// The files the browser has finished downloading into the folder, once
// none is still being written (Chromium's .crdownload, Firefox's .part).
async function Downloads(folder, ms) {
  const start = Date.now();
  for (;;) {
    const files = fs.readdirSync(folder);
    const writing = files.some((f) => /\.(crdownload|part)$/.test(f)) ||
                    files.some((f) => fs.statSync(path.join(folder, f)).size === 0);
    if ((files.length > 0 && !writing) || Date.now() - start > ms) {
      return files.filter((f) => !/\.(crdownload|part)$/.test(f));
    }
    await Sleep(200);
  }
}

function Shot(name) {
  return path.join(shots, `orbelune-turn-${browserName}-${name}.png`);
}

// Clicked in the page: a pointer click would scroll it.
const ClickSaveTurn = (page) => page.evaluate(() => document.getElementById('saveTurn').click());

// A turn from a view whose text is not its floats' shortest: the file is
// named by the floats, and every frame is the command's.
async function SavedCase(browser, url, folder) {
  const name = 'a turn saved';
  const asked = '0.30,-1.1,0.7', view = '0.3,-1.1,0.7';
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(`${url}#view=${asked}`);
  await WaitFor(page, ViewDone, 300000);
  const before = await page.evaluate(() => window.orbelune);
  await ClickSaveTurn(page);
  const frames = new Set();
  let shot = false, disabled = false;
  const turned = await WaitFor(page, TurnOver, 600000, async () => {
    const status = await page.evaluate(TurnStatus);
    const shown = /^Turn: frame (\d+) of 36/.exec(status);
    if (shown) frames.add(Number(shown[1]));
    disabled = disabled || (await page.$eval('#saveTurn', (e) => e.disabled));
    if (!shot && frames.size >= 5) {
      await page.screenshot({path: Shot('progress'), fullPage: true});
      shot = true;
    }
  });
  const status = await page.evaluate(TurnStatus);
  console.log(`${name}: ${status}`);
  const file = `orbelune-turn-${view}.webp`;
  Check(`${name}: its progress shown frame by frame (${frames.size} frames seen), the button ` +
        `disabled meanwhile, then "${status}"`,
        turned && frames.size >= 5 && disabled && status.startsWith(`Saved ${file}: 36 frames`),
        [...frames].join(' '));
  const files = await Downloads(folder, 30000);
  Check(`${name}: the browser downloads ${file}`, files.length === 1 && files[0] === file,
        files.join(' '));
  if (files.includes(file)) {
    const run = spawnSync(render, ['--check', path.join(folder, file)], {encoding: 'utf8'});
    const said = (run.stdout + run.stderr).trim();
    console.log(`${name}: ${said}`);
    Check(`${name}: orbelune-render --check finds every frame exact, from the view ${view}`,
          run.status === 0 && said.includes('36 frames') && said.includes(`from view ${view}`),
          said);
  }
  const after = await page.evaluate(() => window.orbelune);
  const shown = await page.evaluate(ShownDigest);
  Check(`${name}: the view shown is left as it was, its canvas and digest`,
        after.view === asked && after.done && after.digest === before.digest &&
            shown === before.digest && before.digest === NativeDigest(view),
        `${after.view}: ${after.digest}, canvas ${shown}`);
  Check(`${name}: the button is back; no error in the page`,
        !(await page.$eval('#saveTurn', (e) => e.disabled)) && errors.length === 0,
        errors.join(' '));
  await page.close();
  for (const f of files) fs.rmSync(path.join(folder, f));
}

// A new view while the turn is computed: the turn ends, said on the page,
// nothing is saved, and the new view is computed exactly, by workers the
// turn no longer holds.
async function CancelCase(browser, url, folder) {
  const name = 'a new view mid-turn';
  const next = '0.2,-0.7,0.1';
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(url);
  await WaitFor(page, ViewDone, 300000);
  await ClickSaveTurn(page);
  await WaitFor(page, () => window.orbelune.turn.frame >= 3, 120000);
  await page.evaluate(async (view) => {
    const heard = new Promise((resolve) => addEventListener('hashchange', resolve, {once: true}));
    location.hash = '#view=' + view;
    await heard;
  }, next);
  await WaitFor(page, TurnOver, 60000);
  await WaitFor(page, ViewDone, 300000);
  const state = await page.evaluate(() => window.orbelune);
  const status = await page.evaluate(TurnStatus);
  console.log(`${name}: ${status}`);
  Check(`${name}: cancels the turn, saying so: ${status}`,
        state.turn.cancelled && /^Not saved: the view changed at frame \d+ of 36/.test(status),
        status);
  const native = NativeDigest(next);
  Check(`${name}: the new view's image is the command's, page and canvas`,
        state.view === next && state.digest === native && state.canvasDigest === native,
        `${state.view}: ${state.digest}, canvas ${state.canvasDigest}`);
  await Sleep(1000);
  const files = fs.readdirSync(folder);
  Check(`${name}: nothing downloaded; the button is back for the new view; no error`,
        files.length === 0 && !(await page.$eval('#saveTurn', (e) => e.disabled)) &&
            errors.length === 0,
        `${files.join(' ')} ${errors.join(' ')}`);
  await page.close();
}

// A site whose turn module is missing: "Not saved", naming the file.
async function MissingCase(browser, url) {
  const name = 'no turn module';
  const page = await browser.newPage();
  await page.goto(url);
  await WaitFor(page, ViewDone, 300000);
  await ClickSaveTurn(page);
  await WaitFor(page, TurnOver, 60000);
  const status = await page.evaluate(TurnStatus);
  const state = await page.evaluate(() => window.orbelune);
  Check(`${name}: said: ${status}`,
        status === 'Not saved: cannot load orbelune-turn.wasm: 404 Not Found' && state.done &&
            !state.failed && !(await page.$eval('#saveTurn', (e) => e.disabled)),
        status);
  await page.screenshot({path: Shot('missing'), fullPage: true});
  await page.close();
}

(async () => {
  const served = await Serve(site, {isolated: true});
  const brokenFolder = fs.mkdtempSync(path.join(os.tmpdir(), 'orbelune-no-turn-'));
  for (const file of fs.readdirSync(site)) {
    if (file === 'orbelune-turn.wasm') continue;
    fs.copyFileSync(path.join(site, file), path.join(brokenFolder, file));
  }
  const broken = await Serve(brokenFolder, {isolated: true});
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'orbelune-turn-download-'));
  // Downloads go to the folder without asking: Chromium by its protocol,
  // Firefox by its preferences.
  const options = {headless: true, ...kBrowsers[browserName]};
  if (browserName === 'firefox') {
    options.extraPrefsFirefox = {
      'browser.download.dir': folder, 'browser.download.folderList': 2,
      'browser.download.useDownloadDir': true,
      'browser.download.always_ask_before_handling_new_types': false,
      'browser.helperApps.neverAsk.saveToDisk': 'image/webp',
    };
  }
  const browser = await puppeteer.launch(options);
  console.log(`${browserName}: ${await browser.version()}`);
  try {
    if (browserName === 'chromium') {
      const session = await browser.target().createCDPSession();
      await session.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: folder});
    }
    await SavedCase(browser, served.url, folder);
    await CancelCase(browser, served.url, folder);
    await MissingCase(browser, broken.url);
  } catch (error) {
    Check('the browser runs the page', false, String(error));
  } finally {
    await browser.close();
    served.server.close();
    broken.server.close();
    fs.rmSync(brokenFolder, {recursive: true, force: true});
    fs.rmSync(folder, {recursive: true, force: true});
  }
  EndChecks();
})();
