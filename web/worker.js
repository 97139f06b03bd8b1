// A worker of the page: a renderer instance of its own, kept from one view
// to the next while each view's columns are all in. The page starts it at
// once with the module's script ('load'), sends it the module the page
// compiled ('start'), and then, for each view, a job ('view': the job's
// generation and the view's text) and the job's columns (or pieces of
// columns: every step-th row from a first), a few ahead, so
// that it never waits for the page between columns. Columns that come
// before it is ready wait here. (A view that changes before its columns
// are all in ends the workers: the page starts new ones.)
// Whatever goes wrong is posted as a failure: a rejection inside this
// async handler would never reach the page's onerror, and the page would
// wait for ever.
'use strict';
let script = '', renderer = null, failed = false;
let generation = -1, view = null;  // the job in hand, and its view
const waiting = [];                // its columns that came before the module

function Fail(why) {
  failed = true;
  postMessage({type: 'failed', why});
  close();
}

function Load(module) {
  script = module;
  try {
    importScripts(module);
  } catch (error) {
    throw new Error(`cannot load ${module}: ${error.message}`);
  }
}

// An instance of the compiled module, or of the one the script fetches
// itself where the page could not hand it over (wasm null).
async function Start(wasm, kernels) {
  const instance = await new Promise((resolve, reject) => {
    // The module aborts (cannot fetch or compile its .wasm) by way of
    // onAbort; its promise need not settle then.
    const settings = {onAbort: (why) => reject(new Error(`${script} could not start: ${why}`))};
    if (wasm) {
      settings.instantiateWasm = (imports, receive) => {
        WebAssembly.instantiate(wasm, imports)
            .then((made) => receive(made, wasm))
            .catch((error) => reject(new Error(`${script} could not start: ${error.message}`)));
        return {};
      };
    }
    OrbeluneModule(settings).then(resolve, reject);
  });
  if (instance.cwrap('OrbeluneBegin', 'number', ['string'])(kernels) !== 0) {
    throw new Error(`no kernel set '${kernels}' in ${script}`);
  }
  const column = instance.cwrap('OrbeluneColumn', 'number', ['number']);
  const preview = instance.cwrap('OrbelunePreviewColumn', 'number', ['number', 'number']);
  const rows = instance.cwrap('OrbeluneRows', 'number', ['number', 'number', 'number']);
  const isImageView = instance.cwrap('OrbeluneIsImageView', 'number', []);
  renderer = {
    kernels: instance.cwrap('OrbeluneKernels', 'string', [])(),
    // The view's text as the address gives it: the module reads each angle
    // with strtof, as orbelune-render --view does, so the floats are the
    // command's, not JavaScript's twice-rounded ones. 0 where it took it.
    turn: instance.cwrap('OrbeluneView', 'number', ['string']),
    imageView: () => isImageView() === 1,
    // A copy of column x's 769 colours (COLORREF, 0x00BBGGRR): every row,
    // or for a preview every step-th row, with blocks between; or, where
    // `first` is given, rows first, first + step, ... alone, the rest 0.
    column: (x, step, first) => {
      const at = first === undefined ? (step > 1 ? preview(x, step) : column(x))
                                     : step > 1 ? rows(x, first, step) : column(x);
      const colours = new Uint32Array(instance.HEAPU32.buffer, at, 769);
      if (first === undefined || step === 1) return colours.slice();
      const piece = new Uint32Array(769);
      for (let y = first; y < 769; y += step) piece[y] = colours[y];
      return piece;
    },
  };
}

// Turns the renderer to the job's view, and says so.
function Turn() {
  if (renderer.turn(view) !== 0) throw new Error(`the view ${view} is not three angles`);
  postMessage({type: 'ready', generation, kernels: renderer.kernels,
               imageView: renderer.imageView()});
}

function Compute({x, step, first}) {
  const start = performance.now();
  const colours = renderer.column(x, step, first);
  // How long it took, for the page's account of where its time goes.
  const took = performance.now() - start;
  postMessage({type: 'column', generation, x, first, step, colours, took}, [colours.buffer]);
}

onmessage = async (event) => {
  const message = event.data;
  if (failed) return;
  try {
    if (message.type === 'load') {
      Load(message.module);
    } else if (message.type === 'start') {
      await Start(message.wasm, message.kernels);
      if (view !== null) Turn();
      for (const column of waiting.splice(0)) {
        if (column.generation === generation) Compute(column);
      }
    } else if (message.type === 'view') {
      generation = message.generation, view = message.view;
      if (renderer) Turn();
    } else if (message.type === 'column' && message.generation === generation) {
      if (renderer) Compute(message);
      else waiting.push(message);
    }
  } catch (error) {
    Fail(error && error.message ? error.message : String(error));
  }
};
