// Text chunks for a PNG the browser encoded: "Save as PNG" gives the
// file its Software and Comment, as orbelune-render writes them, where the
// browser's encoder writes no text at all.

// CRC-32 of PNG chunks (ISO 3309), bytes from a table of the 256 values.
const kCrcTable = Array.from({length: 256}, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

// A PNG with tEXt chunks (keyword, Latin-1 text) put right after its
// header, where the browser's encoder leaves none.
export function WithText(png, entries) {
  const chunks = entries.map(([keyword, text]) => {
    const data = Uint8Array.from(keyword + '\0' + text, (ch) => ch.charCodeAt(0) & 0xFF);
    const chunk = new Uint8Array(12 + data.length);
    const view = new DataView(chunk.buffer);
    view.setUint32(0, data.length);
    chunk.set([116, 69, 88, 116], 4);  // "tEXt"
    chunk.set(data, 8);
    let crc = 0xFFFFFFFF;
    for (let i = 4; i < 8 + data.length; ++i) crc = kCrcTable[(crc ^ chunk[i]) & 0xFF] ^ (crc >>> 8);
    view.setUint32(8 + data.length, (crc ^ 0xFFFFFFFF) >>> 0);
    return chunk;
  });
  const header = 8 + 25;  // the signature, then IHDR: length, type, 13 bytes, CRC
  return new Blob([png.subarray(0, header), ...chunks, png.subarray(header)], {type: 'image/png'});
}
