// The page's figures in a headless browser: for 1 and 2 workers, with the
// wasm-simd and the scalar kernels, the page's own "Computed in" and the
// time from navigation until the digest is shown, best of RUNS. Several
// sites (builds to compare) take their runs in turn, so that what else
// the machine does weighs on each alike.
//   node page_figures.js chromium|firefox RUNS SITE...
// Prints one line per site and case:
// "page BROWSER KERNELS THREADS computed S shown S SITE",
// then, where the page keeps them, the milliseconds from navigation to each
// of its steps in the run shown soonest: "timeline BROWSER KERNELS THREADS SITE ...";
// and a drag's preview (every fourth row of every fourth column), with the
// workers kept from the view before, best and median of 5 each way:
// "preview BROWSER best MS median MS SITE"; then the release, milliseconds
// until the whole canvas shows the view and until it is exact:
// "release BROWSER whole MS exact MS SITE"; and "Save turn" from the
// image's view, once, in seconds: in all, waiting for the frames, and the
// encoder busy: "turn BROWSER all S computing S encoding S bytes N SITE";
// and Play from the image's view, once, in milliseconds from the press:
// to the first change of frame, the first loop of all 36 frames, the
// first loop of exact frames: "play BROWSER moving MS loop MS whole MS SITE".
// The browser's program from $CHROMIUM or $FIREFOX; puppeteer-core from
// tests/web/node_modules. Prints figures; it passes or fails nothing.
'use strict';
const path = require('path');
const puppeteer = require(path.join(__dirname, '../tests/web/node_modules/puppeteer-core'));
const {Serve} = require('../web/serve.js');
const {kBrowsers} = require('../tests/web/browsers.js');

const [browserName, runsArg, ...sites] = process.argv.slice(2);
const runs = Number(runsArg);

// Milliseconds from navigation until the digest is shown, as the page's
// own clock (whose origin is the navigation) tells it. Installed once the
// page has loaded, long before the image can be complete; a digest already
// there by then would be reported as such.
function WhenShown() {
  const digest = document.getElementById('digest');
  const shown = () => /^[0-9a-f]{64}$/.test(digest.textContent);
  if (shown()) return -1;
  return new Promise((resolve) => {
    const failed = () => window.orbelune && window.orbelune.failed;
    new MutationObserver(() => {
      if (shown()) resolve(performance.now());
      else if (failed()) resolve(-2);
    }).observe(digest, {childList: true, characterData: true, subtree: true});
  });
}

async function Once(browser, url) {
  const page = await browser.newPage();
  try {
    await page.goto(url);
    const shownAt = await page.evaluate(WhenShown);
    const status = await page.$eval('#status', (e) => e.textContent);
    const computed = /Computed in ([0-9.]+) s/.exec(status);
    if (shownAt < 0 || !computed) throw new Error(`the page said "${status}"`);
    // Where the time went, where the page says (milliseconds from navigation).
    const times = await page.evaluate(() => window.orbelune.times || null);
    return {computed: Number(computed[1]), shown: shownAt / 1000, times};
  } finally {
    await page.close();
  }
}

// A drag's previews, as the page times each from its start to its last
// column drawn: the pointer moved to a new view once the last preview is
// done, ten times, on a page whose image (and workers) is complete.
async function Previews(browser, url) {
  const page = await browser.newPage();
  try {
    await page.setViewport({width: 1280, height: 1100});
    await page.goto(url);
    await page.waitForFunction(() => window.orbelune.done, {timeout: 300000});
    const box = await (await page.$('#orbelune')).boundingBox();
    const x = box.x + box.width / 2, y = box.y + box.height / 2;
    await page.mouse.move(x, y);
    await page.mouse.down();
    const times = [];
    for (let i = 1; i <= 10; ++i) {
      const before = await page.evaluate(() => window.orbelune.previews);
      await page.mouse.move(x + 8 * i, y + 4 * i);
      await page.waitForFunction(
          (n) => window.orbelune.previews > n && window.orbelune.previewed !== '', {}, before);
      times.push(await page.evaluate(() => window.orbelune.times.preview));
    }
    // The release: milliseconds until the whole canvas shows the view
    // (at once, over the preview of that view), and until it is exact.
    await page.evaluate(() => document.getElementById('orbelune').addEventListener(
        'pointerup', () => window.released = performance.now(), {once: true}));
    await page.mouse.up();
    await page.waitForFunction(() => window.orbelune.done, {timeout: 300000});
    const release = await page.evaluate(() => ({
      whole: Math.round(window.orbelune.times.whole - window.released),
      exact: Math.round(window.orbelune.times.computed - window.released)}));
    times.sort((a, b) => a - b);
    return {best: times[0], median: times[times.length >> 1], release};
  } finally {
    await page.close();
  }
}

