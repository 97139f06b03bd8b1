// A worker of the page: a renderer module of its own, computing the
// columns the page hands it, one at a time. Whatever goes wrong is posted
// as a failure: a rejection inside this async handler would never reach
// the page's onerror, and the page would wait for ever.
'use strict';
let renderer = null;

function Fail(why) {
  postMessage({type: 'failed', why});
  close();
}

async function Start(module, kernels) {
  try {
    importScripts(module);
  } catch (error) {
    throw new Error(`cannot load ${module}: ${error.message}`);
  }
  // The module aborts (cannot fetch or compile its .wasm) by way of
  // onAbort; its promise need not settle then.
  const instance = await new Promise((resolve, reject) => {
    OrbeluneModule({onAbort: (why) => reject(new Error(`${module} could not start: ${why}`))})
        .then(resolve, reject);
  });
  if (instance.cwrap('OrbeluneBegin', 'number', ['string'])(kernels) !== 0) {
    throw new Error(`no kernel set '${kernels}' in ${module}`);
  }
  const column = instance.cwrap('OrbeluneColumn', 'number', ['number']);
  renderer = {
    kernels: instance.cwrap('OrbeluneKernels', 'string', [])(),
    // A copy of column x's 769 colours (COLORREF, 0x00BBGGRR).
    column: (x) => new Uint32Array(instance.HEAPU32.buffer, column(x), 769).slice(),
  };
  postMessage({type: 'ready', kernels: renderer.kernels});
}

onmessage = async (event) => {
  const message = event.data;
  try {
    if (message.type === 'start') {
      await Start(message.module, message.kernels);
    } else if (message.type === 'column') {
      const colours = renderer.column(message.x);
      postMessage({type: 'column', x: message.x, colours}, [colours.buffer]);
    }
  } catch (error) {
    Fail(error && error.message ? error.message : String(error));
  }
};
