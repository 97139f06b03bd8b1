// The page: workers compute the pixels, and the page draws them onto the
// canvas ten times a second, coarse to fine (or column by column from the
// left, as in the window), as the exact image of the view in the address
// (#view=A,B,C). Its parts, each a module: loading and the workers
// (loading.js), view texts and the address (view.js), jobs and drawing
// (jobs.js, orders.js), saving (saving.js, turn.js), the turn that plays
// (play.js) and the controls (controls.js); shared.js holds what they
// share and the state the tests read.
import {Controls} from './controls.js';
import {CanvasDigest, Exact, Failed} from './jobs.js';
import {Choices, Compile, EndPool, HasSimd, Reading, Switch} from './loading.js';
import {kImageView, live, probes, state} from './shared.js';
import {HashView, Refuse, ShowView, ViewProblem} from './view.js';

function Begin() {
  state.times = {start: Math.round(performance.now())};
  const simd = HasSimd();
  const refused = [];
  const {kernels, threads, order} = Choices(new URLSearchParams(location.search), simd, refused);
  const module = kernels === 'wasm-simd' ? 'orbelune-web-simd' : 'orbelune-web';
  const compiled = Compile(module + '.wasm');
  compiled.catch(() => {});  // its failure is the page's, in the workers' promise
  live.setup = {kernels, threads, order, module, compiled};
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
    Exact(live.viewText, {clear: true});
  }, (error) => {
    // No view can be read: the page has failed, unless its image is
    // complete already, which then stays, and cannot be turned.
    if (state.done && !state.failed) return Refuse(`The view cannot be turned: ${error.message}.`);
    const job = {view: live.viewText, mode: 'exact'};
    Switch(job);
    if (live.pool) EndPool(live.pool);
    Failed(job, error);
  });
  Controls(reading);
}

Object.assign(probes, {CanvasDigest, ViewProblem});
Begin();
