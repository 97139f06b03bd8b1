// The web module's render pass on one thread under node, split into parts
// as render_bench splits the native one: scene build and maps, deciding
// runs and skips, shading, blending and packing. Best of RUNS passes, after
// one to warm up (the engine compiles hot code better once it has run).
//   node web_parts.js WEB-BUILD-DIR [RUNS]
// Prints figures; it passes or fails nothing.
'use strict';
const fs = require('fs');
const path = require('path');

const [buildDir, runsArg = '3'] = process.argv.slice(2);
const moduleFile = path.resolve(buildDir, 'bench/orbelune-web-parts.js');

(async () => {
  const OrbeluneModule = require(moduleFile);
  const module = await OrbeluneModule({wasmBinary: fs.readFileSync(moduleFile.replace(/js$/, 'wasm'))});
  const choose = module.cwrap('OrbeluneChoose', 'number', ['string']);
  const part = module.cwrap('OrbelunePart', 'number', ['number']);
  for (const kernels of ['wasm-simd', 'scalar']) {
    if (choose(kernels) !== 0) continue;
    const best = [];
    for (let p = 0; p < 4; ++p) {
      part(p);
      best.push(Math.min(...Array.from({length: Number(runsArg)}, () => part(p))) / 1000);
    }
    const line = (what, seconds) => console.log(`  ${what.padEnd(34)} ${seconds.toFixed(3)} s`);
    console.log(`web module under node ${process.version}, 1 thread, ${kernels} kernels:`);
    line('whole pass', best[3]);
    line('  scene build and maps', best[0]);
    line('  deciding runs and skips', best[1] - best[0]);
    line('  shading the runs', best[2] - best[1]);
    line('  blending and packing', best[3] - best[2]);
  }
})();
