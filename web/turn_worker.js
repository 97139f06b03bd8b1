// The page's turn writer: a worker of its own that loads orbelune-turn (the
// command's turn writer over libwebp) when a turn is saved, and encodes
// each frame the page hands it while the page's workers compute the next.
// Messages: 'begin' {view, frames} answers 'begun' {views: each frame's
// view text, from the module}; 'frame' {colours, digest} answers 'added'
// {took: its milliseconds};
// 'finish' answers 'file' {bytes}. Whatever goes wrong is posted as
// 'failed' {why}, and the worker ends.
'use strict';
let turn = null;

function Fail(why) {
  postMessage({type: 'failed', why});
  close();
}

// The module's script and its .wasm, each named where it fails.
async function Load() {
  const script = 'orbelune-turn.js', binary = 'orbelune-turn.wasm';
  try {
    importScripts(script);
  } catch (error) {
    throw new Error(`cannot load ${script}: ${error.message}`);
  }
  let response;
  try {
    response = await fetch(binary);
  } catch (error) {
    throw new Error(`cannot load ${binary}: no answer from the server (${error.message})`);
  }
  if (!response.ok) {
    throw new Error(`cannot load ${binary}: ${response.status} ${response.statusText}`);
  }
  const wasmBinary = new Uint8Array(await response.arrayBuffer());
  const instance = await new Promise((resolve, reject) => {
    OrbeluneTurnModule({
      wasmBinary,
      onAbort: (why) => reject(new Error(`${binary} could not start: ${why}`)),
    }).then(resolve, reject);
  });
  return {
    instance,
    begin: instance.cwrap('OrbeluneTurnBegin', 'string', ['string', 'number']),
    viewText: instance.cwrap('OrbeluneTurnViewText', 'string', ['number']),
    room: instance.cwrap('OrbeluneTurnRoom', 'number', []),
    add: instance.cwrap('OrbeluneTurnAdd', 'string', ['string']),
    finish: instance.cwrap('OrbeluneTurnFinish', 'string', []),
    file: instance.cwrap('OrbeluneTurnFile', 'number', []),
    fileSize: instance.cwrap('OrbeluneTurnFileSize', 'number', []),
  };
}

onmessage = async (event) => {
  const message = event.data;
  try {
    if (message.type === 'begin') {
      turn = await Load();
      const why = turn.begin(message.view, message.frames);
      if (why !== '') throw new Error(why);
      const views = Array.from({length: message.frames}, (_, k) => turn.viewText(k));
      postMessage({type: 'begun', views});
    } else if (message.type === 'frame') {
      // After room(), which may grow the memory and so move HEAPU32.
      const began = performance.now();
      const at = turn.room() / 4;
      turn.instance.HEAPU32.set(message.colours, at);
      const why = turn.add(message.digest);
      if (why !== '') throw new Error(why);
      // How long it took, for the page's figures.
      postMessage({type: 'added', took: performance.now() - began});
    } else if (message.type === 'finish') {
      const why = turn.finish();
      if (why !== '') throw new Error(why);
      const at = turn.file();
      const bytes = turn.instance.HEAPU8.slice(at, at + turn.fileSize());
      postMessage({type: 'file', bytes}, [bytes.buffer]);
    }
  } catch (error) {
    Fail(error && error.message ? error.message : String(error));
  }
};
