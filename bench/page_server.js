// What the page benchmarks share: the page's folder served on a free port
// of this machine, and headless Chromium through Playwright.
'use strict';
const http = require('http');
const fs = require('fs');
const path = require('path');

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.png': 'image/png',
                '.json': 'application/json', '.webmanifest': 'application/manifest+json' };

// Serves `folder`; resolves to the server and the page's address.
async function serve(folder) {
  const server = http.createServer((req, res) => {
    const file = path.join(folder, decodeURIComponent(new URL(req.url, 'http://x').pathname).replace(/\/$/, '/index.html'));
    fs.readFile(file, (err, data) => {
      if (err) { res.writeHead(404); res.end(); return; }
      res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
      res.end(data);
    });
  });
  await new Promise((r) => server.listen(0, '127.0.0.1', r));
  return { server, url: 'http://127.0.0.1:' + server.address().port + '/index.html' };
}

// Debian's chromium (or NYRA1_CHROMIUM), headless.
function launch(modules) {
  const { chromium } = require(path.resolve(modules, 'playwright-core'));
  return chromium.launch({
    executablePath: process.env.NYRA1_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
}

module.exports = { serve, launch };
