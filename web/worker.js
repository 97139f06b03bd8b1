// A worker of the page: a renderer module of its own, computing the
// columns the page hands it, one at a time.
'use strict';
let renderer = null;

onmessage = async (event) => {
  const message = event.data;
  if (message.type === 'start') {
    importScripts(message.module);
    const module = await OrbeluneModule();
    if (module.cwrap('OrbeluneBegin', 'number', ['string'])(message.kernels) !== 0) {
      postMessage({type: 'failed', why: `no kernel set '${message.kernels}' in ${message.module}`});
      return;
    }
    const column = module.cwrap('OrbeluneColumn', 'number', ['number']);
    renderer = {
      kernels: module.cwrap('OrbeluneKernels', 'string', [])(),
      // A copy of column x's 769 colours (COLORREF, 0x00BBGGRR).
      column: (x) => new Uint32Array(module.HEAPU32.buffer, column(x), 769).slice(),
    };
    postMessage({type: 'ready', kernels: renderer.kernels});
  } else if (message.type === 'column') {
    const colours = renderer.column(message.x);
    postMessage({type: 'column', x: message.x, colours}, [colours.buffer]);
  }
};
