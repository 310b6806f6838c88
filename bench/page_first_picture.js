// The page's first picture, as the page itself measures it: from the WASM
// being ready to the first picture drawn (data-first-picture-ms), over
// several loads in headless Chromium through Playwright.
//   node page_first_picture.js NODE_MODULES PAGE_DIR RUNS
'use strict';
const http = require('http');
const fs = require('fs');
const path = require('path');

const [modules, folder, runs] = process.argv.slice(2);
const { chromium } = require(path.resolve(modules, 'playwright-core'));
const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.png': 'image/png',
                '.json': 'application/json', '.webmanifest': 'application/manifest+json' };

const server = http.createServer((req, res) => {
  const file = path.join(folder, decodeURIComponent(new URL(req.url, 'http://x').pathname).replace(/\/$/, '/index.html'));
  fs.readFile(file, (err, data) => {
    if (err) { res.writeHead(404); res.end(); return; }
    res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    res.end(data);
  });
});

(async () => {
  await new Promise((r) => server.listen(0, '127.0.0.1', r));
  const url = 'http://127.0.0.1:' + server.address().port + '/index.html';
  const browser = await chromium.launch({
    executablePath: process.env.NYRA1_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  for (let i = 0; i < +runs; i++) {
    const page = await browser.newPage();
    await page.goto(url);
    const ms = await page.waitForFunction(() => (document.getElementById('screen') || { dataset: {} }).dataset.firstPictureMs,
                                          null, { timeout: 30000 });
    console.log(await ms.jsonValue());
    await page.close();
  }
  await browser.close();
  server.close();
})().catch((e) => { console.error(e.stack || String(e)); process.exit(1); });
