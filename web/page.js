// The page: workers compute the pixels, and the page draws them onto the
// canvas ten times a second, coarse to fine (or column by column from the
// left, as in the window: orders.js). Then the frame's digest: SHA-256 of
// its colours as little-endian COLORREFs, column by column, as
// orbelune-render --digest prints it.
//
// The view is in the address, #view=A,B,C (radians; the image's view when
// absent): dragging on the canvas turns it, with a coarse preview while
// the pointer is down, and the exact image builds up once it is released.
// Its text is read by the module, as orbelune-render --view reads it.
// A new view ends the old one's workers, and nothing of it is drawn after.
//
// Query: ?threads=N (workers, 1 to 64; default one per core), ?kernels=scalar
// or wasm-simd (default: SIMD where the browser has it), ?order=columns (the
// exact image column by column; default: sharpening). A value the page
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
  // The order of the exact image: sharpening, or column by column.
  let order = 'sharpen';
  if (query.has('order')) {
    const asked = query.get('order');
    if (asked === 'columns' || asked === 'sharpen') {
      order = asked;
    } else {
      notes.push(`${shown('order')} refused: the orders are sharpen and columns; ` +
                 'the image sharpens.');
    }
  }
  return {kernels, threads, order};
}

function Hex(buffer) {
  return Array.from(new Uint8Array(buffer), (b) => b.toString(16).padStart(2, '0')).join('');
}

// What the tests read: the columns in the order drawn, and the outcome.
const state = {drawnOrder: [], done: false, digest: '', canvasDigest: '', kernels: '', threads: 0,
               failed: '', refused: [], viewRefused: '', view: '', imageView: false,
               generation: 0, stale: 0, workersStarted: 0, previews: 0, previewed: ''};
window.orbelune = state;

// A file of the page's, asked for: what fails names the file, and why.
async function Fetched(file) {
  let response;
  try {
    response = await fetch(file);
  } catch (error) {
    // No answer at all (the server gone, the connection cut): the browser
    // tells a page no more than that.
    throw new Error(`cannot load ${file}: ` + (navigator.onLine === false ? 'the browser is offline'
                    : `no answer from the server (${error.message})`));
  }
  if (!response.ok) throw new Error(`cannot load ${file}: ${response.status} ${response.statusText}`);
  return response;
}

