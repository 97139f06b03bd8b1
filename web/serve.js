// Serves a folder of static files on localhost with the headers that make
// a page cross-origin isolated (COOP, COEP), or without them (--plain).
//   node serve.js FOLDER [--port N] [--plain]
// Prints the URL; Ctrl+C stops it.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');

const kTypes = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
                '.wasm': 'application/wasm', '.png': 'image/png', '.ico': 'image/x-icon'};

// A server for the folder; resolves once it listens, with its URL.
function Serve(folder, {port = 0, isolated = true} = {}) {
  const root = path.resolve(folder);
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = path.join(root, name.endsWith('/') ? name + 'index.html' : name);
    const headers = {'Cache-Control': 'no-store'};
    if (isolated) {
      headers['Cross-Origin-Opener-Policy'] = 'same-origin';
      headers['Cross-Origin-Embedder-Policy'] = 'require-corp';
    }
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404, headers);
      response.end('not found');
      return;
    }
    headers['Content-Type'] = kTypes[path.extname(file)] || 'application/octet-stream';
    response.writeHead(200, headers);
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(port, '127.0.0.1', () => {
    resolve({server, url: `http://localhost:${server.address().port}/`});
  }));
}

module.exports = {Serve};

if (require.main === module) {
  const args = process.argv.slice(2);
  const at = args.indexOf('--port');
  const port = at >= 0 ? Number(args[at + 1]) : 8000;
  Serve(args[0], {port, isolated: !args.includes('--plain')}).then(({url}) => {
    console.log(`Orbelune is at ${url} (Ctrl+C to stop)`);
  });
}
