// What the page's modules share: the image's size and view, the state the
// tests and figures read (published as window.orbelune, plain data only),
// and the page's own live parts, which only its modules touch.
export const kWidth = 1025, kHeight = 769;
export const kImageView = '-0.5,-0.5,0';

// What the tests and figures read: the columns in the order drawn, the
// outcome, the view, the times; turn.js and play.js add theirs.
export const state = {drawnOrder: [], done: false, digest: '', canvasDigest: '', kernels: '',
                      threads: 0, failed: '', refused: [], viewRefused: '', view: '',
                      imageView: false, generation: 0, stale: 0, workersStarted: 0, previews: 0,
                      previewed: ''};
window.orbelune = state;

// What the tests read that is no plain data: what the canvas shows of the
// exact image (1 for each pixel computed at the last draw), and the page's
// own digest of the canvas and reader of views, to hold their own to.
export const probes = {shown: null};
window.orbeluneProbes = probes;

// The page's own: the choices made once (setup: kernels, threads, order,
// module, compiled), the module's reader of views, the workers, the job
// whose pieces may be drawn, the last complete preview, the view shown and
// what is turning it (a pointer's drag, arrow keys held).
export const live = {setup: null, reader: null, pool: null, current: null, previewFrame: null,
                     viewText: kImageView, dragging: null, keysHeld: new Set()};

// Whether a person is turning the view right now, by pointer or keys.
export function Turning() {
  return live.dragging !== null || live.keysHeld.size > 0;
}

export function Elements() {
  return {
    canvas: document.getElementById('orbelune'),
    progress: document.getElementById('progress'),
    status: document.getElementById('status'),
    digest: document.getElementById('digest'),
    verdict: document.getElementById('verdict'),
    save: document.getElementById('save'),
    saveTurn: document.getElementById('saveTurn'),
    play: document.getElementById('play'),
  };
}

export function Hex(buffer) {
  return Array.from(new Uint8Array(buffer), (b) => b.toString(16).padStart(2, '0')).join('');
}

// Text quoted in a note, cut to its first 40 characters.
export function Excerpt(text) {
  return text.length > 40 ? text.slice(0, 40) + '…' : text;
}

// An image's colours (COLORREF 0x00BBGGRR, column by column) from RGBA
// pixels as a canvas holds them, row by row; hashed, what a person sees.
export async function PixelsDigest(rgba) {
  const colours = new Uint32Array(kWidth * kHeight);
  for (let x = 0; x < kWidth; ++x) {
    for (let y = 0; y < kHeight; ++y) {
      const at = (y * kWidth + x) * 4;
      colours[x * kHeight + y] = rgba[at] | rgba[at + 1] << 8 | rgba[at + 2] << 16;
    }
  }
  return {colours, digest: Hex(await crypto.subtle.digest('SHA-256', colours.buffer))};
}
