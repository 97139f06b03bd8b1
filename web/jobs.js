// Jobs and drawing: the exact image of a view, coarse to fine or column
// by column (orders.js), the coarse preview while a person turns it, and
// the verdict on a complete image: its digest, SHA-256 of its colours as
// little-endian COLORREFs, column by column, as orbelune-render --digest
// prints it, held to the canvas's and, for the image's view, the golden
// digest. A new view ends the old one's job, and nothing of it is drawn
// after.
import {kGoldenDigest} from './golden.js';
import {Switch, Workers} from './loading.js';
import {Sharpening, Sweep} from './orders.js';
import {StopPlay} from './play.js';
import {Save} from './saving.js';
import {Elements, Hex, kHeight, kWidth, live, PixelsDigest, probes, state, Turning}
    from './shared.js';
import {SaveTurn} from './turn.js';
import {SameView, ShowView} from './view.js';

// Milliseconds between draws while the image builds up.
const kDrawEvery = 100;
// The preview marches every kStep-th row of every kStep-th column and
// draws each pixel as a block: a sixteenth of the pixels and of the work.
const kStep = 4;

export function Failed(job, error) {
  if (job !== live.current) return;
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
export async function Exact(view, {clear}) {
  const job = {view, mode: 'exact'};
  Switch(job);
  const {canvas} = Elements();
  const context = canvas.getContext('2d');
  const {previewFrame} = live;
  const overPreview = !clear && previewFrame && previewFrame.view === view;
  if (!overPreview) context.clearRect(0, 0, kWidth, kHeight);
  Object.assign(state, {drawnOrder: [], done: false, digest: '', canvasDigest: '', failed: '',
                        view, imageView: false, previewed: '', whole: false});
  Pending('Starting…');
  const start = performance.now();

  const frame = new Uint32Array(kWidth * kHeight);
  const order = live.setup.order === 'columns'
                    ? Sweep(context, frame, state.drawnOrder)
                    : Sharpening(context, frame, overPreview ? previewFrame.colours : null);
  probes.shown = order.shown;
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
  if (job !== live.current) return;
  const seconds = (performance.now() - start) / 1000;
  state.times.computed = Math.round(performance.now());
  drawer.finish();
  // Milliseconds the workers spent in the module, all together, and the
  // page's thread in drawing.
  state.times.busy = Math.round(job.busy);
  state.times.drawing = Math.round(drawer.milliseconds());

  const digest = Hex(await crypto.subtle.digest('SHA-256', frame.buffer));
  if (job !== live.current) return;
  state.digest = digest;
  state.imageView = job.imageView;
  const {threads} = live.setup;
  const {status, digest: digestShown} = Elements();
  status.textContent = `Computed in ${seconds.toFixed(2)} s on ${threads} ` +
                       `thread${threads > 1 ? 's' : ''} with the ${state.kernels} kernels.`;
  digestShown.textContent = digest;
  state.times.shown = Math.round(performance.now());
  const canvasDigest = await CanvasDigest(context);
  if (job !== live.current) return;
  state.canvasDigest = canvasDigest;
  Verdict(job, digest, canvasDigest);
  state.times.checked = Math.round(performance.now());
  state.done = true;
}

// The page's parts that wait for the image: its status, progress, digest,
// verdict and button.
export function Pending(text) {
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
    if (job !== live.current || finished) return;
    const began = performance.now();
    order.draw();
    if (order.whole() && !state.whole) {
      state.whole = true;
      state.times.whole = Math.round(performance.now());
    }
    progress.value = order.progress() * kWidth;
    status.textContent = live.setup.order === 'columns'
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
export async function CanvasDigest(context) {
  return (await PixelsDigest(context.getImageData(0, 0, kWidth, kHeight).data)).digest;
}

// The verdict on a complete image, and its button. The golden digest is
// the image's: another view has none to be held to.
export function Verdict(job, digest, canvasDigest) {
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
export async function Preview(view) {
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
  if (job !== live.current) return;
  job.finished = true;
  state.previewed = view;
  live.previewFrame = {view, colours};
  state.times.preview = Math.round(performance.now() - start);
  status.textContent = `Preview in ${state.times.preview} ms; the exact image follows the release.`;
  if (job.settled && !Turning()) Exact(view, {clear: false});
  else if (Turning() && live.viewText !== view) Preview(live.viewText);
}

// A new view from the fields, the address or the button: the old one's
// image is wiped, so that none of it stays beside the new one. A drag
// under way ends here: the new view is not turned back into the old.
export function Turn(view) {
  live.dragging = null;
  live.keysHeld.clear();
  const played = StopPlay();
  // The view shown, or a turn from it: nothing to start again. The same
  // floats in another text are the same view.
  const {current} = live;
  if (!played && SameView(view, live.viewText) && current &&
      (current.mode === 'exact' || current.mode === 'turn')) {
    return;
  }
  ShowView(view);
  Exact(view, {clear: true});
}
