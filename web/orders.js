// The two orders in which the page computes and draws an exact image, each
// over the frame it fills (colours in frame-store order, x * 769 + y):
//   Sharpening: coarse to fine. First every 4th row of every 4th column
//     (the preview's pixels), then every 2nd row of every 2nd column, then
//     the rest; each pixel computed once. A pixel not yet computed shows
//     the nearest computed one above and to its left on the finer grid
//     that has one, as a block, so the whole canvas shows the view after a
//     sixteenth of the work, and every pixel shown is exact once computed.
//   Sweep (?order=columns): column by column, each drawn once it and every
//     column to its left are complete, as in the window program.
// Each gives the pieces to hand the workers ({x, first, step}: rows first,
// first + step, ... of column x), takes each piece as it comes, and draws
// what changed since the last draw.

// The rows a piece holds: rows first, first + step, ... of its column (a
// preview's column, without a first, from row 0).
export function PieceRows({first, step}) {
  return Math.floor((769 - 1 - (first || 0)) / step) + 1;
}

// The pieces of one grid, coarse to fine: 4, every 4th row of every 4th
// column; 2, the rest of every 2nd row of every 2nd column; 1, the rest.
// Each pixel of a piece stands for the block of its grid's size below and
// to its right until a finer grid has it.
export function GridPieces(grid) {
  const pieces = [];
  for (let x = 0; x < 1025; x += grid) {
    if (grid === 4) pieces.push({x, first: 0, step: 4});
    else if (x % (2 * grid) === 0) pieces.push({x, first: grid, step: 2 * grid});
    else pieces.push({x, first: 0, step: grid});
  }
  return pieces;
}

function SharpeningPieces(coarsestIn) {
  return [...(coarsestIn ? [] : GridPieces(4)), ...GridPieces(2), ...GridPieces(1)];
}

// coarsest: where the preview of this very view is complete, its colours
// (the same layout; exact at every 4th row of every 4th column), which the
// canvas shows already: those pixels are not computed again.
export function Sharpening(context, frame, coarsest) {
  const width = 1025, height = 769;
  const computed = new Uint8Array(width * height);
  let count = 0, coarseColumns = 0;
  let lo = width, hi = 0;  // the columns to draw again
  const add = ({x, first, step}) => {
    for (let y = first; y < height; y += step) computed[x * height + y] = 1;
    count += PieceRows({first, step});
    if (first === 0 && step === 4) ++coarseColumns;
    lo = Math.min(lo, x), hi = Math.max(hi, Math.min(width, x + 4));
  };
  if (coarsest) {
    for (let x = 0; x < width; x += 4) {
      for (let y = 0; y < height; y += 4) frame[x * height + y] = coarsest[x * height + y];
      add({x, first: 0, step: 4});
    }
    lo = width, hi = 0;  // shown already
  }
  return {
    pieces: SharpeningPieces(Boolean(coarsest)),
    take(piece, colours) {
      const at = piece.x * height;
      for (let y = piece.first; y < height; y += piece.step) frame[at + y] = colours[y];
      add(piece);
    },
    // Whether the canvas shows the whole view, blocks or exact.
    whole: () => coarseColumns === (width + 3) >> 2,
    done: () => count === width * height,
    progress: () => count / (width * height),
    // What is drawn, for the tests: 1 for each pixel computed at the last draw.
    shown: new Uint8Array(width * height),
    draw() {
      if (lo >= hi) return;
      const span = hi - lo;
      const piece = new ImageData(span, height);
      const pixels = new Uint32Array(piece.data.buffer);
      for (let x = lo; x < hi; ++x) {
        const column = x * height, half = (x & ~1) * height, quarter = (x & ~3) * height;
        for (let y = 0, i = x - lo; y < height; ++y, i += span) {
          let from = column + y;
          if (!computed[from]) from = computed[half + (y & ~1)] ? half + (y & ~1) : quarter + (y & ~3);
          // COLORREF 0x00BBGGRR to RGBA bytes, opaque: little-endian
          // 0xFFBBGGRR; transparent where nothing of the view is in yet.
          pixels[i] = computed[from] ? frame[from] | 0xFF000000 : 0;
        }
      }
      context.putImageData(piece, lo, 0);
      this.shown.set(computed.subarray(lo * height, hi * height), lo * height);
      lo = width, hi = 0;
    },
  };
}

// drawnOrder: the columns in the order drawn, for the tests.
export function Sweep(context, frame, drawnOrder) {
  const width = 1025, height = 769;
  const complete = new Uint8Array(width);
  let drawn = 0, count = 0;
  return {
    pieces: Array.from({length: width}, (_, x) => ({x, first: 0, step: 1})),
    take(piece, colours) {
      frame.set(colours, piece.x * height);
      complete[piece.x] = 1;
      ++count;
    },
    whole: () => drawn === width,
    done: () => count === width,
    progress: () => drawn / width,
    // Every column complete by now that has all those to its left, in one
    // piece.
    draw() {
      let end = drawn;
      while (end < width && complete[end]) ++end;
      if (end === drawn) return;
      const span = end - drawn;
      const piece = new ImageData(span, height);
      const pixels = new Uint32Array(piece.data.buffer);
      for (let x = drawn; x < end; ++x) {
        for (let y = 0, i = x - drawn; y < height; ++y, i += span) {
          pixels[i] = frame[x * height + y] | 0xFF000000;
        }
        drawnOrder.push(x);
      }
      context.putImageData(piece, drawn, 0);
      drawn = end;
    },
  };
}
