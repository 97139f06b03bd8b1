// web/serve.js, the page's server, as a person runs it: a child process on
// a folder of its own. Malformed paths, unreadable files, FIFOs and files
// that vanish get an answer and the server keeps serving; links out of the
// folder are refused; only GET and HEAD; and a bad command line is one
// line and exit code 2, never a stack trace or a server answering 404;
// scripts/web.sh says so of a bad port before it builds.
//   node serve_test.js
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const http = require('http');
const net = require('net');
const os = require('os');
const path = require('path');

const serveJs = path.resolve(__dirname, '../../web/serve.js');
let passed = 0, failed = 0;

function Check(what, ok, detail = '') {
  console.log(`${ok ? 'ok' : 'FAILED'}: ${what}${ok || !detail ? '' : ` (${detail})`}`);
  ok ? ++passed : ++failed;
}

// A server that dies takes the in-process cases with it: count it, go on.
process.on('uncaughtException', (error) => Check('no uncaught exception', false, error.stack));

function Request(port, method, target) {
  return new Promise((resolve) => {
    const request = http.request({host: '127.0.0.1', port, method, path: target}, (response) => {
      const chunks = [];
      response.on('data', (chunk) => chunks.push(chunk));
      response.on('end', () => resolve({status: response.statusCode, headers: response.headers,
                                        body: Buffer.concat(chunks).toString()}));
      response.on('error', (error) => resolve({status: 0, error: error.code}));
    });
    request.on('error', (error) => resolve({status: 0, error: error.code || error.message}));
    request.setTimeout(10000, () => request.destroy(new Error('timeout')));
    request.end(method === 'POST' || method === 'PUT' ? 'x=1' : undefined);
  });
}

