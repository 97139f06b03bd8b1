// View texts and the address: the view is in the address, #view=A,B,C
// (radians; the image's view when absent), read by the module as
// orbelune-render --view reads it; the fields show it, and the notes say
// what was refused.
import {Excerpt, kImageView, live, state} from './shared.js';

// The view a text is: {why: ''} with its three floats (angles) and the
// shortest text of each (shortest), or {why} saying what is wrong. The
// text goes in as its bytes: any length, whatever it holds.
export function ReadView(text) {
  const {reader} = live;
  const bytes = new TextEncoder().encode(text);
  const at = reader.room(bytes.length);
  reader.instance.HEAPU8.set(bytes, at);  // after room(), which may grow the memory
  const why = reader.read();
  if (why !== '') return {why};
  const first = reader.angles() / 4;
  const angles = Array.from(reader.instance.HEAPF32.subarray(first, first + 3));
  return {why: '', angles, shortest: reader.text()};
}

// What is wrong with a view's text, or '' for a view.
export function ViewProblem(text) {
  return ReadView(text).why;
}

// Whether two texts are one view: the same three floats, whatever their
// texts (-0.50 is -0.5).
export function SameView(one, other) {
  if (one === other) return true;
  const [a, b] = [ReadView(one), ReadView(other)];
  return a.why === '' && b.why === '' && a.shortest === b.shortest;
}

// Frame k of the turn of `frames` from a view, as the command's
// orbelune-render --turn gives it: the module's text of its floats.
export function TurnViewText(view, k, frames) {
  ReadView(view);
  return live.reader.turnView(k, frames);
}

// An angle in (-pi, pi] with the same sine and cosine. A large one is
// first brought near through its own sine and cosine (the browser's reduce
// any angle in one step): stepping by 2 pi would take as many steps as it
// has turns, forever at 1e30, and pile up a rounding at each.
export function Wrap(angle) {
  if (Math.abs(angle) > 8 * Math.PI) angle = Math.atan2(Math.sin(angle), Math.cos(angle));
  while (angle > Math.PI) angle -= 2 * Math.PI;
  while (angle <= -Math.PI) angle += 2 * Math.PI;
  return angle;
}

// The angles of a view where a drag starts from it: the floats the module
// reads (a huge angle's turns are those of its float, not of the nearest
// double), each wrapped into (-pi, pi].
export function StartAngles(view) {
  return ReadView(view).angles.map((angle) => angle > Math.PI || angle <= -Math.PI ? Wrap(angle)
                                                                                  : angle);
}

// An angle wrapped into (-pi, pi], with 9 significant digits: enough for
// strtof to read back the float nearest it, whichever float that is.
export function AngleText(angle) {
  const text = String(Number(Wrap(angle).toPrecision(9)));
  return text === '-0' ? '0' : text;
}

// Shows the view in the fields and the address; replaceState, so that
// the page hears no hashchange of its own and a drag leaves no history.
export function ShowView(view) {
  live.viewText = view;
  const parts = view.split(',');
  for (const [i, id] of ['angleA', 'angleB', 'angleC'].entries()) {
    const field = document.getElementById(id);
    if (field && field.value !== parts[i]) field.value = parts[i];
  }
  const hash = view === kImageView ? '' : '#view=' + view;
  if (location.hash !== hash) {
    history.replaceState(null, '', location.pathname + location.search + hash);
  }
}

// The notes of what was refused: the query's, which stand, and the last
// view refused, which goes once a view is taken.
export function ShowRefused() {
  const notes = state.viewRefused ? [...state.refused, state.viewRefused] : state.refused;
  const shown = document.getElementById('refused');
  shown.textContent = notes.join(' ');
  shown.hidden = notes.length === 0;
}

export function Refuse(note) {
  state.refused.push(note);
  ShowRefused();
}

export function RefuseView(note) {
  state.viewRefused = note;
  ShowRefused();
}

// The view the address names, or null (refused with a note) for text
// that is no view.
export function HashView() {
  const raw = location.hash.slice(1);
  let hash = raw;
  try {
    hash = decodeURIComponent(raw);
  } catch {
    // A stray % is no view: refused below, as the text it is.
  }
  if (hash === '') return kImageView;
  const match = /^view=(.*)$/.exec(hash);
  const problem = match ? ViewProblem(match[1]) : 'a view is #view=A,B,C, angles in radians';
  if (problem === '') return match[1];
  RefuseView(`#${Excerpt(hash)} refused: ${problem}; the image's view is shown.`);
  return null;
}
