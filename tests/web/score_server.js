// The score server on a free port of the loopback with a database of its
// own, serving a web build at /play/ (the browser tests and the web
// benchmark). Resolves to {origin, log(), close()}; rejects when it ends first.
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

function startScoreServer(serverExe, webDir) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'qbserver-'));
  const child = childProcess.spawn(serverExe, ['--listen', '127.0.0.1:0', '--db', path.join(folder, 'scores.db'),
                                               '--web', webDir], {stdio: ['ignore', 'ignore', 'pipe']});
  let log = '';
  const exited = new Promise((resolve) => child.on('exit', resolve));
  return new Promise((resolve, reject) => {
    child.stderr.setEncoding('utf8');
    child.stderr.on('data', (text) => {
      const first = !/listening on/.test(log);
      log += text;
      const listening = first && /listening on (http:\/\/[^/\s]+)\//.exec(log);
      if (listening) {
        resolve({
          origin: listening[1],
          log: () => log,
          async close() {
            child.kill('SIGTERM');
            await exited;
            fs.rmSync(folder, {recursive: true, force: true});
          },
        });
      }
    });
    exited.then((code) => reject(new Error('the score server ended (' + code + '):\n' + log)));
  });
}

module.exports = {startScoreServer};