// The module, fetched and compiled once, here, for every worker: compiled
// as it downloads where the host names its type, from its bytes otherwise.
async function Compile(file) {
  const response = await Fetched(file);
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

// Rows handed to each worker ahead of those it computes, eight columns'
// worth: it posts a piece and goes on with the next, never waiting for
// this page's thread, even where the pieces are a quarter column each and
// a draw keeps the page's thread for a few milliseconds.
const kAheadRows = 8 * kHeight;
// Milliseconds between draws while the image builds up.
const kDrawEvery = 100;
// The preview marches every kStep-th row of every kStep-th column and
// draws each pixel as a block: a sixteenth of the pixels and of the work.
const kStep = 4;
const kImageView = '-0.5,-0.5,0';

// Text quoted in a note, cut to its first 40 characters.
function Excerpt(text) {
  return text.length > 40 ? text.slice(0, 40) + '…' : text;
}

// The module's reader of view texts (text/ViewText.h, what
// orbelune-render --view reads with), in an instance of the module on this
// page's thread: the page takes and refuses exactly the texts the command
// does, as the same floats, with the command's reasons. Set by Reading().
let reader = null;

// The module's script and an instance of the compiled module, started
// for its reader alone.
async function Reading(module, compiled) {
  const script = module + '.js';
  await new Promise((resolve, reject) => {
    const element = document.createElement('script');
    element.src = script;
    element.onload = resolve;
    // A script element says nothing of why: asked again, the fetch may.
    element.onerror = () => Fetched(script).then(
        () => reject(new Error(`cannot load ${script}`)), reject);
    document.head.appendChild(element);
  });
  if (typeof OrbeluneModule !== 'function') throw new Error(`${script} defines no module`);
  const wasm = await compiled;
  const instance = await new Promise((resolve, reject) => {
    OrbeluneModule({
      onAbort: (why) => reject(new Error(`${script} could not start: ${why}`)),
      instantiateWasm: (imports, receive) => {
        WebAssembly.instantiate(wasm, imports)
            .then((made) => receive(made, wasm))
            .catch((error) => reject(new Error(`${script} could not start: ${error.message}`)));
        return {};
      },
    }).then(resolve, reject);
  });
  reader = {
    instance,
    room: instance.cwrap('OrbeluneViewRoom', 'number', ['number']),
    read: instance.cwrap('OrbeluneReadView', 'string', []),
    angles: instance.cwrap('OrbeluneReadAngles', 'number', []),
    text: instance.cwrap('OrbeluneReadText', 'string', []),
  };
}

// The view a text is: {why: ''} with its three floats (angles) and the
// shortest text of each (shortest), or {why} saying what is wrong. The
// text goes in as its bytes: any length, whatever it holds.
function ReadView(text) {
  const bytes = new TextEncoder().encode(text);
  const at = reader.room(bytes.length);
  reader.instance.HEAPU8.set(bytes, at);  // after room(), which may grow the memory
  const why = reader.read();
  if (why !== '') return {why};
  const first = reader.angles() / 4;
  const angles = Array.from(reader.instance.HEAPF32.subarray(first, first + 3));
  return {why: '', angles, shortest: reader.text()};
}

// What is wrong with a view's text, or '' for a view.
function ViewProblem(text) {
  return ReadView(text).why;
}

// An angle in (-pi, pi] with the same sine and cosine. A large one is
// first brought near through its own sine and cosine (the browser's reduce
// any angle in one step): stepping by 2 pi would take as many steps as it
// has turns, forever at 1e30, and pile up a rounding at each.
function Wrap(angle) {
  if (Math.abs(angle) > 8 * Math.PI) angle = Math.atan2(Math.sin(angle), Math.cos(angle));
  while (angle > Math.PI) angle -= 2 * Math.PI;
  while (angle <= -Math.PI) angle += 2 * Math.PI;
  return angle;
}

// The angles of a view where a drag starts from it: the floats the module
// reads (a huge angle's turns are those of its float, not of the nearest
// double), each wrapped into (-pi, pi].
function StartAngles(view) {
  return ReadView(view).angles.map((angle) => angle > Math.PI || angle <= -Math.PI ? Wrap(angle)
                                                                                  : angle);
}

// An angle wrapped into (-pi, pi], with 9 significant digits: enough for
// strtof to read back the float nearest it, whichever float that is.
function AngleText(angle) {
  const text = String(Number(Wrap(angle).toPrecision(9)));
  return text === '-0' ? '0' : text;
}

// Hands the browser a file to save under the name: a PNG, a turn.
function Download(blob, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  link.click();
  URL.revokeObjectURL(link.href);
}

// "Save as PNG": the canvas with its tEXt chunks, as a download. Another
// view's file is named by the shortest text of each of its floats, never
// by the view's text as given, which may be longer than a file's name may
// be (a browser cancels such a download, and tells the page nothing).
// What the page can see fail, it says.
function Save(canvas, comment) {
  const name = state.imageView ? 'orbelune.png'
                               : `orbelune-view-${ReadView(state.view).shortest}.png`;
  const failed = (why) => {
    const {status} = Elements();
    status.textContent = `Not saved: ${why}`;
    status.className = 'bad';
  };
  try {
    canvas.toBlob(async (blob) => {
      try {
        if (!blob) throw new Error('the browser could not make the PNG');
        const bytes = new Uint8Array(await blob.arrayBuffer());
        Download(WithText(bytes, [['Software', 'Orbelune web page'], ['Comment', comment]]), name);
      } catch (error) {
        failed(error.message);
      }
    }, 'image/png');
  } catch (error) {
    failed(error.message);
  }
}

let setup = null;    // kernels, threads, order, module, compiled: chosen once
let previewFrame = null;  // the last complete preview: its view and colours
let current = null;  // the job whose columns may be drawn
let viewText = kImageView;

function Elements() {
  return {
    canvas: document.getElementById('orbelune'),
    progress: document.getElementById('progress'),
    status: document.getElementById('status'),
    digest: document.getElementById('digest'),
    verdict: document.getElementById('verdict'),
    save: document.getElementById('save'),
    saveTurn: document.getElementById('saveTurn'),
  };
}

// The workers, kept from one view to the next while each view's columns
// are all in: starting one takes tens of milliseconds, which a drag's
// previews, one after another, would wait for at every turn.
let pool = null;

function Pool() {
  if (pool) return pool;
  const {threads, kernels, module, compiled} = setup;
  const workers = [];
  for (let i = 0; i < threads; ++i) {
    const worker = new Worker('worker.js');
    ++state.workersStarted;
    worker.postMessage({type: 'load', module: module + '.js'});
    workers.push(worker);
  }
  workers.started = compiled.then((wasm) => {
    if (!state.times.compiled) state.times.compiled = Math.round(performance.now());
    for (const worker of workers) {
      if (pool !== workers) return;
      try {
        worker.postMessage({type: 'start', wasm, kernels});
      } catch (error) {
        // A browser that cannot hand a module over: the worker fetches
        // and compiles its own.
        if (error.name !== 'DataCloneError') throw error;
        worker.postMessage({type: 'start', wasm: null, kernels});
      }
    }
  });
  workers.started.catch(() => {});  // each job hears of a failure, below
  return pool = workers;
}

// Ends a pool's workers, after a failure or a view left before its
// columns are all in: the next view starts new ones. Only that pool: a
// late event of an old one must not end the workers of the view in hand.
function EndPool(workers) {
  for (const worker of workers) worker.terminate();
  if (pool === workers) pool = null;
}

// Sets the workers to a view; pieces are the columns, or pieces of
// columns, to compute ({x, first, step}: rows first, first + step, ... of
// column x; first undefined for a preview's column of blocks). onPiece
// gets each piece with its colours, and the promise settles when every
// piece asked is in, or on the first failure (which ends the workers).
// cancel() stops hearing them, and ends them unless every piece is in: a
// new view then has new workers, and the old one's pieces are computed no
// further.
function Workers(job, pieces, onPiece) {
  const workers = Pool();
  let next = 0, received = 0, stopped = false;
  job.cancel = () => {
    stopped = true;
    if (received < pieces.length) EndPool(workers);
  };
  return new Promise((resolve, reject) => {
    // A worker that failed is gone: the next view starts new ones.
    const stop = (why) => {
      EndPool(workers);
      if (stopped) return;
      stopped = true;
      reject(new Error(why));
    };
    // The rows each worker has in hand, handed and not yet back.
    const handed = new Map(workers.map((worker) => [worker, 0]));
    // One piece more for the worker, unless it has its rows' worth in hand
    // or none is left: whether it got one.
    const handOne = (worker) => {
      if (next >= pieces.length || handed.get(worker) >= kAheadRows) return false;
      const {x, first, step} = pieces[next++];
      handed.set(worker, handed.get(worker) + PieceRows({first, step}));
      worker.postMessage({type: 'column', generation: job.generation, x, first, step});
      return true;
    };
    const hand = (worker) => {
      while (handOne(worker)) {}
    };
    for (const worker of workers) {
      worker.onerror = (e) => {
        e.preventDefault();
        stop(e.message || 'a worker could not be started (worker.js)');
      };
      worker.onmessageerror = () => stop('a worker\'s message could not be read');
      worker.onmessage = (event) => {
        const message = event.data;
        if (message.type === 'failed') return stop(message.why);
        if (stopped || job !== current || message.generation !== job.generation) {
          if (message.type === 'column') ++state.stale;
          return;
        }
        if (message.type === 'ready') {
          state.kernels = message.kernels;
          job.imageView = message.imageView;
          if (!state.times.ready) state.times.ready = Math.round(performance.now());
        }
        if (message.type === 'column') {
          job.busy = (job.busy || 0) + message.took;
          handed.set(worker, handed.get(worker) - PieceRows(message));
          onPiece(message, message.colours);
          if (++received === pieces.length) {
            job.cancel();
            return resolve();
          }
          hand(worker);
        }
      };
      worker.postMessage({type: 'view', generation: job.generation, view: job.view});
    }
    // The first pieces dealt round, one to each worker in turn: with many
    // workers, a view of few pieces (a preview) is shared by all of them.
    for (let dealt = true; dealt;) {
      dealt = false;
      for (const worker of workers) dealt = handOne(worker) || dealt;
    }
    workers.started.catch((error) => stop(error.message));
  });
}

// Ends the job in hand, so that a new one owns the canvas.
function Switch(job) {
  if (current && current.cancel) current.cancel();
  current = job;
  state.generation = job.generation = (state.generation || 0) + 1;
}

function Failed(job, error) {
  if (job !== current) return;
  const {status, digest, verdict} = Elements();
  state.failed = String(error);
  status.textContent = 'Failed: ' + error.message;
  status.className = 'bad';
  digest.textContent = '(none: the image was not computed)';
  verdict.textContent = '';
  state.done = true;
}

// The exact image of the view, in the order the query asks (orders.js):
// sharpening, or column by column from the left. Over the preview of this
// very view where that is complete (its pixels are not computed again),
// over a cleared canvas otherwise.
async function Exact(view, {clear}) {
  const job = {view, mode: 'exact'};
  Switch(job);
  const {canvas} = Elements();
  const context = canvas.getContext('2d');
  const overPreview = !clear && previewFrame && previewFrame.view === view;
  if (!overPreview) context.clearRect(0, 0, kWidth, kHeight);
  Object.assign(state, {drawnOrder: [], done: false, digest: '', canvasDigest: '', failed: '',
                        view, imageView: false, previewed: '', whole: false});
  Pending('Starting…');
  const start = performance.now();

  const frame = new Uint32Array(kWidth * kHeight);
  const order = setup.order === 'columns'
                    ? Sweep(context, frame, state.drawnOrder)
                    : Sharpening(context, frame, overPreview ? previewFrame.colours : null);
  window.orbeluneShown = order.shown;
  const drawer = Drawer(job, order);
  if (order.whole()) drawer.now();  // over the preview of this view
  let first = true;
  try {
    await Workers(job, order.pieces, (piece, colours) => {
      order.take(piece, colours);
      if (first) state.times.firstColumn = Math.round(performance.now());
      first = false;
      // The whole view on the canvas as soon as there is one.
      if (!state.whole && order.whole()) drawer.now();
      else drawer.ask();
    });
  } catch (error) {
    return Failed(job, error);
  }
  if (job !== current) return;
  const seconds = (performance.now() - start) / 1000;
  state.times.computed = Math.round(performance.now());
  drawer.finish();
  // Milliseconds the workers spent in the module, all together, and the
  // page's thread in drawing.
  state.times.busy = Math.round(job.busy);
  state.times.drawing = Math.round(drawer.milliseconds());

  const digest = Hex(await crypto.subtle.digest('SHA-256', frame.buffer));
  if (job !== current) return;
  state.digest = digest;
  state.imageView = job.imageView;
  const {threads} = setup;
  const {status, digest: digestShown} = Elements();
  status.textContent = `Computed in ${seconds.toFixed(2)} s on ${threads} ` +
                       `thread${threads > 1 ? 's' : ''} with the ${state.kernels} kernels.`;
  digestShown.textContent = digest;
  state.times.shown = Math.round(performance.now());
  const canvasDigest = await CanvasDigest(context);
  if (job !== current) return;
  state.canvasDigest = canvasDigest;
  Verdict(job, digest, canvasDigest);
  state.times.checked = Math.round(performance.now());
  state.done = true;
}

// The page's parts that wait for the image: its status, progress, digest,
// verdict and button.
function Pending(text) {
  const {progress, status, digest, verdict, save, saveTurn} = Elements();
  status.className = '';
  status.textContent = text;
  progress.value = 0;
  digest.textContent = '(once the image is complete)';
  verdict.textContent = '';
  verdict.className = '';
  save.disabled = true;
  saveTurn.disabled = true;
}

// Draws what the order has new, ten times a second while the image builds
// up (ask), and once more when it is complete (finish): each draw costs
// the workers' cores a repaint of the canvas, and drawing every frame
// slowed the computing by a quarter.
function Drawer(job, order) {
  const {progress, status} = Elements();
  let drawing = 0, asked = false, finished = false;
  const draw = () => {
    if (job !== current || finished) return;
    const began = performance.now();
    order.draw();
    if (order.whole() && !state.whole) {
      state.whole = true;
      state.times.whole = Math.round(performance.now());
    }
    progress.value = order.progress() * kWidth;
    status.textContent = setup.order === 'columns'
                             ? `${state.drawnOrder.length} of ${kWidth} columns`
                             : `Sharpening: ${Math.floor(order.progress() * 100)}% exact`;
    drawing += performance.now() - began;
  };
  return {
    ask() {
      if (asked) return;
      asked = true;
      setTimeout(() => {
        asked = false;
        draw();
      }, kDrawEvery);
    },
    now: draw,
    // Drawn whole: a draw still asked for has nothing left.
    finish() {
      draw();
      finished = true;
    },
    milliseconds: () => drawing,
  };
}

// The canvas read back in the frame's layout, hashed: what a person sees.
async function CanvasDigest(context) {
  const shown = context.getImageData(0, 0, kWidth, kHeight).data;
  const fromCanvas = new Uint32Array(kWidth * kHeight);
  for (let x = 0; x < kWidth; ++x) {
    for (let y = 0; y < kHeight; ++y) {
      const at = (y * kWidth + x) * 4;
      fromCanvas[x * kHeight + y] = shown[at] | shown[at + 1] << 8 | shown[at + 2] << 16;
    }
  }
  return Hex(await crypto.subtle.digest('SHA-256', fromCanvas.buffer));
}

// The verdict on a complete image, and its button. The golden digest is
// the image's: another view has none to be held to.
function Verdict(job, digest, canvasDigest) {
  const {canvas, verdict, save, saveTurn} = Elements();
  if (job.imageView) {
    const good = digest === kGoldenDigest && canvasDigest === kGoldenDigest;
    verdict.textContent = good ? '= the golden digest: the same image as every other build.'
                               : '≠ the golden digest ' + kGoldenDigest;
    verdict.className = good ? 'good' : 'bad';
  } else if (canvasDigest !== digest) {
    verdict.textContent = '≠ the canvas, whose digest is ' + canvasDigest;
    verdict.className = 'bad';
  }
  save.disabled = false;
  // The PNG says what it is, as orbelune-render's does: the digest, and
  // the view where it is another.
  const comment = `SHA-256 of the frame's colours: ${digest}` +
                  (state.imageView ? '' : `; view ${state.view}`);
  save.onclick = () => Save(canvas, comment);
  // One turn at a time (turn.js), from the view shown.
  saveTurn.disabled = state.turn.running;
  saveTurn.onclick = () => SaveTurn();
}

// The coarse image of the view while the pointer turns it: each column
// drawn as blocks as soon as it comes. When it is complete and the view
// has moved on, the next preview starts.
async function Preview(view) {
  const job = {view, mode: 'preview', step: kStep};
  Switch(job);
  ++state.previews;
  state.previewed = '';
  const {canvas, status, save, saveTurn, verdict, digest} = Elements();
  const context = canvas.getContext('2d');
  state.done = false;
  state.digest = state.canvasDigest = state.failed = '';
  state.view = view;
  state.imageView = false;
  save.disabled = saveTurn.disabled = true;
  verdict.textContent = '';
  digest.textContent = '(once the image is complete)';
  status.className = '';
  status.textContent = 'Preview…';
  const columns = [];
  for (let x = 0; x < kWidth; x += kStep) columns.push({x, step: kStep});
  const start = performance.now();
  const colours = new Uint32Array(kWidth * kHeight);
  try {
    await Workers(job, columns, ({x}, column) => {
      colours.set(column, x * kHeight);
      const width = Math.min(kStep, kWidth - x);
      const piece = new ImageData(width, kHeight);
      const pixels = new Uint32Array(piece.data.buffer);
      for (let y = 0; y < kHeight; ++y) {
        pixels.fill(column[y - y % kStep] | 0xFF000000, y * width, (y + 1) * width);
      }
      context.putImageData(piece, x, 0);
    });
  } catch (error) {
    return Failed(job, error);
  }
  if (job !== current) return;
  job.finished = true;
  state.previewed = view;
  previewFrame = {view, colours};
  state.times.preview = Math.round(performance.now() - start);
  status.textContent = `Preview in ${state.times.preview} ms; the exact image follows the release.`;
  if (dragging && viewText !== view) Preview(viewText);
}

// Shows the view in the fields and the address; replaceState, so that
// the page hears no hashchange of its own and a drag leaves no history.
function ShowView(view) {
  viewText = view;
  const parts = view.split(',');
  for (const [i, id] of ['angleA', 'angleB', 'angleC'].entries()) {
    const field = document.getElementById(id);
    if (field && field.value !== parts[i]) field.value = parts[i];
  }
  const hash = view === kImageView ? '' : '#view=' + view;
  if (location.hash !== hash) {
    history.replaceState(null, '', location.pathname + location.search + hash);
  }
}

// The notes of what was refused: the query's, which stand, and the last
// view refused, which goes once a view is taken.
function ShowRefused() {
  const notes = state.viewRefused ? [...state.refused, state.viewRefused] : state.refused;
  const shown = document.getElementById('refused');
  shown.textContent = notes.join(' ');
  shown.hidden = notes.length === 0;
}

function Refuse(note) {
  state.refused.push(note);
  ShowRefused();
}

function RefuseView(note) {
  state.viewRefused = note;
  ShowRefused();
}

// The view the address names, or null (refused with a note) for text
// that is no view.
function HashView() {
  const raw = location.hash.slice(1);
  let hash = raw;
  try {
    hash = decodeURIComponent(raw);
  } catch {
    // A stray % is no view: refused below, as the text it is.
  }
  if (hash === '') return kImageView;
  const match = /^view=(.*)$/.exec(hash);
  const problem = match ? ViewProblem(match[1]) : 'a view is #view=A,B,C, angles in radians';
  if (problem === '') return match[1];
  RefuseView(`#${Excerpt(hash)} refused: ${problem}; the image's view is shown.`);
  return null;
}

let dragging = null;

// Whether two texts are one view: the same three floats, however written
// (-0.50 is -0.5; -0 is not 0).
function SameView(a, b) {
  if (a === b) return true;
  if (!reader) return false;
  const [x, y] = [ReadView(a), ReadView(b)];
  return x.why === '' && y.why === '' && x.shortest === y.shortest;
}

// A new view from the fields, the address or the button: the old one's
// image is wiped, so that none of it stays beside the new one. A drag
// under way ends here: the new view is not turned back into the old.
function Turn(view) {
  dragging = null;
  // The view shown, or a turn from it: nothing to start again.
  if (SameView(view, viewText) && current && (current.mode === 'exact' || current.mode === 'turn')) {
    return;
  }
  ShowView(view);
  Exact(view, {clear: true});
}

// The controls, from the start; what reads a view waits for the module's
// reader (reading), and reads nothing where it could not be had (the
// page has failed). A drag starts only once there is a reader.
function Controls(reading) {
  const read = (handler) => (event) => reading.then(() => handler(event), () => {});
  const canvas = document.getElementById('orbelune');
  canvas.addEventListener('pointerdown', (event) => {
    if (event.button !== 0 || dragging || !reader) return;
    canvas.setPointerCapture(event.pointerId);
    dragging = {id: event.pointerId, moved: false};
    From(event.clientX, event.clientY, event.shiftKey);
    event.preventDefault();
  });
  // The drag turns the view from where it stands with the pointer at
  // (x, y): from its start, and again from the last move whenever Shift is
  // pressed or let go, so that the view goes on from there, not jumping.
  const From = (x, y, shift) => {
    Object.assign(dragging, {x, y, lastX: x, lastY: y, shift});
    dragging.texts = viewText.split(',');
    dragging.angles = StartAngles(viewText);
  };
  canvas.addEventListener('pointermove', (event) => {
    if (!dragging || event.pointerId !== dragging.id) return;
    if (event.shiftKey !== dragging.shift) From(dragging.lastX, dragging.lastY, event.shiftKey);
    dragging.lastX = event.clientX, dragging.lastY = event.clientY;
    const box = canvas.getBoundingClientRect();
    const across = (event.clientX - dragging.x) / box.width * Math.PI;
    const down = (event.clientY - dragging.y) / box.height * Math.PI;
    if (across === 0 && down === 0) return;
    dragging.moved = true;
    RefuseView('');
    // The angles the drag does not turn keep their text, and so their float.
    const [a, b, c] = dragging.angles;
    const [textA, textB, textC] = dragging.texts;
    const view = (event.shiftKey ? [textA, textB, AngleText(c + across)]
                                 : [AngleText(a + down), AngleText(b + across), textC])
                     .join(',');
    if (view === viewText) return;
    ShowView(view);
    // One preview at a time: a new one starts as the last completes, so
    // that a fast drag still shows whole pictures.
    if (!current || current.mode !== 'preview' || current.finished) Preview(view);
  });
  const release = (event) => {
    if (!dragging || event.pointerId !== dragging.id) return;
    const moved = dragging.moved;
    dragging = null;
    // The exact image builds up over the preview of its own view, if that
    // is complete; over nothing otherwise: no column of another view stays.
    if (moved) Exact(viewText, {clear: state.previewed !== viewText});
  };
  canvas.addEventListener('pointerup', release);
  canvas.addEventListener('pointercancel', release);

  const fields = ['angleA', 'angleB', 'angleC'].map((id) => document.getElementById(id));
  for (const field of fields) {
    field.addEventListener('change', read(() => {
      const view = fields.map((f) => f.value.trim()).join(',');
      const problem = ViewProblem(view);
      if (problem === '') {
        RefuseView('');
        return Turn(view);
      }
      RefuseView(`${Excerpt(view)} refused: ${problem} (radians).`);
      ShowView(viewText);
    }));
  }
  document.getElementById('imageView').addEventListener('click', () => {
    RefuseView('');
    Turn(kImageView);
  });
  window.addEventListener('hashchange', read(() => {
    const view = HashView();
    if (view !== null) RefuseView('');
    Turn(view === null ? kImageView : view);
  }));
}

function Begin() {
  state.times = {start: Math.round(performance.now())};
  const simd = HasSimd();
  const refused = [];
  const {kernels, threads, order} = Choices(new URLSearchParams(location.search), simd, refused);
  const module = kernels === 'wasm-simd' ? 'orbelune-web-simd' : 'orbelune-web';
  const compiled = Compile(module + '.wasm');
  compiled.catch(() => {});  // its failure is the page's, in the workers' promise
  setup = {kernels, threads, order, module, compiled};
  state.threads = threads;
  for (const note of refused) Refuse(note);
  const notes = [];
  if (!simd) notes.push('This browser has no WebAssembly SIMD: the scalar kernels compute.');
  notes.push(self.crossOriginIsolated
                 ? 'The page is cross-origin isolated.'
                 : 'The page is not cross-origin isolated; the workers need no shared memory, ' +
                       'so it computes on every thread all the same.');
  document.getElementById('notes').textContent = notes.join(' ');
  // The image's view needs no reading: its image starts at once. A view in
  // the address waits for the module's reader.
  const reading = Reading(module, compiled);
  const hashed = location.hash !== '';
  if (!hashed) {
    ShowView(kImageView);
    Exact(kImageView, {clear: true});
  }
  reading.then(() => {
    if (!hashed) return;
    const view = HashView();
    ShowView(view === null ? kImageView : view);
    Exact(viewText, {clear: true});
  }, (error) => {
    // No view can be read: the page has failed, unless its image is
    // complete already, which then stays, and cannot be turned.
    if (state.done && !state.failed) return Refuse(`The view cannot be turned: ${error.message}.`);
    const job = {view: viewText, mode: 'exact'};
    Switch(job);
    if (pool) EndPool(pool);
    Failed(job, error);
  });
  Controls(reading);
}

Begin();
