// The page: workers compute columns, and the page draws onto the canvas,
// ten times a second, every column that is complete with all those to its
// left, so the image builds up from left to right, as in the window. Then
// the frame's digest: SHA-256 of its colours as little-endian COLORREFs,
// column by column, as orbelune-render --digest prints it.
//
// Query: ?threads=N (workers, 1 to 64; default one per core), ?kernels=scalar
// or wasm-simd (default: SIMD where the browser has it). A value the page
// cannot use is refused with a note, and the default used instead.
'use strict';
const kWidth = 1025, kHeight = 769, kMaxThreads = 64;

// Whether the browser has WebAssembly SIMD: a one-function module using
// i8x16.popcnt validates only there.
function HasSimd() {
  return WebAssembly.validate(new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123,
                                              3, 2, 1, 0, 10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98,
                                              11]));
}

// The kernel set and the number of workers the query asks for, where the
// page can give them; notes says what was refused.
function Choices(query, simd, notes) {
  const shown = (name) => {
    const value = query.get(name);
    return `?${name}=${value.length > 24 ? value.slice(0, 24) + '…' : value}`;
  };
  let kernels = simd ? 'wasm-simd' : 'scalar';
  if (query.has('kernels')) {
    const asked = query.get('kernels');
    if (asked === 'scalar' || (asked === 'wasm-simd' && simd)) {
      kernels = asked;
    } else if (asked !== 'wasm-simd') {
      notes.push(`${shown('kernels')} refused: the kernel sets are scalar and wasm-simd; ` +
                 `the ${kernels} kernels compute.`);
    }
  }
  // Whole numbers only: a fraction of a worker is none, and would leave
  // the page counting to a number it never reaches.
  let threads = Math.min(kMaxThreads, navigator.hardwareConcurrency || 2);
  if (query.has('threads')) {
    const asked = query.get('threads');
    if (/^[0-9]{1,6}$/.test(asked) && Number(asked) >= 1) {
      threads = Math.min(kMaxThreads, Number(asked));
      if (Number(asked) > kMaxThreads) {
        notes.push(`${shown('threads')}: at most ${kMaxThreads} workers; ${kMaxThreads} compute.`);
      }
    } else {
      notes.push(`${shown('threads')} refused: the number of workers is a whole number, ` +
                 `1 to ${kMaxThreads}; ${threads} compute.`);
    }
  }
  return {kernels, threads};
}

function Hex(buffer) {
  return Array.from(new Uint8Array(buffer), (b) => b.toString(16).padStart(2, '0')).join('');
}

// What the tests read: the columns in the order drawn, and the outcome.
const state = {drawnOrder: [], done: false, digest: '', canvasDigest: '', kernels: '', threads: 0,
               failed: '', refused: []};
window.orbelune = state;

// The module, fetched and compiled once, here, for every worker: compiled
// as it downloads where the host names its type, from its bytes otherwise.
async function Compile(file) {
  const response = await fetch(file);
  if (!response.ok) throw new Error(`cannot load ${file}: ${response.status} ${response.statusText}`);
  try {
    const type = (response.headers.get('Content-Type') || '').split(';')[0].trim();
    if (type === 'application/wasm' && WebAssembly.compileStreaming) {
      return await WebAssembly.compileStreaming(response);
    }
    return await WebAssembly.compile(await response.arrayBuffer());
  } catch (error) {
    throw new Error(`${file} could not be compiled: ${error.message}`);
  }
}

// Columns handed to each worker ahead of the one it computes: it posts a
// column and goes on with the next, never waiting for this page's thread.
const kAhead = 8;
// Milliseconds between draws while the image builds up.
const kDrawEvery = 100;

