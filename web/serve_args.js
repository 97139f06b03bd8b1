// serve.js's command line: FOLDER [--port N] [--plain]. A mistake is an
// Error with a one-line message, for serve.js to print before exiting 2.
'use strict';

const kUsage = 'usage: node serve.js FOLDER [--port N] [--plain]';

function Refuse(why) {
  const error = new Error(`${why} (${kUsage})`);
  error.usage = true;
  return error;
}

// A port as typed: digits only, so '1e3', ' 80' and '0x50' are not ports.
function ParsePort(text) {
  if (text === undefined || text === '') throw Refuse('--port needs a number');
  const port = /^[0-9]{1,5}$/.test(text) ? Number(text) : NaN;
  if (!(port >= 1 && port <= 65535)) throw Refuse(`--port ${text}: not a port (1 to 65535)`);
  return port;
}

// {folder, port, isolated} from the arguments after the script's name.
function ParseServeArgs(args) {
  if (args.length === 0) throw Refuse('no folder given');
  if (args[0].startsWith('-')) throw Refuse(`the folder comes first, before ${args[0]}`);
  const options = {folder: args[0], port: 8000, isolated: true};
  for (let i = 1; i < args.length; ++i) {
    const arg = args[i];
    if (arg === '--port') {
      options.port = ParsePort(args[++i]);
    } else if (arg.startsWith('--port=')) {
      options.port = ParsePort(arg.slice('--port='.length));
    } else if (arg === '--plain') {
      options.isolated = false;
    } else if (arg.startsWith('-')) {
      throw Refuse(`unknown option ${arg}`);
    } else {
      throw Refuse(`one folder only, not also ${arg}`);
    }
  }
  return options;
}

module.exports = {ParseServeArgs};
