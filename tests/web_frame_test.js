// The WebAssembly renderer under node: each module, with each kernel set it
// has, computes the whole frame column by column as the page's workers do,
// and the frame's digest must be the golden one, and through the second
// view (tests/StaircaseDigest.h) that view's digest;
// the preview's columns are the exact image's pixels, as blocks; and the
// SIMD kernels' float accumulators must be the scalar ones, bit for
// bit, in every pixel, and in columns across every view of the tests'
// list (TestViews.h).
//   node web_frame_test.js BUILD-DIR GOLDEN-DIGEST-FILE
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');

const [buildDir, goldenFile] = process.argv.slice(2);
const golden = fs.readFileSync(goldenFile, 'utf8').match(/[0-9a-f]{64}/)[0];
const staircaseHeader =
    fs.readFileSync(path.join(__dirname, 'StaircaseDigest.h'), 'utf8');
const staircase = staircaseHeader.match(/kStaircaseView\[\] = "([^"]*)"/)[1];
const staircaseDigest = staircaseHeader.match(/[0-9a-f]{64}/)[0];

// The tests' views as text the module reads: each entry of TestViews.h,
// {"name", {A, B, C}}, its angles floats as C++ computes them there (a
// literal, kHalfPi or kPi, less or plus a literal, each step in float).
function TestViews() {
  const header = fs.readFileSync(path.join(__dirname, 'TestViews.h'), 'utf8');
  const constants = {kHalfPi: Math.fround(1.57079637), kPi: Math.fround(3.14159274)};
  const angle = (text) => {
    const m = /^(-?)(kHalfPi|kPi|[0-9.e+-]+f)(?:\s*([+-])\s*([0-9.e+-]+f))?$/.exec(text.trim());
    if (!m) throw new Error(`TestViews.h: cannot read the angle ${text}`);
    let a = m[2] in constants ? constants[m[2]] : Math.fround(parseFloat(m[2]));
    if (m[1]) a = -a;
    if (m[3]) {
      const b = Math.fround(parseFloat(m[4]));
      a = Math.fround(m[3] === '+' ? a + b : a - b);  // one float operation
    }
    return String(Number(a.toPrecision(9)));  // read back by strtof as a
  };
  const views = [];
  for (const m of header.matchAll(/\{"([^"]+)", \{([^}]*)\}\}/g)) {
    views.push({name: m[1], text: m[2].split(',').map(angle).join(',')});
  }
  if (views.length < 16) throw new Error(`TestViews.h: ${views.length} views read`);
  return views;
}

// A module instance marching with the named kernel set, through the view
// "A,B,C" if given, or null.
async function Renderer(moduleFile, kernels, view) {
  const OrbeluneModule = require(path.resolve(moduleFile));
  // The binary handed over: this emscripten would fetch() a file path.
  const wasmBinary = fs.readFileSync(moduleFile.replace(/js$/, 'wasm'));
  const module = await OrbeluneModule({wasmBinary});
  if (module.cwrap('OrbeluneBegin', 'number', ['string'])(kernels) !== 0) return null;
  if (view !== undefined && module.cwrap('OrbeluneView', 'number', ['string'])(view) !== 0) {
    throw new Error(`the module refuses the view ${view}`);
  }
  const column = module.cwrap('OrbeluneColumn', 'number', ['number']);
  const preview = module.cwrap('OrbelunePreviewColumn', 'number', ['number', 'number']);
  const accumulators = module.cwrap('OrbeluneAccumulators', 'number', []);
  return {
    kernels: module.cwrap('OrbeluneKernels', 'string', [])(),
    // Column x's colours, as little-endian 32-bit words.
    column: (x) => Buffer.from(module.HEAPU8.buffer, column(x), 769 * 4),
    // Column x's preview, every step-th row and blocks between, or null.
    preview: (x, step) => {
      const at = preview(x, step);
      return at === 0 ? null : Buffer.from(module.HEAPU8.buffer, at, 769 * 4);
    },
    // Its accumulators, three floats a pixel.
    accumulators: () => Buffer.from(module.HEAPU8.buffer, accumulators(), 769 * 12),
  };
}

async function frameDigest(moduleFile, kernels, view) {
  const renderer = await Renderer(moduleFile, kernels, view);
  if (renderer === null) return {skipped: true};
  const hash = crypto.createHash('sha256');
  for (let x = 0; x < 1025; ++x) hash.update(renderer.column(x));
  return {digest: hash.digest('hex'), kernels: renderer.kernels};
}

// The first pixel whose accumulators differ between two kernel sets.
async function firstDifference(moduleFile, a, b) {
  const one = await Renderer(moduleFile, a), other = await Renderer(moduleFile, b);
  for (let x = 0; x < 1025; ++x) {
    one.column(x), other.column(x);
    const p = one.accumulators(), q = other.accumulators();
    if (!p.equals(q)) {
      for (let y = 0; y < 769; ++y) {
        if (!p.subarray(y * 12, y * 12 + 12).equals(q.subarray(y * 12, y * 12 + 12))) {
          return `pixel ${x}, ${y}`;
        }
      }
    }
  }
  return null;
}

