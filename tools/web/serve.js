// Serves the web build's site on 127.0.0.1, gzipped, as a static host would.
//
//   node tools/web/serve.js SITE_DIR [PORT]     prints the address, serves until stopped
//
// Used by `tools/web.sh --serve` and by the browser tests and figures, which
// start it on a free port (PORT 0).
'use strict';

const fs = require('fs');
const http = require('http');
const path = require('path');
const zlib = require('zlib');

const kTypes = {
  '.html': 'text/html; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
  '.png': 'image/png',
  '.webmanifest': 'application/manifest+json',
};

// Every file of the site, read and compressed once at start.
function loadSite(root) {
  const files = new Map();
  for (const name of fs.readdirSync(root)) {
    const file = path.join(root, name);
    if (!fs.statSync(file).isFile()) {
      continue;
    }
    const body = fs.readFileSync(file);
    files.set('/' + name, {
      body,
      gzipped: zlib.gzipSync(body, { level: 9 }),
      type: kTypes[path.extname(name)] || 'application/octet-stream',
    });
  }
  if (!files.has('/index.html')) {
    throw new Error(`no index.html in ${root}: build the site first (tools/web.sh)`);
  }
  return files;
}

function startServer(root, port = 0) {
  const files = loadSite(root);
  const server = http.createServer((request, response) => {
    let pathname;
    try {
      pathname = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    } catch {
      response.writeHead(400).end();
      return;
    }
    if (pathname === '/') {
      pathname = '/index.html';
    }
    const file = files.get(pathname);
    if (!file || (request.method !== 'GET' && request.method !== 'HEAD')) {
      response.writeHead(file ? 405 : 404, { 'Content-Type': 'text/plain' }).end('not found\n');
      return;
    }
    const gzip = /\bgzip\b/.test(request.headers['accept-encoding'] || '');
    const body = gzip ? file.gzipped : file.body;
    const headers = {
      'Content-Type': file.type,
      'Content-Length': body.length,
      'Cache-Control': 'no-cache',
      Vary: 'Accept-Encoding',
    };
    if (gzip) {
      headers['Content-Encoding'] = 'gzip';
    }
    response.writeHead(200, headers);
    response.end(request.method === 'HEAD' ? undefined : body);
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => {
      const address = server.address();
      resolve({ server, files, url: `http://127.0.0.1:${address.port}/` });
    });
  });
}

module.exports = { startServer };

if (require.main === module) {
  const root = process.argv[2];
  const port = Number(process.argv[3] || 8080);
  if (!root) {
    console.error('usage: node serve.js SITE_DIR [PORT]');
    process.exit(2);
  }
  startServer(path.resolve(root), port).then(
    ({ url }) => console.log(`The game is at ${url} (Ctrl-C stops the server)`),
    (error) => {
      console.error(`cannot serve ${root}: ${error.message}`);
      process.exit(1);
    });
}