async function Render() {
  const start = performance.now();
  // Milliseconds from navigation: where the page's time goes.
  const now = () => Math.round(performance.now());
  state.times = {start: now()};
  const simd = HasSimd();
  const refused = [];
  const {kernels, threads} = Choices(new URLSearchParams(location.search), simd, refused);
  const module = kernels === 'wasm-simd' ? 'orbelune-web-simd' : 'orbelune-web';
  const compiled = Compile(module + '.wasm');
  compiled.catch(() => {});  // its failure is the page's, below
  state.threads = threads;
  state.refused = refused;
  const canvas = document.getElementById('orbelune');
  const context = canvas.getContext('2d');
  const progress = document.getElementById('progress');
  const status = document.getElementById('status');
  if (refused.length > 0) {
    const shown = document.getElementById('refused');
    shown.textContent = refused.join(' ');
    shown.hidden = false;
  }
  const notes = [];
  if (!simd) notes.push('This browser has no WebAssembly SIMD: the scalar kernels compute.');
  notes.push(self.crossOriginIsolated
                 ? 'The page is cross-origin isolated.'
                 : 'The page is not cross-origin isolated; the workers need no shared memory, ' +
                       'so it computes on every thread all the same.');
  document.getElementById('notes').textContent = notes.join(' ');

  const frame = new Uint32Array(kWidth * kHeight);
  const complete = new Uint8Array(kWidth);
  let next = 0, drawn = 0, received = 0;

  // Draws every column complete by now that has all those to its left,
  // in one piece.
  const drawReady = () => {
    let end = drawn;
    while (end < kWidth && complete[end]) ++end;
    if (end === drawn) return;
    const width = end - drawn;
    const piece = new ImageData(width, kHeight);
    const pixels = new Uint32Array(piece.data.buffer);
    for (let x = drawn; x < end; ++x) {
      const colours = frame.subarray(x * kHeight, (x + 1) * kHeight);
      // COLORREF 0x00BBGGRR to RGBA bytes, opaque: little-endian 0xFFBBGGRR.
      for (let y = 0, i = x - drawn; y < kHeight; ++y, i += width) {
        pixels[i] = colours[y] | 0xFF000000;
      }
      state.drawnOrder.push(x);
    }
    context.putImageData(piece, drawn, 0);
    drawn = end;
    progress.value = drawn;
    status.textContent = `${drawn} of ${kWidth} columns`;
  };
  // Ten times a second: each draw costs the workers' cores a repaint of
  // the canvas, and drawing every frame slowed the computing by a quarter.
  let drawAsked = false;
  const askDraw = () => {
    if (drawAsked) return;
    drawAsked = true;
    setTimeout(() => {
      drawAsked = false;
      drawReady();
    }, kDrawEvery);
  };

  // One failing worker fails the page at once: the others are ended, and
  // no column is waited for.
  const workers = [];
  await new Promise((resolve, reject) => {
    let stopped = false;
    const stop = (why) => {
      if (stopped) return;
      stopped = true;
      for (const worker of workers) worker.terminate();
      reject(new Error(why));
    };
    const hand = (worker) => {
      if (next >= kWidth) return false;
      worker.postMessage({type: 'column', x: next++});
      ++worker.held;
      return true;
    };
    for (let i = 0; i < threads; ++i) {
      const worker = new Worker('worker.js');
      worker.held = 0;
      workers.push(worker);
      worker.onerror = (e) => {
        e.preventDefault();
        stop(e.message || 'a worker could not be started (worker.js)');
      };
      worker.onmessageerror = () => stop('a worker\'s message could not be read');
      worker.onmessage = (event) => {
        const message = event.data;
        if (stopped) return;
        if (message.type === 'failed') return stop(message.why);
        if (message.type === 'ready') {
          state.kernels = message.kernels;
          if (!state.times.ready) state.times.ready = now();
        }
        if (message.type === 'column') {
          frame.set(message.colours, message.x * kHeight);
          complete[message.x] = 1;
          --worker.held;
          if (++received === 1) state.times.firstColumn = now();
          if (received === kWidth) {
            for (const w of workers) w.terminate();
            return resolve();
          }
          if (!hand(worker) && worker.held === 0) worker.terminate();
          askDraw();
        }
      };
      worker.postMessage({type: 'load', module: module + '.js'});
      for (let k = 0; k < kAhead; ++k) hand(worker);
    }
    compiled.then((wasm) => {
      state.times.compiled = now();
      for (const worker of workers) {
        if (stopped) return;
        try {
          worker.postMessage({type: 'start', wasm, kernels});
        } catch (error) {
          // A browser that cannot hand a module over: the worker fetches
          // and compiles its own.
          if (error.name !== 'DataCloneError') throw error;
          worker.postMessage({type: 'start', wasm: null, kernels});
        }
      }
    }).catch((error) => stop(error.message));
  });
  const seconds = (performance.now() - start) / 1000;
  state.times.computed = now();
  drawReady();

  const digest = Hex(await crypto.subtle.digest('SHA-256', frame.buffer));
  state.digest = digest;
  status.textContent = `Computed in ${seconds.toFixed(2)} s on ${threads} ` +
                       `thread${threads > 1 ? 's' : ''} with the ${state.kernels} kernels.`;
  document.getElementById('digest').textContent = digest;
  state.times.shown = now();
  // The canvas read back, in the same layout: what a person sees.
  const shown = context.getImageData(0, 0, kWidth, kHeight).data;
  const fromCanvas = new Uint32Array(kWidth * kHeight);
  for (let x = 0; x < kWidth; ++x) {
    for (let y = 0; y < kHeight; ++y) {
      const at = (y * kWidth + x) * 4;
      fromCanvas[x * kHeight + y] = shown[at] | shown[at + 1] << 8 | shown[at + 2] << 16;
    }
  }
  state.canvasDigest = Hex(await crypto.subtle.digest('SHA-256', fromCanvas.buffer));
  const verdict = document.getElementById('verdict');
  const good = digest === kGoldenDigest && state.canvasDigest === kGoldenDigest;
  verdict.textContent = good ? '= the golden digest: the same image as every other build.'
                             : '≠ the golden digest ' + kGoldenDigest;
  verdict.className = good ? 'good' : 'bad';
  const save = document.getElementById('save');
  save.disabled = false;
  save.onclick = () => canvas.toBlob((blob) => {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = 'orbelune.png';
    link.click();
    URL.revokeObjectURL(link.href);
  }, 'image/png');
  state.times.checked = now();
  state.done = true;
}

Render().catch((error) => {
  state.failed = String(error);
  const status = document.getElementById('status');
  status.textContent = 'Failed: ' + error.message;
  status.className = 'bad';
  document.getElementById('digest').textContent = '(none: the image was not computed)';
  state.done = true;
});
