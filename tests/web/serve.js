// A small server of the web build for the web benchmark (bench/web_bench.js),
// which counts the bytes it sends (the browser tests use the score server
// itself), with the score server's layout: the launcher's page at /play/, each game's at
// /play/NAME/, every file of the build below /play/. Answers are gzipped
// when the browser asks, so the bytes counted are the bytes a player loads.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const zlib = require('zlib');

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream', '.png': 'image/png',
};

// Starts serving dir (on port, or any free one); resolves to {origin, bytesSent(), close()}.
function serve(dir, port) {
  const root = path.resolve(dir);
  let sent = 0;
  const compressed = new Map();  // file -> {mtime, body}: each file is gzipped once
  function gzipped(file, body) {
    const mtime = fs.statSync(file).mtimeMs;
    const known = compressed.get(file);
    if (known && known.mtime === mtime) return known.body;
    const zipped = zlib.gzipSync(body, {level: 6});
    compressed.set(file, {mtime, body: zipped});
    return zipped;
  }
  const server = http.createServer(function (request, response) {
    const url = new URL(request.url, 'http://here');
    let name = decodeURIComponent(url.pathname);
    if (!name.startsWith('/play/')) {
      response.writeHead(name === '/play' ? 301 : 404, {Location: '/play/'});
      response.end();
      return;
    }
    let file = path.join(root, name.slice('/play/'.length));
    if (!file.startsWith(root)) {
      response.writeHead(403);
      response.end();
      return;
    }
    if (fs.existsSync(file) && fs.statSync(file).isDirectory()) {
      if (!name.endsWith('/')) {
        response.writeHead(301, {Location: name + '/' + url.search});
        response.end();
        return;
      }
      file = path.join(file, 'index.html');
    }
    fs.readFile(file, function (error, body) {
      if (error) {
        response.writeHead(404);
        response.end();
        return;
      }
      const headers = {'Content-Type': types[path.extname(file)] || 'application/octet-stream', 'Cache-Control': 'no-cache'};
      if (/\bgzip\b/.test(request.headers['accept-encoding'] || '')) {
        body = gzipped(file, body);
        headers['Content-Encoding'] = 'gzip';
      }
      headers['Content-Length'] = body.length;
      sent += body.length;
      response.writeHead(200, headers);
      response.end(body);
    });
  });
  return new Promise(function (resolve) {
    server.listen(port || 0, '127.0.0.1', function () {
      resolve({
        origin: 'http://127.0.0.1:' + server.address().port,
        bytesSent: function () { return sent; },
        close: function () { return new Promise(function (done) { server.close(done); }); },
      });
    });
  });
}

module.exports = {serve};

// node serve.js DIST [PORT]: serves a web build by hand at http://127.0.0.1:PORT/play/.
if (require.main === module) {
  const port = Number(process.argv[3] || 8080);
  serve(process.argv[2] || 'build-web/dist', port).then((s) => console.log('playing at ' + s.origin + '/play/'));
}
