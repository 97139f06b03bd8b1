// The controls: a drag on the canvas (mouse, pen or one finger) turns B
// across it and A down it, by pi over the shown size; Shift+drag and a
// two-finger twist turn C. The arrow keys on the focused canvas turn B
// (left, right) and A (up, down) by pi/90, Shift+left/right turns C, Home
// brings the image's view back, F fills the screen. While the view turns
// a coarse preview follows at once; the exact image builds up once the
// pointers are lifted and the keys let go. The fields, the address and the
// buttons name a view outright.
import {Exact, Preview, Turn} from './jobs.js';
import {PlayPressed, StopPlay} from './play.js';
import {Elements, Excerpt, kHeight, kImageView, kWidth, live, state} from './shared.js';
import {AngleText, HashView, RefuseView, ShowView, StartAngles, ViewProblem} from './view.js';

const kKeyStep = Math.PI / 90;
let keysTurned = false;  // since the keys were last all let go

// The size the image is shown at within the canvas's box: the box itself
// (whose shape the layout keeps to within its rounding), or in full screen
// the largest of the image's shape that fits it.
function ShownSize(canvas) {
  const box = canvas.getBoundingClientRect();
  if (document.fullscreenElement !== canvas) return box;
  const scale = Math.min(box.width / kWidth, box.height / kHeight);
  return {width: kWidth * scale, height: kHeight * scale};
}

// Shows a view a person turned to, with a preview: one at a time, a new one
// starting as the last completes, so that a fast turn still shows whole
// pictures.
function TurnedTo(view) {
  if (view === live.viewText) return;
  RefuseView('');
  ShowView(view);
  const {current} = live;
  if (!current || current.mode !== 'preview' || current.finished) Preview(view);
}

// The exact image once a person has stopped turning: over the preview of
// its own view, once that is complete (a key's press and release would
// otherwise blank the canvas for a moment), or over nothing, so that no
// column of another view stays.
function Settled() {
  const {current} = live;
  if (current && current.mode === 'preview' && !current.finished &&
      current.view === live.viewText) {
    current.settled = true;
    return;
  }
  Exact(live.viewText, {clear: state.previewed !== live.viewText});
}

// The view from (angles, texts) with angle i turned by delta: the angles
// not turned keep their text, and so their float.
function Turned({angles, texts}, i, delta) {
  return texts.map((text, j) => (j === i ? AngleText(angles[j] + delta) : text)).join(',');
}

// Where a turn goes from: the view shown's floats and texts. A turn begun
// while the page is in a turn goes from the frame shown (played).
function Base() {
  const frame = StopPlay();
  if (frame !== null) ShowView(frame);
  return {texts: live.viewText.split(','), angles: StartAngles(live.viewText),
          played: frame !== null};
}

function Pointers(canvas) {
  const down = new Map();  // pointer id: its last {x, y}
  // Starts the turn again from the view shown and the pointers where they
  // are: at a press, a lift of one of two, and Shift pressed or let go.
  const From = (shift) => {
    const base = Base();
    base.played = base.played || live.dragging.played;
    Object.assign(live.dragging, {shift, from: new Map(down)}, base);
    const [one, two] = [...down.values()];
    if (two) live.dragging.twist = Math.atan2(two.y - one.y, two.x - one.x);
  };
  canvas.addEventListener('pointerdown', (event) => {
    if (event.button !== 0 || !live.reader || down.size >= 2) return;
    canvas.setPointerCapture(event.pointerId);
    down.set(event.pointerId, {x: event.clientX, y: event.clientY});
    if (!live.dragging) live.dragging = {moved: false};
    From(event.shiftKey);
    event.preventDefault();
  });
  canvas.addEventListener('pointermove', (event) => {
    const dragging = live.dragging;
    if (!dragging || !down.has(event.pointerId)) return;
    if (event.shiftKey !== dragging.shift) From(event.shiftKey);
    down.set(event.pointerId, {x: event.clientX, y: event.clientY});
    let view;
    if (down.size === 2) {
      const [one, two] = [...down.values()];
      const twist = Math.atan2(two.y - one.y, two.x - one.x) - dragging.twist;
      if (twist === 0) return;
      view = Turned(dragging, 2, Math.atan2(Math.sin(twist), Math.cos(twist)));
    } else {
      const start = dragging.from.get(event.pointerId);
      const shown = ShownSize(canvas);
      const across = (event.clientX - start.x) / shown.width * Math.PI;
      const downward = (event.clientY - start.y) / shown.height * Math.PI;
      if (across === 0 && downward === 0) return;
      view = event.shiftKey ? Turned(dragging, 2, across)
                            : Turned({angles: dragging.angles,
                                      texts: Turned(dragging, 0, downward).split(',')}, 1, across);
    }
    dragging.moved = true;
    TurnedTo(view);
  });
  // A pointer lifted, cancelled or lost ends its part of the turn; the last
  // one ends the turn.
  const release = (event) => {
    if (!down.delete(event.pointerId) || !live.dragging) return;
    if (down.size > 0) return From(live.dragging.shift);
    const {moved, played} = live.dragging;
    live.dragging = null;
    // A press on a turn that plays ends on the exact frame it stopped at.
    if (moved || played) Settled();
  };
  for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) {
    canvas.addEventListener(type, release);
  }
}

