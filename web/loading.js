// Loading and the workers: the kernels and threads the query asks for,
// the module fetched and compiled once for every worker, the module's
// reader of views on this page's thread, and the pool of workers that
// computes a job's pieces.
//
// Query: ?threads=N (workers, 1 to 64; default one per core), ?kernels=scalar
// or wasm-simd (default: SIMD where the browser has it), ?order=columns (the
// exact image column by column; default: sharpening). A value the page
// cannot use is refused with a note, and the default used instead.
import {PieceRows} from './orders.js';
import {kHeight, live, state} from './shared.js';

const kMaxThreads = 64;

// Whether the browser has WebAssembly SIMD: a one-function module using
// i8x16.popcnt validates only there.
export function HasSimd() {
  return WebAssembly.validate(new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123,
                                              3, 2, 1, 0, 10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98,
                                              11]));
}

// The kernel set and the number of workers the query asks for, where the
// page can give them; notes says what was refused.
export function Choices(query, simd, notes) {
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

// A file of the page's, asked for: what fails names the file, and why.
export async function Fetched(file) {
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
export async function Compile(file) {
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

// The module's reader of view texts (text/ViewText.h, what
// orbelune-render --view reads with), in an instance of the module on this
// page's thread: the page takes and refuses exactly the texts the command
// does, as the same floats, with the command's reasons: live.reader, set
// by Reading().

// The module's script and an instance of the compiled module, started
// for its reader alone.
export async function Reading(module, compiled) {
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
  live.reader = {
    instance,
    room: instance.cwrap('OrbeluneViewRoom', 'number', ['number']),
    read: instance.cwrap('OrbeluneReadView', 'string', []),
    angles: instance.cwrap('OrbeluneReadAngles', 'number', []),
    text: instance.cwrap('OrbeluneReadText', 'string', []),
    turnView: instance.cwrap('OrbeluneReadTurnView', 'string', ['number', 'number']),
  };
}

// The workers, kept from one view to the next while each view's columns
// are all in: starting one takes tens of milliseconds, which a drag's
// previews, one after another, would wait for at every turn.
export function Pool() {
  if (live.pool) return live.pool;
  const {threads, kernels, module, compiled} = live.setup;
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
      if (live.pool !== workers) return;
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
  return live.pool = workers;
}

// Ends a pool's workers, after a failure or a view left before its
// columns are all in: the next view starts new ones. Only that pool: a
// late event of an old one must not end the workers of the view in hand.
export function EndPool(workers) {
  for (const worker of workers) worker.terminate();
  if (live.pool === workers) live.pool = null;
}

// Sets the workers to a view; pieces are the columns, or pieces of
// columns, to compute ({x, first, step}: rows first, first + step, ... of
// column x; first undefined for a preview's column of blocks). onPiece
// gets each piece with its colours, and the promise settles when every
// piece asked is in, or on the first failure (which ends the workers).
// cancel() stops hearing them, and ends them unless every piece is in: a
// new view then has new workers, and the old one's pieces are computed no
// further.
export function Workers(job, pieces, onPiece) {
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
        if (stopped || job !== live.current || message.generation !== job.generation) {
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
export function Switch(job) {
  if (live.current && live.current.cancel) live.current.cancel();
  live.current = job;
  state.generation = job.generation = (state.generation || 0) + 1;
}

// A job's pieces computed (Workers): true once every piece is in, false
// where a new job took the workers first; a failure rejects.
export function Computed(job, pieces, onPiece) {
  let received = 0;
  const computed = Workers(job, pieces, (piece, colours) => {
    ++received;
    onPiece(piece, colours);
  });
  // A new job ends this one without settling its promise.
  const finished = job.cancel;
  const cancelled = new Promise((resolve) => {
    job.cancel = () => {
      finished();
      if (received < pieces.length) resolve(false);
    };
  });
  return Promise.race([computed.then(() => true), cancelled]);
}