(async () => {
  let passed = 0, failed = 0;
  const cases = [['orbelune-web.js', 'scalar'], ['orbelune-web-simd.js', 'scalar'],
                 ['orbelune-web-simd.js', 'wasm-simd']];
  for (const [file, kernels] of cases) {
    for (const [view, wanted, named] of [[undefined, golden, 'the golden digest'],
                                         [staircase, staircaseDigest, `view ${staircase}'s digest`]]) {
      const start = Date.now();
      let result;
      try {
        result = await frameDigest(path.join(buildDir, file), kernels, view);
      } catch (error) {
        result = {digest: `none (${error.message})`};
      }
      const seconds = ((Date.now() - start) / 1000).toFixed(1);
      if (!result.skipped && result.digest === wanted && result.kernels === kernels) {
        console.log(`ok: ${file} with ${kernels} kernels gives ${named} (${seconds} s)`);
        ++passed;
      } else {
        console.log(`FAILED: ${file} with ${kernels} kernels` + (view ? `, view ${view}` : '') +
                    `: ${result.digest || 'no such set'}, wanted ${wanted}`);
        ++failed;
      }
    }
  }
  // Text that is no view is refused.
  let refused = false;
  try {
    await Renderer(path.join(buildDir, 'orbelune-web.js'), 'scalar', '0,nan,0');
  } catch (error) {
    refused = /refuses the view/.test(error.message);
  }
  if (refused) {
    console.log('ok: the module refuses 0,nan,0 for a view');
    ++passed;
  } else {
    console.log('FAILED: the module took 0,nan,0 for a view');
    ++failed;
  }
  // The preview's blocks: each the colour of the exact pixel at its top.
  const previewer = await Renderer(path.join(buildDir, 'orbelune-web-simd.js'), 'wasm-simd',
                                   staircase);
  let blocks = 'the same', checked = 0;
  for (const x of [0, 300, 512, 1024]) {
    const exact = Buffer.from(previewer.column(x));
    for (const step of [1, 2, 4]) {
      const shown = previewer.preview(x, step);
      for (let y = 0; y < 769 && blocks === 'the same'; ++y, ++checked) {
        const top = (y - y % step) * 4;
        if (!shown.subarray(y * 4, y * 4 + 4).equals(exact.subarray(top, top + 4))) {
          blocks = `not the same at pixel ${x}, ${y}, step ${step}`;
        }
      }
    }
  }
  // A step beyond the frame, even one that would overflow the stride of a
  // group: row 0 alone, as one block.
  const exact = Buffer.from(previewer.column(512));
  const wide = previewer.preview(512, 2 ** 30);
  for (let y = 0; y < 769 && blocks === 'the same'; ++y) {
    if (!wide.subarray(y * 4, y * 4 + 4).equals(exact.subarray(0, 4))) {
      blocks = `not row 0's colour at pixel 512, ${y}, step 2^30`;
    }
  }
  if (blocks === 'the same' && previewer.preview(0, 0) === null) {
    console.log(`ok: the preview's ${checked} pixels are the exact image's, as blocks; ` +
                'a step of 2^30 gives row 0 alone; step 0 refused');
    ++passed;
  } else {
    console.log(`FAILED: the preview's pixels are ${blocks}, or step 0 was taken`);
    ++failed;
  }
  const simd = path.join(buildDir, 'orbelune-web-simd.js');
  const differs = await firstDifference(simd, 'scalar', 'wasm-simd');
  if (differs === null) {
    console.log('ok: the wasm-simd accumulators are the scalar ones in every pixel');
    ++passed;
  } else {
    console.log(`FAILED: the wasm-simd accumulators differ from the scalar ones at ${differs}`);
    ++failed;
  }
  // Each other view: nine columns across it.
  const columns = [0, 128, 256, 384, 512, 640, 768, 896, 1024];
  const views = TestViews().filter((v) => v.name !== 'the image\'s');
  const unlike = [];
  for (const view of views) {
    const scalar = await Renderer(simd, 'scalar', view.text);
    const vector = await Renderer(simd, 'wasm-simd', view.text);
    if (vector === null) break;
    const differs = columns.find((x) => {
      scalar.column(x), vector.column(x);
      return !scalar.accumulators().equals(vector.accumulators());
    });
    if (differs !== undefined) unlike.push(`${view.name} (${view.text}) in column ${differs}`);
  }
  if (unlike.length === 0) {
    console.log(`ok: the wasm-simd accumulators are the scalar ones in ${columns.length} ` +
                `columns of each of the tests' ${views.length} other views`);
    ++passed;
  } else {
    console.log(`FAILED: the wasm-simd accumulators differ from the scalar ones: ${unlike.join('; ')}`);
    ++failed;
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 ? 0 : 1);
})();
