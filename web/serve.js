// Serves a folder of static files on localhost with the headers that make
// a page cross-origin isolated (COOP, COEP), or without them (--plain).
//   node serve.js FOLDER [--port N] [--plain]
// Prints the URL; Ctrl+C stops it. Only GET and HEAD, and only files that
// resolve inside the folder: a link leading out of it is refused.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const stream = require('stream');
const {ParseServeArgs} = require('./serve_args.js');

const kTypes = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
                '.wasm': 'application/wasm', '.png': 'image/png', '.ico': 'image/x-icon',
                '.css': 'text/css; charset=utf-8', '.json': 'application/json',
                '.txt': 'text/plain; charset=utf-8', '.svg': 'image/svg+xml'};

// The request's path, decoded, or null where it cannot be (a malformed
// escape, a NUL, a target that is not a path).
function RequestPath(url) {
  if (!url.startsWith('/')) return null;
  let name;
  try {
    name = decodeURIComponent(url.split(/[?#]/, 1)[0]);
  } catch {
    return null;
  }
  return name.includes('\0') ? null : name;
}

function Inside(root, file) {
  return file === root || file.startsWith(root.endsWith(path.sep) ? root : root + path.sep);
}

function StatusOf(error) {
  if (['ENOENT', 'ENOTDIR', 'ELOOP', 'ENAMETOOLONG', 'EISDIR'].includes(error.code)) return 404;
  if (['EACCES', 'EPERM'].includes(error.code)) return 403;
  return 500;
}

const kReasons = {400: 'bad request', 403: 'forbidden', 404: 'not found',
                  405: 'only GET and HEAD', 500: 'cannot read it'};

async function Answer(root, isolated, request, response) {
  const headers = {'Cache-Control': 'no-store'};
  if (isolated) {
    headers['Cross-Origin-Opener-Policy'] = 'same-origin';
    headers['Cross-Origin-Embedder-Policy'] = 'require-corp';
  }
  const head = request.method === 'HEAD';
  const fail = (status) => {
    const text = kReasons[status] + '\n';
    response.writeHead(status, {...headers, 'Content-Type': 'text/plain; charset=utf-8',
                                'Content-Length': Buffer.byteLength(text)});
    response.end(head ? undefined : text);
  };
  if (request.method !== 'GET' && !head) {
    headers['Allow'] = 'GET, HEAD';
    return fail(405);
  }
  const name = RequestPath(request.url);
  if (name === null) return fail(400);
  const wanted = path.join(root, name.endsWith('/') ? name + 'index.html' : name);
  if (!Inside(root, wanted)) return fail(403);

  // The file's real path must be inside the folder too; opened without
  // following a link, so one swapped in since cannot lead out of it. Only
  // a regular file is opened: opening a FIFO waits for a writer, and would
  // hold one of node's few file threads until then, and with them all
  // taken nothing more is served. What is swapped in after that look
  // cannot block the open either (O_NONBLOCK), and is looked at again.
  let handle;
  try {
    const real = await fs.promises.realpath(wanted);
    if (!Inside(root, real)) return fail(403);
    if (!(await fs.promises.stat(real)).isFile()) return fail(404);
    handle = await fs.promises.open(
        real, fs.constants.O_RDONLY | fs.constants.O_NOFOLLOW | fs.constants.O_NONBLOCK);
  } catch (error) {
    return fail(StatusOf(error));
  }
  // From here on the open file is what is served, whatever happens to its
  // name; a read error mid-way can only cut the answer short.
  let size;
  try {
    const stat = await handle.stat();
    if (!stat.isFile()) {
      await handle.close();
      return fail(404);
    }
    size = stat.size;
  } catch (error) {
    await handle.close().catch(() => {});
    return fail(StatusOf(error));
  }
  headers['Content-Type'] = kTypes[path.extname(wanted)] || 'application/octet-stream';
  headers['Content-Length'] = size;
  response.writeHead(200, headers);
  if (head) {
    await handle.close();
    response.end();
    return;
  }
  stream.pipeline(handle.createReadStream(), response, () => {});
}

// A server for the folder; resolves once it listens, with its URL; rejects
// where the folder is not one or the port cannot be listened on.
async function Serve(folder, {port = 0, isolated = true} = {}) {
  let root;
  try {
    root = await fs.promises.realpath(folder);
  } catch (error) {
    throw new Error(`no folder ${folder} (${error.code})`);
  }
  if (!(await fs.promises.stat(root)).isDirectory()) throw new Error(`${folder} is not a folder`);
  const server = http.createServer((request, response) => {
    Answer(root, isolated, request, response).catch(() => {
      if (!response.headersSent) response.writeHead(500);
      response.destroy();
    });
  });
  return new Promise((resolve, reject) => {
    server.once('error', (error) => {
      reject(new Error(error.code === 'EADDRINUSE' ? `port ${port} is in use`
                       : error.code === 'EACCES' ? `no permission to listen on port ${port}`
                       : `cannot listen on port ${port}: ${error.message}`));
    });
    server.listen(port, '127.0.0.1', () => {
      resolve({server, url: `http://localhost:${server.address().port}/`});
    });
  });
}

module.exports = {Serve};

if (require.main === module) {
  const Exit = (error) => {
    console.error(`serve.js: ${error.message}`);
    process.exit(2);
  };
  try {
    const {folder, port, isolated} = ParseServeArgs(process.argv.slice(2));
    Serve(folder, {port, isolated}).then(({url}) => {
      console.log(`Orbelune is at ${url} (Ctrl+C to stop)`);
    }, Exit);
  } catch (error) {
    Exit(error);
  }
}