function FreePort() {
  return new Promise((resolve) => {
    const server = net.createServer().listen(0, '127.0.0.1', () => {
      const {port} = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Runs serve.js with these arguments until it exits or 10 s pass.
function RunServe(args, options = {}) {
  return new Promise((resolve) => {
    const child = childProcess.spawn(process.execPath, [serveJs, ...args], options);
    let stdout = '', stderr = '';
    child.stdout.on('data', (d) => stdout += d);
    child.stderr.on('data', (d) => stderr += d);
    const timer = setTimeout(() => child.kill(), 10000);
    child.on('exit', (code, signal) => {
      clearTimeout(timer);
      resolve({code, signal, stdout, stderr});
    });
  });
}

// serve.js started on the folder, once it says where it is.
function StartServe(folder, port, extra = [], options = {}) {
  return new Promise((resolve, reject) => {
    const child = childProcess.spawn(process.execPath, [serveJs, folder, '--port', String(port),
                                                        ...extra], options);
    let stdout = '', stderr = '';
    child.stderr.on('data', (d) => stderr += d);
    child.stdout.on('data', (d) => {
      stdout += d;
      if (stdout.includes(`:${port}/`)) resolve(child);
    });
    child.on('exit', (code) => reject(new Error(`serve.js exited with ${code}: ${stderr}`)));
  });
}

// The served folder: a page, a sub-folder, a file it may not read, links
// inside and out, a dangling link, a FIFO, and a file outside beside it.
function MakeSite() {
  const top = fs.mkdtempSync(path.join(os.tmpdir(), 'orbelune-serve-'));
  fs.chmodSync(top, 0o755);
  const site = path.join(top, 'site');
  fs.mkdirSync(path.join(site, 'sub'), {recursive: true});
  fs.mkdirSync(path.join(site, 'closed'), {mode: 0o755});
  fs.writeFileSync(path.join(site, 'index.html'), '<p>index</p>\n');
  fs.writeFileSync(path.join(site, 'page.js'), '// page\n');
  fs.writeFileSync(path.join(site, 'sub', 'index.html'), '<p>sub</p>\n');
  fs.writeFileSync(path.join(site, 'closed', 'inner.txt'), 'inner\n');
  fs.writeFileSync(path.join(site, 'secret.txt'), 'unreadable\n', {mode: 0o000});
  fs.chmodSync(path.join(site, 'secret.txt'), 0o000);
  fs.chmodSync(path.join(site, 'closed'), 0o000);
  fs.writeFileSync(path.join(top, 'outside.txt'), 'outside\n');
  fs.mkdirSync(path.join(top, 'elsewhere'));
  fs.writeFileSync(path.join(top, 'elsewhere', 'file.txt'), 'elsewhere\n');
  fs.symlinkSync('page.js', path.join(site, 'alias.js'));
  fs.symlinkSync('../outside.txt', path.join(site, 'out.txt'));
  fs.symlinkSync(path.join(top, 'outside.txt'), path.join(site, 'out-absolute.txt'));
  fs.symlinkSync('../elsewhere', path.join(site, 'out-folder'));
  fs.symlinkSync('nothing-here', path.join(site, 'dangling.txt'));
  childProcess.execFileSync('mkfifo', [path.join(site, 'fifo.txt')]);
  return {top, site};
}

async function ServerCases(site, port) {
  const get = (target) => Request(port, 'GET', target);
  const index = await get('/');
  Check('GET / answers the index, isolated', index.status === 200 && index.body === '<p>index</p>\n' &&
        index.headers['content-type'] === 'text/html; charset=utf-8' &&
        index.headers['cross-origin-opener-policy'] === 'same-origin' &&
        index.headers['cross-origin-embedder-policy'] === 'require-corp' &&
        index.headers['content-length'] === '13', JSON.stringify(index));

  for (const target of ['/%', '/%zz', '/%E0%A4%A', '/page%', '/%00', '/page.js%00.html']) {
    const answer = await get(target);
    const after = await get('/page.js');
    Check(`GET ${target}: 400, and it serves on`, answer.status === 400 && after.status === 200,
          `${answer.status || answer.error}, then ${after.status || after.error}`);
  }
  const cases = [
    ['/page.js?x=%', 200, 'a query is not part of the path'],
    ['/sub/', 200, 'a sub-folder\'s index'],
    ['/sub', 404, 'a folder is not a file'],
    ['/nothing.js', 404, 'a missing file'],
    ['/dangling.txt', 404, 'a dangling link'],
    ['/alias.js', 200, 'a link inside the folder'],
    ['/out.txt', 403, 'a link out of the folder'],
    ['/out-absolute.txt', 403, 'an absolute link out of the folder'],
    ['/out-folder/file.txt', 403, 'a file under a linked folder outside'],
    ['/../outside.txt', 403, 'a path climbing out'],
    ['/%2e%2e/outside.txt', 403, 'an escaped path climbing out'],
    ['/sub/..%2f..%2foutside.txt', 403, 'escaped slashes climbing out'],
    ['/secret.txt', 403, 'a file it may not read'],
    ['/closed/inner.txt', 403, 'a file in a folder it may not enter'],
  ];
  for (const [target, status, what] of cases) {
    const answer = await get(target);
    const after = await get('/');
    Check(`GET ${target}: ${status}, ${what}; it serves on`,
          answer.status === status && after.status === 200 &&
          !(status >= 400 && /outside|elsewhere/.test(answer.body)),
          `${answer.status || answer.error} ${answer.body || ''}, then ${after.status || after.error}`);
  }

  // A FIFO, opened, would wait for a writer: asked for by more requests at
  // once than node has file threads, each gets 404, and it serves on.
  const many = Number(process.env.UV_THREADPOOL_SIZE || 4) + 4;
  const fifo = await Promise.all(Array.from({length: many}, () => get('/fifo.txt')));
  const afterFifo = await get('/page.js');
  Check(`${many} GETs of a FIFO at once: 404 each, and it serves on`,
        fifo.every((answer) => answer.status === 404) && afterFifo.status === 200,
        `${fifo.map((answer) => answer.status || answer.error).join(' ')}, then ` +
            `${afterFifo.status || afterFifo.error}`);

  const head = await Request(port, 'HEAD', '/page.js');
  Check('HEAD: the headers of GET, no body', head.status === 200 && head.body === '' &&
        head.headers['content-length'] === '8' &&
        head.headers['content-type'] === 'text/javascript; charset=utf-8', JSON.stringify(head));
  const headMissing = await Request(port, 'HEAD', '/nothing.js');
  Check('HEAD of a missing file: 404, no body', headMissing.status === 404 && headMissing.body === '',
        JSON.stringify(headMissing));
  for (const method of ['POST', 'PUT', 'DELETE', 'PATCH', 'OPTIONS']) {
    const answer = await Request(port, method, '/index.html');
    Check(`${method}: 405, Allow: GET, HEAD`, answer.status === 405 &&
          answer.headers['allow'] === 'GET, HEAD' && !answer.body.includes('index'),
          `${answer.status || answer.error} ${answer.headers && answer.headers.allow}`);
  }
  const last = await get('/');
  Check('still serving after all of it', last.status === 200);
}

// Lets a server that opened the FIFO wait no more, where one does: a
// thread of this process stuck in open() would keep it from exiting.
function Unblock(fifo) {
  try {
    fs.closeSync(fs.openSync(fifo, fs.constants.O_WRONLY | fs.constants.O_NONBLOCK));
  } catch {
    // No reader waits (ENXIO), or no FIFO: nothing to let go.
  }
}

// The file changes just before it is opened: the server code between the
// look at it and the opening is raced by changing it inside open itself.
// Removed, it is missing; swapped for a FIFO, the open must not wait for
// a writer, and what was opened is no file to serve.
async function SwappedCases() {
  const {Serve} = require(serveJs);
  const {top, site} = MakeSite();
  const changes = {
    'doomed.js': (file) => fs.rmSync(file, {force: true}),
    'swapped.js': (file) => {
      fs.rmSync(file, {force: true});
      childProcess.execFileSync('mkfifo', [file]);
    },
  };
  const real = {};
  for (const name of Object.keys(changes)) {
    fs.writeFileSync(path.join(site, name), '// soon changed\n');
    real[fs.realpathSync(path.join(site, name))] = changes[name];
  }
  const Changing = (open) => function(file, ...rest) {
    const change = real[String(file)];
    if (change) {
      delete real[String(file)];
      change(String(file));
    }
    return open.call(this, file, ...rest);
  };
  const [openCallback, openPromise] = [fs.open, fs.promises.open];
  fs.open = Changing(openCallback);
  fs.promises.open = Changing(openPromise);
  const {server, url} = await Serve(site, {isolated: true});
  const port = new URL(url).port;
  try {
    for (const [name, what] of [['doomed.js', 'removed'], ['swapped.js', 'swapped for a FIFO']]) {
      const answer = await Request(port, 'GET', '/' + name);
      await new Promise((resolve) => setTimeout(resolve, 200));
      const after = await Request(port, 'GET', '/');
      Check(`a file ${what} just before it is opened: 404, and it serves on`,
            answer.status === 404 && after.status === 200,
            `${answer.status || answer.error}, then ${after.status || after.error}`);
    }
  } finally {
    fs.open = openCallback;
    fs.promises.open = openPromise;
    Unblock(path.join(site, 'swapped.js'));
    server.close();
    fs.rmSync(top, {recursive: true, force: true});
  }
}

async function CommandLineCases(site) {
  // A port another program holds.
  const holder = net.createServer();
  await new Promise((resolve) => holder.listen(0, '127.0.0.1', resolve));
  const held = String(holder.address().port);
  const file = path.join(site, 'index.html');
  const cases = [
    [[site, '--port', held], 'a port in use'],
    [[site, '--port', 'abc'], '--port abc'],
    [[site, '--port', '70000'], '--port 70000'],
    [[site, '--port', '0'], '--port 0'],
    [[site, '--port', '1.5'], '--port 1.5'],
    [[site, '--port'], '--port without a number'],
    [[site, '--colour'], 'an unknown option'],
    [[], 'no folder'],
    [[path.join(site, 'no-such-folder')], 'a folder that does not exist'],
    [[file], 'a file for a folder'],
    [['--port', '8123', site], 'options before the folder'],
    [['--plain', site], '--plain before the folder'],
  ];
  for (const [args, what] of cases) {
    const run = await RunServe(args);
    const lines = run.stderr.trim().split('\n');
    Check(`${what}: one line and exit code 2`,
          run.code === 2 && lines.length === 1 && lines[0].startsWith('serve.js: ') && run.stdout === '',
          `exit ${run.code}${run.signal ? ` (${run.signal}, still running after 10 s)` : ''}, ` +
              `stderr ${JSON.stringify(run.stderr.slice(0, 300))}`);
    if (run.code === 2) console.log(`  ${lines[0]}`);
  }
  holder.close();
}

// scripts/web.sh refuses a bad port before it installs or builds anything.
async function WebScriptCases() {
  const script = path.resolve(__dirname, '../../scripts/web.sh');
  for (const args of [['--port', 'abc'], ['--port', '70000'], ['--port', '0'], ['--port=1.5'],
                      ['--port'], ['--colour']]) {
    const run = await new Promise((resolve) => {
      const child = childProcess.spawn('bash', [script, ...args], {stdio: ['ignore', 'pipe', 'pipe']});
      let stderr = '';
      child.stderr.on('data', (d) => stderr += d);
      child.stdout.on('data', (d) => stderr += d);
      const timer = setTimeout(() => child.kill(), 10000);
      child.on('exit', (code) => {
        clearTimeout(timer);
        resolve({code, stderr});
      });
    });
    Check(`scripts/web.sh ${args.join(' ')}: one line and exit code 2, before building`,
          run.code === 2 && /^scripts\/web.sh: [^\n]*\n$/.test(run.stderr),
          `exit ${run.code}, ${JSON.stringify(run.stderr.slice(0, 300))}`);
  }
}

(async () => {
  const {top, site} = MakeSite();
  // As root every file is readable: the server runs as nobody there, so
  // that it meets the refusals it is meant to handle.
  const root = process.getuid && process.getuid() === 0;
  const options = root ? {uid: 65534, gid: 65534} : {};
  let child = null;
  try {
    const port = await FreePort();
    child = await StartServe(site, port, [], options);
    await ServerCases(site, port);
    Check('the server process is still running', child.exitCode === null && child.signalCode === null);
    child.kill();
    const plainPort = await FreePort();
    child = await StartServe(site, plainPort, ['--plain'], options);
    const plain = await Request(plainPort, 'GET', '/');
    Check('--plain: no isolation headers', plain.status === 200 &&
          !('cross-origin-opener-policy' in plain.headers) &&
          !('cross-origin-embedder-policy' in plain.headers));
    child.kill();
    child = null;
    await SwappedCases();
    await CommandLineCases(site);
    await WebScriptCases();
  } catch (error) {
    Check('serve.js runs', false, error.stack);
  } finally {
    if (child) child.kill();
    fs.chmodSync(path.join(site, 'closed'), 0o755);
    fs.rmSync(top, {recursive: true, force: true});
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 ? 0 : 1);
})();