// Full screen for the canvas, or back; said where the browser refuses it or
// has none for an element (Safari on a phone).
function FullScreen(canvas) {
  if (document.fullscreenElement) return document.exitFullscreen();
  const ask = canvas.requestFullscreen || canvas.webkitRequestFullscreen;
  if (!ask) return RefuseView('This browser gives the image no full screen.');
  return Promise.resolve(ask.call(canvas)).catch((error) => {
    RefuseView(`Full screen refused by the browser: ${error.message}`);
  });
}

function Keys(canvas) {
  const steps = {ArrowLeft: [1, -1], ArrowRight: [1, 1], ArrowUp: [0, -1], ArrowDown: [0, 1]};
  canvas.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    if (event.key === 'f' || event.key === 'F') {
      if (!event.repeat) FullScreen(canvas);
    } else if (event.key === 'Home') {
      if (live.reader && !live.dragging) {
        RefuseView('');
        Turn(kImageView);
      }
    } else if (event.key in steps) {
      if (!live.reader || live.dragging) return event.preventDefault();
      let [angle, sign] = steps[event.key];
      if (event.shiftKey && angle === 1) angle = 2;
      live.keysHeld.add(event.key);
      keysTurned = true;
      TurnedTo(Turned(Base(), angle, sign * kKeyStep));
    } else {
      return;
    }
    event.preventDefault();
  });
  const letGo = (key) => {
    if (!live.keysHeld.delete(key) || live.keysHeld.size > 0 || !keysTurned) return;
    keysTurned = false;
    Settled();
  };
  canvas.addEventListener('keyup', (event) => letGo(event.key));
  canvas.addEventListener('blur', () => {
    for (const key of [...live.keysHeld]) letGo(key);
  });
}

// The controls, from the start; what reads a view waits for the module's
// reader (reading), and reads nothing where it could not be had (the
// page has failed). A turn starts only once there is a reader.
export function Controls(reading) {
  const read = (handler) => (event) => reading.then(() => handler(event), () => {});
  const {canvas, play} = Elements();
  Pointers(canvas);
  Keys(canvas);
  const fields = ['angleA', 'angleB', 'angleC'].map((id) => document.getElementById(id));
  for (const field of fields) {
    field.addEventListener('change', read(() => {
      const view = fields.map((f) => f.value.trim()).join(',');
      const problem = ViewProblem(view);
      if (problem === '') {
        RefuseView('');
        return Turn(view);
      }
      RefuseView(`${Excerpt(view)} refused: ${problem} (radians).`);
      ShowView(live.viewText);
    }));
  }
  document.getElementById('imageView').addEventListener('click', () => {
    RefuseView('');
    Turn(kImageView);
  });
  document.getElementById('fullScreen').addEventListener('click', () => FullScreen(canvas));
  play.addEventListener('click', read(() => PlayPressed()));
  reading.then(() => {
    play.disabled = false;
  }, () => {});
  window.addEventListener('hashchange', read(() => {
    const view = HashView();
    if (view !== null) RefuseView('');
    Turn(view === null ? kImageView : view);
  }));
}
