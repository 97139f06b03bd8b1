// The page as people meet it, in a real browser (Debian's chromium or
// firefox-esr, headless, driven by puppeteer-core): at phone size with
// touch it fits the screen, whole image and all; a finger's drag and a
// two-finger twist, the arrow keys and Home end on the image
// orbelune-render --view gives for the view the page shows; F fills the
// screen; and Play shows the turn, every frame sampled while it plays its
// own view's pixels (on its grid of blocks, or exact), until each of the
// 36 frames is orbelune-render --turn 36's, which "Save turn" then takes.
//   node controls_test.js SITE-FOLDER chromium|firefox ORBELUNE-RENDER
'use strict';
const {execFileSync} = require('child_process');
const fs = require('fs');
const path = require('path');
const puppeteer = require('puppeteer-core');
const {Serve} = require('../../web/serve.js');
const {kBrowsers} = require('./browsers.js');
const {Check, EndChecks, Sleep} = require('./checks.js');

const [site, browserName, render] = process.argv.slice(2);
if (!(browserName in kBrowsers) || !render) {
  console.error('usage: node controls_test.js SITE-FOLDER chromium|firefox ORBELUNE-RENDER');
  process.exit(2);
}
const kPhone = {width: 412, height: 915};

function Digests(...args) {
  return execFileSync(render, [...args, '--digest'],
                      {encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore']})
      .match(/[0-9a-f]{64}/g);
}

async function WaitFor(page, test, ms = 300000) {
  const start = Date.now();
  while (!(await page.evaluate(test)) && Date.now() - start < ms) await Sleep(50);
  return page.evaluate(test);
}

async function Exact(page) {
  await WaitFor(page, () => window.orbelune.done);
  return page.evaluate(() => window.orbelune);
}

// An angle's difference from the nearest whole turn.
const Turns = (angle) => angle - 2 * Math.PI * Math.round(angle / (2 * Math.PI));

// Whether the page's view is near the angles asked and its image is the
// command's for the view it shows.
function CheckView(name, state, angles) {
  const got = state.view.split(',').map(Number);
  const native = Digests(`--view=${state.view}`)[0];
  Check(`${name}: ends on ${state.view}, orbelune-render's image of it`,
        got.every((a, i) => Math.abs(Turns(a - angles[i])) < 1e-5) && state.digest === native &&
            state.canvasDigest === native,
        `wanted ${angles}; page ${state.digest}, command ${native}`);
}

// One or two fingers moving in steps from `from` to `to` (each a list of
// points): the browser's own touch input: true, or why not (puppeteer
// drives no more than one finger in Firefox; null for two).
async function Touch(page, from, to) {
  const at = (t) => from.map(([x, y], i) => ({x: x + (to[i][0] - x) * t, y: y + (to[i][1] - y) * t,
                                              id: i}));
  if (browserName === 'chromium') {
    const cdp = await page.target().createCDPSession();
    await cdp.send('Input.dispatchTouchEvent', {type: 'touchStart', touchPoints: at(0)});
    for (let i = 1; i <= 10; ++i) {
      await cdp.send('Input.dispatchTouchEvent', {type: 'touchMove', touchPoints: at(i / 10)});
      await Sleep(60);
    }
    await cdp.send('Input.dispatchTouchEvent', {type: 'touchEnd', touchPoints: []});
    return true;
  }
  if (from.length > 1) return null;
  try {
    await page.touchscreen.touchStart(from[0][0], from[0][1]);
    for (let i = 1; i <= 10; ++i) {
      const [{x, y}] = at(i / 10);
      await page.touchscreen.touchMove(x, y);
      await Sleep(60);
    }
    await page.touchscreen.touchEnd();
    return true;
  } catch (error) {
    return error.message.split('\n')[0].slice(0, 120);
  }
}

// At phone size: no sideways scroll, the whole image on the screen, the
// controls below it; a finger turns A and B, two fingers' twist C.
async function PhoneCase(browser, url) {
  const name = 'at 412 x 915 with touch';
  const page = await browser.newPage();
  try {
    await page.setViewport({...kPhone, hasTouch: true, isMobile: true});
  } catch {
    await page.setViewport(kPhone);
  }
  await page.goto(url);
  await Exact(page);
  const fit = await page.evaluate(() => {
    const box = document.getElementById('orbelune').getBoundingClientRect();
    const bar = document.getElementById('bar').getBoundingClientRect();
    return {scroll: document.documentElement.scrollWidth, width: innerWidth, box: box.toJSON(),
            barTop: bar.top};
  });
  Check(`${name}: no sideways scroll (${fit.scroll} wide), the whole image on the screen ` +
        `(${Math.round(fit.box.width)} x ${Math.round(fit.box.height)} at ` +
        `${Math.round(fit.box.left)}), the controls below it`,
        fit.scroll <= fit.width && fit.box.left >= 0 && fit.box.right <= fit.width &&
            Math.abs(fit.box.width / fit.box.height - 1025 / 769) < 0.01 &&
            fit.barTop >= fit.box.bottom,
        JSON.stringify(fit));
  await page.evaluate(() => document.getElementById('orbelune').scrollIntoView());
  const box = await page.evaluate(() => document.getElementById('orbelune').getBoundingClientRect()
                                             .toJSON());
  const [cx, cy] = [box.x + box.width / 2, box.y + box.height / 2];
  const dragged = await Touch(page, [[cx, cy]], [[cx + 60, cy + 30]]);
  if (dragged !== true) {
    console.log(`skipped: ${name}: touch (no touch input to drive in ${browserName}: ${dragged})`);
  } else {
    CheckView(`${name}: one finger 60 right and 30 down`, await Exact(page),
              [-0.5 + 30 / box.height * Math.PI, -0.5 + 60 / box.width * Math.PI, 0]);
    const before = (await page.evaluate(() => window.orbelune.view)).split(',');
    const r = 80, turn = 0.5;
    const twisted = await Touch(page, [[cx - r, cy], [cx + r, cy]],
                                [[cx - r * Math.cos(turn), cy - r * Math.sin(turn)],
                                 [cx + r * Math.cos(turn), cy + r * Math.sin(turn)]]);
    if (twisted === null) {
      console.log(`skipped: ${name}: a twist (puppeteer drives one finger in ${browserName})`);
    } else {
      const state = await Exact(page);
      const after = state.view.split(',');
      // The points are whole pixels on the way: the twist is near 0.5.
      Check(`${name}: two fingers twisting by 0.5 turn C alone: ${state.view}`,
            after[0] === before[0] && after[1] === before[1] &&
                Math.abs(Number(after[2]) - turn) < 0.02,
            state.view);
      CheckView(`${name}: the twist`, state, after.map(Number));
    }
  }
  await page.close();
}

// The canvas takes the focus from the keyboard, showing it; the arrows turn
// the view, Home brings the image's back; a view text of the same floats
// as the view shown starts nothing; F fills the screen.
async function KeysCase(browser, url) {
  const name = 'the keys';
  const page = await browser.newPage();
  await page.goto(url);
  await Exact(page);
  await page.keyboard.press('Tab');
  const focus = await page.evaluate(() => ({
    id: document.activeElement && document.activeElement.id,
    outline: getComputedStyle(document.activeElement).outlineStyle}));
  Check(`${name}: Tab focuses the canvas, with a ring (${focus.outline})`,
        focus.id === 'orbelune' && focus.outline !== 'none', JSON.stringify(focus));
  for (const key of ['ArrowRight', 'ArrowRight', 'ArrowRight', 'ArrowDown', 'ArrowDown']) {
    await page.keyboard.press(key);
  }
  await page.keyboard.down('Shift');
  await page.keyboard.press('ArrowLeft');
  await page.keyboard.up('Shift');
  const step = Math.PI / 90;
  const turned = await Exact(page);
  CheckView(`${name}: right 3, down 2, Shift+left`, turned,
            [-0.5 + 2 * step, -0.5 + 3 * step, -step]);
  Check(`${name}: previewed while turning`, turned.previews > 0);
  await page.keyboard.press('Home');
  await WaitFor(page, () => window.orbelune.view === '-0.5,-0.5,0' && window.orbelune.done);
  const home = await page.evaluate(() => ({...window.orbelune,
                                            verdict: document.getElementById('verdict')
                                                         .textContent}));
  Check(`${name}: Home: the image's view, golden`,
        home.view === '-0.5,-0.5,0' && home.imageView && home.verdict.startsWith('='),
        home.verdict);
  const generation = home.generation;
  await page.evaluate(() => {
    location.hash = '#view=-0.50,-0.5,0';
  });
  await Sleep(500);
  const same = await page.evaluate(() => window.orbelune);
  Check(`${name}: #view=-0.50,-0.5,0 over the same floats computes nothing again`,
        same.generation === generation && same.done, `generation ${same.generation}`);
  await page.focus('#orbelune');
  await page.keyboard.press('f');
  const full = await WaitFor(page, () => document.fullscreenElement !== null, 3000);
  if (!full) {
    console.log(`skipped: ${name}: full screen (${browserName} headless gives none: ` +
                `${await page.$eval('#refused', (e) => e.textContent)})`);
  } else {
    const shown = await page.evaluate(() => {
      const box = document.getElementById('orbelune').getBoundingClientRect();
      return {full: document.fullscreenElement.id, width: box.width, height: box.height,
              screen: [innerWidth, innerHeight]};
    });
    Check(`${name}: F puts the canvas on the whole screen`,
          shown.full === 'orbelune' && shown.width === shown.screen[0] &&
              shown.height === shown.screen[1],
          JSON.stringify(shown));
    await page.keyboard.press('f');
    Check(`${name}: F again leaves full screen`,
          await WaitFor(page, () => document.fullscreenElement === null, 3000));
  }
  await page.close();
}

// Kept in the page while it plays: the canvas and the frame shown with the
// grid it was drawn at, a few times on each grid, in one turn of the page.
function SamplePlay() {
  window.playSamples = [];
  const timer = setInterval(() => {
    const play = window.orbelune.play;
    if (play.times.whole) clearInterval(timer);
    if (!play.playing || play.shown < 0) return;
    if (window.playSamples.filter((s) => s.grid === play.shownGrid).length >= 2) return;
    const canvas = document.getElementById('orbelune');
    const data = canvas.getContext('2d').getImageData(0, 0, 1025, 769).data;
    window.playSamples.push({k: play.shown, grid: play.shownGrid,
                             data: new Uint32Array(data.buffer)});
  }, 97);
}

// Each sample against its frame shown once exact: every pixel its own, or
// the block's on a grid no finer than the sample's. The exact frame's
// digest as the page computes a canvas's.
async function Sampled() {
  const out = [];
  for (const {k, grid, data} of window.playSamples) {
    // The exact frame, read in the turn of the page that shows it.
    let exact, digest;
    await new Promise((resolve) => {
      const look = () => {
        if (window.orbelune.play.shown !== k) return setTimeout(look, 2);
        const context = document.getElementById('orbelune').getContext('2d');
        exact = new Uint32Array(context.getImageData(0, 0, 1025, 769).data.buffer);
        digest = window.orbeluneProbes.CanvasDigest(context);
        resolve();
      };
      look();
    });
    let wrong = 0;
    for (let y = 0; y < 769; ++y) {
      for (let x = 0; x < 1025; ++x) {
        const ok = [1, 2, 4].some((g) => g <= grid &&
                                         data[y * 1025 + x] === exact[(y & -g) * 1025 + (x & -g)]);
        if (!ok) ++wrong;
      }
    }
    out.push({k, grid, wrong, digest: await digest});
  }
  return out;
}

async function PlayCase(browser, url) {
  const name = 'Play';
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(url);
  await Exact(page);
  await page.evaluate(SamplePlay);
  await page.click('#play');
  const whole = await WaitFor(page, () => window.orbelune.play.times.whole, 600000);
  const play = await page.evaluate(() => window.orbelune.play);
  const native = Digests('--turn', '36');
  Check(`${name}: moving after ${play.times.moving} ms, a loop of all 36 frames after ` +
        `${play.times.looped} ms, a loop of exact frames after ${whole} ms`,
        play.times.moving > 0 && play.times.looped > 0 && whole > 0);
  const same = play.digests.filter((d, k) => d === native[k]).length;
  Check(`${name}: each of the 36 frames is orbelune-render --turn 36's (${same} are)`,
        native.length === 36 && same === 36);
  const samples = await page.evaluate(Sampled);
  const grids = samples.map((s) => s.grid).join(' ');
  Check(`${name}: every frame sampled while it played (grids ${grids}) shows its own view's ` +
        'pixels alone, on its grid or exact; exact, the command\'s',
        [4, 2, 1].every((g) => samples.some((s) => s.grid === g)) &&
            samples.every((s) => s.wrong === 0 && s.digest === native[s.k]),
        JSON.stringify(samples));
  if (fs.existsSync(path.join(site, 'orbelune-turn.wasm'))) {
    await page.click('#saveTurn');
    await WaitFor(page, () => !window.orbelune.turn.running, 300000);
    const turn = await page.evaluate(() => window.orbelune.turn);
    Check(`${name}: "Save turn" takes the 36 frames played (${turn.reused} taken)`,
          turn.reused === 36 && turn.saved !== '' && turn.failed === '', turn.failed);
  }
  await page.click('#play');
  const paused = await page.evaluate(() => window.orbelune.play);
  await Sleep(400);
  const still = await page.evaluate(() => window.orbelune.play);
  await page.click('#play');
  await WaitFor(page, `window.orbelune.play.shown !== ${paused.shown}`, 3000);
  const again = await page.evaluate(() => window.orbelune.play);
  await page.click('#play');
  const stopped = await page.evaluate(() => window.orbelune.play);
  Check(`${name}: Pause holds frame ${paused.shown + 1}, Play goes on (frame ${again.shown + 1})`,
        !paused.playing && still.shown === paused.shown && again.playing &&
            again.shown !== paused.shown);
  // A drag on the paused turn turns from the frame shown.
  const frame = stopped.views[stopped.shown].split(',').map((a) => Math.fround(Number(a)));
  const box = await (await page.$('#orbelune')).boundingBox();
  const [x, y] = [box.x + box.width / 2, box.y + box.height / 2];
  await page.mouse.move(x, y);
  await page.mouse.down();
  for (let i = 1; i <= 5; ++i) {
    await page.mouse.move(x + 20 * i, y);
    await Sleep(60);
  }
  await page.mouse.up();
  const dragged = await Exact(page);
  Check(`${name}: a drag ends the turn`, !dragged.play.active);
  CheckView(`${name}: a drag from frame ${stopped.shown + 1}`, dragged,
            [frame[0], frame[1] + 100 / box.width * Math.PI, frame[2]]);
  Check(`${name}: no error in the page`, errors.length === 0, errors.join(' '));
  await page.close();
}

(async () => {
  const {server, url} = await Serve(site, {isolated: true});
  const browser = await puppeteer.launch({headless: true, ...kBrowsers[browserName]});
  console.log(`${browserName}: ${await browser.version()}`);
  try {
    await PhoneCase(browser, url);
    await KeysCase(browser, url);
    await PlayCase(browser, url);
  } catch (error) {
    Check('the browser runs the page', false, String(error && error.stack || error));
  } finally {
    await browser.close();
    server.close();
  }
  EndChecks();
})();
