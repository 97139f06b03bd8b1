// Play: the turn of the view shown, looping on the canvas at 25 frames a
// second, each frame's view the one orbelune-render --turn 36 --view gives
// (the module's own text of it). Frames are computed coarse to fine: all
// 36 on the 4-pixel grid first (every 4th row and column, drawn as
// blocks), then the 2-pixel grid, then whole; so the turn moves within a
// couple of seconds and becomes exact frame by frame. A frame not yet on
// the coarsest grid is not reached: the loop waits on the last one it has.
//
// Each frame is kept as the pixels it shows (36 x 3 MB, about 110 MB, the
// turn at full size): every loop after the exact one is drawn without
// computing, and "Save turn" takes its whole frames from here. One turn is
// kept at a time.
import {Failed} from './jobs.js';
import {Computed, Switch} from './loading.js';
import {GridPieces} from './orders.js';
import {Elements, kHeight, kWidth, live, PixelsDigest, state} from './shared.js';
import {SameView, TurnViewText} from './view.js';

const kFrames = 36, kFrameMs = 40;

// What the tests and figures read: whether the page is in a turn
// (active) and moving (playing); the frame on the canvas and the grid it
// was drawn at; each frame's finest complete grid (0: none yet) and, once
// whole, its digest; milliseconds from the press to the first change of
// frame (moving), the first loop of all 36 (looped) and the first loop
// whole (whole).
const play = {active: false, playing: false, start: '', views: [], shown: -1, shownGrid: 0,
              grids: [], digests: [], times: {}};
state.play = play;

// The turn in hand: its views, each frame's pixels (ImageData) and grid.
let turn = null;
let timer = null, computing = false, pressed = 0, loopWhole = false;

// The button says what a press does.
function ShowButton() {
  Elements().play.textContent = play.playing ? 'Pause' : 'Play';
}

function Status(text) {
  const {status} = Elements();
  status.className = '';
  status.textContent = text;
}

// A piece of a frame's grid into its pixels: each computed pixel drawn as
// the block of the grid's size below and to its right, opaque.
function Fill(image, {x, first, step}, colours, grid) {
  const pixels = new Uint32Array(image.data.buffer);
  const width = Math.min(grid, kWidth - x);
  for (let y = first; y < kHeight; y += step) {
    const colour = colours[y] | 0xFF000000;
    for (let row = y; row < Math.min(y + grid, kHeight); ++row) {
      pixels.fill(colour, row * kWidth + x, row * kWidth + x + width);
    }
  }
}

// Frame k onto the canvas, and the account of loops.
function Show(k) {
  const {canvas} = Elements();
  canvas.getContext('2d').putImageData(turn.images[k], 0, 0);
  const now = Math.round(performance.now() - pressed);
  if (play.shown >= 0 && play.shown !== k && !play.times.moving) play.times.moving = now;
  if (k === 0 && play.shown === kFrames - 1) {
    if (!play.times.looped) play.times.looped = now;
    if (loopWhole && !play.times.whole) play.times.whole = now;
  }
  if (k === 0) loopWhole = true;
  loopWhole = loopWhole && turn.grids[k] === 1;
  play.shown = k;
  play.shownGrid = turn.grids[k];
}

function Tick() {
  const next = (play.shown + 1) % kFrames;
  if (turn.grids[next] !== 0) Show(next);
}

// Computes what the turn lacks, coarse to fine, until it is whole or
// another job takes the workers.
async function Compute(t) {
  computing = true;
  try {
    for (const grid of [4, 2, 1]) {
      for (let k = 0; k < kFrames; ++k) {
        if (t.grids[k] !== 0 && t.grids[k] <= grid) continue;
        const job = {view: t.views[k], mode: 'play'};
        Switch(job);
        const image = t.images[k];
        let done;
        try {
          done = await Computed(job, GridPieces(grid),
                                (piece, colours) => Fill(image, piece, colours, grid));
        } catch (error) {
          return Failed(job, error);
        }
        if (!done || turn !== t) return;
        t.grids[k] = play.grids[k] = grid;
        if (grid === 1) play.digests[k] = (await PixelsDigest(image.data)).digest;
        if (play.playing) {
          Status(`Playing the turn: frame ${k + 1} of ${kFrames} ` +
                 (grid === 1 ? 'exact' : `on the ${grid}-pixel grid`));
        }
      }
    }
    if (play.playing && turn === t) Status('Playing the turn: every frame exact.');
  } finally {
    computing = false;
  }
}

// Plays the turn of the view shown, or goes on with it from the frame
// shown where the turn is this view's already.
function Start() {
  const {save, saveTurn} = Elements();
  if (!turn || !SameView(turn.start, live.viewText)) {
    turn = null;  // its 110 MB go before the next turn's come
    const views = Array.from({length: kFrames}, (_, k) => TurnViewText(live.viewText, k, kFrames));
    turn = {start: live.viewText, views, grids: new Int8Array(kFrames),
            images: views.map(() => new ImageData(kWidth, kHeight))};
    Object.assign(play, {start: live.viewText, views, shown: -1, shownGrid: 0,
                         grids: Array(kFrames).fill(0), digests: Array(kFrames).fill(''),
                         times: {}});
    pressed = performance.now();
    loopWhole = false;
  }
  Object.assign(play, {active: true, playing: true});
  state.view = live.viewText;
  state.done = false;
  save.disabled = true;
  saveTurn.disabled = state.turn.running;
  ShowButton();
  Status('Playing the turn: computing its frames, coarse to fine…');
  clearInterval(timer);
  timer = setInterval(Tick, kFrameMs);
  GoOnPlaying();
}

function Pause() {
  clearInterval(timer);
  timer = null;
  play.playing = false;
  ShowButton();
  Status(`Paused at frame ${play.shown + 1} of ${kFrames}; a drag or a key turns from it.`);
}

// The "Play" button: plays, pauses, plays again.
export function PlayPressed() {
  if (!live.reader) return;
  if (play.playing) Pause();
  else Start();
}

// Computing goes on where the turn is in hand and lacks frames, and
// nothing else has the workers ("Save turn" may have taken them).
export function GoOnPlaying() {
  if (!play.active || computing || state.turn.running || turn.grids.every((g) => g === 1)) return;
  Compute(turn);
}

// Ends the turn on the canvas, where there is one: the view of the frame
// shown, which a drag or a key turns from, or the start's where none was
// shown; null where the page was not in a turn. Its frames are kept.
export function StopPlay() {
  if (!play.active) return null;
  clearInterval(timer);
  timer = null;
  Object.assign(play, {active: false, playing: false});
  ShowButton();
  return play.shown >= 0 ? turn.views[play.shown] : turn.start;
}

// A whole frame of the turn in hand with this view's text, for "Save
// turn": {colours in frame-store order, digest}, or null.
export async function PlayedFrame(view) {
  const k = turn ? turn.views.indexOf(view) : -1;
  if (k < 0 || turn.grids[k] !== 1) return null;
  return PixelsDigest(turn.images[k].data);
}

// A frame "Save turn" computed, taken where the turn in hand has its view.
export function OfferFrame(view, colours, digest) {
  const k = turn ? turn.views.indexOf(view) : -1;
  if (k < 0 || turn.grids[k] === 1) return;
  const pixels = new Uint32Array(turn.images[k].data.buffer);
  for (let x = 0; x < kWidth; ++x) {
    for (let y = 0; y < kHeight; ++y) {
      pixels[y * kWidth + x] = colours[x * kHeight + y] | 0xFF000000;
    }
  }
  turn.grids[k] = play.grids[k] = 1;
  play.digests[k] = digest;
}
