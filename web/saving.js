// Saving: "Save as PNG", the canvas as the browser encodes it with the
// text chunks orbelune-render writes; "Save turn" is turn.js.
import {WithText} from './png_text.js';
import {Elements, state} from './shared.js';
import {ReadView} from './view.js';

// Hands the browser a file to save under the name: a PNG, a turn.
export function Download(blob, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  link.click();
  URL.revokeObjectURL(link.href);
}

// "Save as PNG": the canvas with its tEXt chunks, as a download. Another
// view's file is named by the shortest text of each of its floats, never
// by the view's text as given, which may be longer than a file's name may
// be (a browser cancels such a download, and tells the page nothing).
// What the page can see fail, it says.
export function Save(canvas, comment) {
  const name = state.imageView ? 'orbelune.png'
                               : `orbelune-view-${ReadView(state.view).shortest}.png`;
  const failed = (why) => {
    const {status} = Elements();
    status.textContent = `Not saved: ${why}`;
    status.className = 'bad';
  };
  try {
    canvas.toBlob(async (blob) => {
      try {
        if (!blob) throw new Error('the browser could not make the PNG');
        const bytes = new Uint8Array(await blob.arrayBuffer());
        Download(WithText(bytes, [['Software', 'Orbelune web page'], ['Comment', comment]]), name);
      } catch (error) {
        failed(error.message);
      }
    }, 'image/png');
  } catch (error) {
    failed(error.message);
  }
}