async function SavedTurn(browser, url) {
  const page = await browser.newPage();
  try {
    await page.goto(url);
    await page.waitForFunction(() => window.orbelune.done, {timeout: 300000});
    // The file is made but not downloaded: no folder to fill.
    await page.evaluate(() => {
      HTMLAnchorElement.prototype.click = () => {};
      document.getElementById('saveTurn').click();
    });
    await page.waitForFunction(() => !window.orbelune.turn.running, {timeout: 600000});
    const turn = await page.evaluate(() => window.orbelune.turn);
    if (!turn.saved) throw new Error(`the turn was not saved: ${turn.failed}`);
    return turn;
  } finally {
    await page.close();
  }
}

async function Played(browser, url) {
  const page = await browser.newPage();
  try {
    await page.goto(url);
    await page.waitForFunction(() => window.orbelune.done, {timeout: 300000});
    await page.evaluate(() => document.getElementById('play').click());
    await page.waitForFunction(() => window.orbelune.play.times.whole, {timeout: 600000});
    return page.evaluate(() => window.orbelune.play.times);
  } finally {
    await page.close();
  }
}

(async () => {
  const served = [];
  for (const site of sites) served.push(await Serve(site, {isolated: true}));
  const browser = await puppeteer.launch({headless: true, ...kBrowsers[browserName]});
  console.log(`# ${browserName}: ${await browser.version()}`);
  try {
    // A person's browser is already running: Chromium's own interface
    // keeps a core busy for a second or two after it starts, so one page
    // load first, not measured, and a pause for the browser to settle.
    await Once(browser, `${served[0].url}?threads=1`);
    await new Promise((resolve) => setTimeout(resolve, 2000));
    for (const kernels of ['wasm-simd', 'scalar']) {
      for (const threads of [1, 2]) {
        const best = sites.map(() => ({computed: Infinity, shown: Infinity, times: null}));
        for (let i = 0; i < runs; ++i) {
          for (let s = 0; s < sites.length; ++s) {
            const r = await Once(browser, `${served[s].url}?kernels=${kernels}&threads=${threads}`);
            best[s].computed = Math.min(best[s].computed, r.computed);
            if (r.shown < best[s].shown) best[s].shown = r.shown, best[s].times = r.times;
          }
        }
        sites.forEach((site, s) => {
          const {computed, shown, times} = best[s];
          console.log(`page ${browserName} ${kernels} ${threads} computed ${computed.toFixed(2)} ` +
                      `shown ${shown.toFixed(2)} ${site}`);
          if (times) {
            console.log(`timeline ${browserName} ${kernels} ${threads} ${site} ` +
                        Object.entries(times).map(([k, v]) => `${k} ${v}`).join(', '));
          }
        });
      }
    }
    for (let s = 0; s < sites.length; ++s) {
      const {best, median, release} = await Previews(browser, served[s].url);
      console.log(`preview ${browserName} best ${best} median ${median} ${sites[s]}`);
      console.log(`release ${browserName} whole ${release.whole} exact ${release.exact} ${sites[s]}`);
    }
    for (let s = 0; s < sites.length; ++s) {
      const turn = await SavedTurn(browser, served[s].url);
      const seconds = (ms) => (ms / 1000).toFixed(1);
      console.log(`turn ${browserName} all ${turn.seconds.toFixed(1)} computing ` +
                  `${seconds(turn.computing)} encoding ${seconds(turn.encoding)} ` +
                  `bytes ${turn.bytes} ${sites[s]}`);
    }
    for (let s = 0; s < sites.length; ++s) {
      const {moving, looped, whole} = await Played(browser, served[s].url);
      console.log(`play ${browserName} moving ${moving} loop ${looped} whole ${whole} ${sites[s]}`);
    }
  } catch (error) {
    console.log(`page ${browserName} failed: ${error.message}`);
  } finally {
    await browser.close();
    for (const s of served) s.server.close();
  }
})();
