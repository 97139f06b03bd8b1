// "Save turn": a turn of the view about y in 36 frames, as the command's
// orbelune-render --turn 36 writes it: a lossless animated WebP at 25
// frames a second whose metadata names the start view and every frame's
// digest. The page's workers compute each frame exactly as they compute
// the view (the canvas is left as it is), and the turn worker
// (turn_worker.js, the command's writer over libwebp) encodes it while
// they compute the next. Each frame's view is the module's text of the
// turn's view, never one rounded here. A new view cancels the turn, and
// says so. Frames that Play has whole already are taken from it, and
// frames computed here are given to it.
import {Computed, Switch} from './loading.js';
import {GoOnPlaying, OfferFrame, PlayedFrame} from './play.js';
import {Download} from './saving.js';
import {Hex, kHeight, kWidth, live, state} from './shared.js';
import {ReadView} from './view.js';

const kTurnFrames = 36;
// Frames handed to the encoder that it has not yet taken: a frame is 3 MB.
const kTurnQueued = 2;

// What the tests and figures read; computing and encoding are the
// milliseconds spent waiting for frames and in the encoder.
// reused counts the frames taken from Play.
const turnState = {running: false, frame: 0, frames: kTurnFrames, encoded: 0, reused: 0,
                   saved: '', bytes: 0, failed: '', cancelled: false, seconds: 0, computing: 0,
                   encoding: 0};
state.turn = turnState;

function TurnShown(text, className = '') {
  const shown = document.getElementById('turnStatus');
  shown.textContent = text;
  shown.className = className;
}

// The encoder, answering each message in order: ask(message) gives the
// promise of its answer, or of its failure, which fails every one after.
function TurnEncoder() {
  const worker = new Worker('turn_worker.js');
  const waiting = [];
  let failure = null;
  const fail = (why) => {
    failure = failure || new Error(why);
    for (const {reject} of waiting.splice(0)) reject(failure);
    worker.terminate();
  };
  worker.onmessage = (event) => {
    const message = event.data;
    if (message.type === 'failed') return fail(message.why);
    waiting.shift().resolve(message);
  };
  worker.onerror = (event) => {
    event.preventDefault();
    fail(event.message || 'the turn\'s worker could not be started (turn_worker.js)');
  };
  worker.onmessageerror = () => fail('the turn worker\'s message could not be read');
  return {
    ask(message, transfer = []) {
      if (failure) return Promise.reject(failure);
      return new Promise((resolve, reject) => {
        waiting.push({resolve, reject});
        worker.postMessage(message, transfer);
      });
    },
    end: () => worker.terminate(),
  };
}

// One frame of the turn, computed by the page's workers as a job of its
// own (job.view the frame's view): the frame's colours, in frame-store
// order, or null where a new view cancelled it.
async function TurnFrame(job) {
  Switch(job);
  const colours = new Uint32Array(kWidth * kHeight);
  const pieces = Array.from({length: kWidth}, (_, x) => ({x, first: 0, step: 1}));
  const done = await Computed(job, pieces, ({x}, column) => colours.set(column, x * kHeight));
  return done ? colours : null;
}

// Saves the turn from the view shown: its 36 frames computed, encoded and
// handed to the browser as orbelune-turn-A,B,C.webp (each angle the
// shortest text of its float), orbelune-turn.webp for the image's view.
export async function SaveTurn() {
  const button = document.getElementById('saveTurn');
  Object.assign(turnState, {running: true, frame: 0, encoded: 0, reused: 0, saved: '', bytes: 0,
                            failed: '',
                            cancelled: false, seconds: 0, computing: 0, encoding: 0});
  button.disabled = true;
  TurnShown('Turn: starting…');
  const began = performance.now();
  const encoder = TurnEncoder();
  const added = [];
  // The job that last had the workers: the view's, then each frame's. Any
  // other means a new view, which the turn must not take the workers from.
  let owner = live.current;
  const cancelled = (k) => {
    turnState.cancelled = true;
    return new Error(`the view changed at frame ${k + 1} of ${kTurnFrames}; the turn was ` +
                     'cancelled');
  };
  try {
    // The start view's floats, each as its shortest text: the name and the
    // turn module's start alike.
    if (!live.reader) throw new Error('the module\'s reader of views is not at hand');
    const start = ReadView(state.view).shortest;
    const name = state.imageView ? 'orbelune-turn.webp' : `orbelune-turn-${start}.webp`;
    const {views} = await encoder.ask({type: 'begin', view: start, frames: kTurnFrames});
    for (let k = 0; k < kTurnFrames; ++k) {
      turnState.frame = k + 1;
      TurnShown(`Turn: frame ${k + 1} of ${kTurnFrames}, ${turnState.encoded} encoded`);
      if (live.current !== owner) throw cancelled(k);
      let {colours, digest} = await PlayedFrame(views[k]) || {};
      if (!colours) {
        owner = {view: views[k], mode: 'turn'};
        const asked = performance.now();
        colours = await TurnFrame(owner);
        turnState.computing += performance.now() - asked;
        if (colours === null) throw cancelled(k);
        digest = Hex(await crypto.subtle.digest('SHA-256', colours.buffer));
        OfferFrame(views[k], colours, digest);
      } else {
        ++turnState.reused;
      }
      if (k >= kTurnQueued) await added[k - kTurnQueued];
      const encoded = encoder.ask({type: 'frame', colours, digest}, [colours.buffer]).then(
          ({took}) => {
            ++turnState.encoded;
            turnState.encoding += took;
          });
      // Heard when awaited, below; until then it is no unhandled rejection.
      encoded.catch(() => {});
      added.push(encoded);
    }
    TurnShown(`Turn: encoding the last frames, ${turnState.encoded} of ${kTurnFrames} encoded`);
    await Promise.all(added);
    // Every frame is computed: a new view now takes nothing from the turn.
    const {bytes} = await encoder.ask({type: 'finish'});
    Download(new Blob([bytes], {type: 'image/webp'}), name);
    const seconds = (performance.now() - began) / 1000;
    Object.assign(turnState, {saved: name, bytes: bytes.length, seconds});
    TurnShown(`Saved ${name}: ${kTurnFrames} frames, ${(bytes.length / 1e6).toFixed(1)} MB, ` +
              `in ${seconds.toFixed(0)} s.`);
  } catch (error) {
    turnState.failed = error.message;
    TurnShown(`Not saved: ${error.message}`, 'bad');
  } finally {
    encoder.end();
    turnState.running = false;
    // Another view's image enables it once complete (Verdict).
    button.disabled = !(state.done && !state.failed) && !state.play.active;
    GoOnPlaying();
  }
}
