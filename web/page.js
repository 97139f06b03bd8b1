// The page: workers compute columns, and the page draws each column onto the
// canvas as soon as it and every column to its left are complete, so the
// image builds up from left to right, as in the window. Then the frame's
// digest: SHA-256 of its colours as little-endian COLORREFs, column by
// column, as orbelune-render --digest prints it.
//
// Query: ?threads=N (workers; default one per core), ?kernels=scalar or
// wasm-simd (default: SIMD where the browser has it).
'use strict';
const kWidth = 1025, kHeight = 769;

// Whether the browser has WebAssembly SIMD: a one-function module using
// i8x16.popcnt validates only there.
function HasSimd() {
  return WebAssembly.validate(new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123,
                                              3, 2, 1, 0, 10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98,
                                              11]));
}

function Hex(buffer) {
  return Array.from(new Uint8Array(buffer), (b) => b.toString(16).padStart(2, '0')).join('');
}

// What the tests read: the columns in the order drawn, and the outcome.
const state = {drawnOrder: [], done: false, digest: '', canvasDigest: '', kernels: '', threads: 0,
               failed: ''};
window.orbelune = state;

async function Render() {
  const query = new URLSearchParams(location.search);
  const simd = HasSimd();
  const kernels = query.get('kernels') || (simd ? 'wasm-simd' : 'scalar');
  const module = kernels === 'wasm-simd' ? 'orbelune-web-simd.js' : 'orbelune-web.js';
  const threads = Math.max(1, Math.min(64, Number(query.get('threads')) ||
                                                navigator.hardwareConcurrency || 2));
  state.threads = threads;
  const canvas = document.getElementById('orbelune');
  const context = canvas.getContext('2d');
  const progress = document.getElementById('progress');
  const status = document.getElementById('status');
  const notes = [];
  if (!simd) notes.push('This browser has no WebAssembly SIMD: the scalar kernels compute.');
  notes.push(self.crossOriginIsolated
                 ? 'The page is cross-origin isolated.'
                 : 'The page is not cross-origin isolated; the workers need no shared memory, ' +
                       'so it computes on every thread all the same.');
  document.getElementById('notes').textContent = notes.join(' ');

  const frame = new Uint32Array(kWidth * kHeight);
  const complete = new Uint8Array(kWidth);
  const column = new ImageData(1, kHeight);
  const pixels = new Uint32Array(column.data.buffer);
  let next = 0, drawn = 0;
  const start = performance.now();

  // Draws every column complete by now that has all those to its left.
  const drawReady = () => {
    for (; drawn < kWidth && complete[drawn]; ++drawn) {
      const colours = frame.subarray(drawn * kHeight, (drawn + 1) * kHeight);
      // COLORREF 0x00BBGGRR to RGBA bytes, opaque: little-endian 0xFFBBGGRR.
      for (let y = 0; y < kHeight; ++y) pixels[y] = colours[y] | 0xFF000000;
      context.putImageData(column, drawn, 0);
      state.drawnOrder.push(drawn);
    }
    progress.value = drawn;
    status.textContent = `${drawn} of ${kWidth} columns`;
  };

  await new Promise((resolve, reject) => {
    let finished = 0;
    for (let i = 0; i < threads; ++i) {
      const worker = new Worker('worker.js');
      worker.onerror = (e) => reject(new Error(e.message));
      worker.onmessage = (event) => {
        const message = event.data;
        if (message.type === 'failed') return reject(new Error(message.why));
        if (message.type === 'ready') state.kernels = message.kernels;
        if (message.type === 'column') {
          frame.set(message.colours, message.x * kHeight);
          complete[message.x] = 1;
          drawReady();
        }
        if (next < kWidth) {
          worker.postMessage({type: 'column', x: next++});
        } else {
          worker.terminate();
          if (++finished === threads) resolve();
        }
      };
      worker.postMessage({type: 'start', module, kernels});
    }
  });
  const seconds = (performance.now() - start) / 1000;

  const digest = Hex(await crypto.subtle.digest('SHA-256', frame.buffer));
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
  state.digest = digest;
  status.textContent = `Computed in ${seconds.toFixed(2)} s on ${threads} ` +
                       `thread${threads > 1 ? 's' : ''} with the ${state.kernels} kernels.`;
  document.getElementById('digest').textContent = digest;
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
  state.done = true;
}

Render().catch((error) => {
  state.failed = String(error);
  document.getElementById('status').textContent = 'Failed: ' + error.message;
  state.done = true;
});
