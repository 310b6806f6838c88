// Seeking in the page, in headless Chromium through Playwright, at the
// machine's own speed and with the processor throttled (Chromium's
// Emulation.setCPUThrottlingRate; 4 stands for a mid-range phone):
//   node page_seek.js NODE_MODULES PAGE_DIR [RATES] [RANDOM_SEEKS]
// RATES is a comma-separated list (default 1,4). For each rate, once the
// show is learned whole:
// - every seek to the refresh before each snapshot, and to RANDOM_SEEKS
//   (default 200) random refreshes, each from refresh 1 and with none of the
//   snapshots earlier seeks keep, timed inside the WASM (nyra1_bench_seek):
//   worst and median;
// - a drag along the whole timeline with the mouse, one move an animation
//   frame: pictures drawn per second against animation frames per second;
// - the bytes the snapshots take, and how long learning them took.
// One JSON line per rate.
'use strict';
const http = require('http');
const fs = require('fs');
const path = require('path');

const [modules, folder, rates = '1,4', randomSeeks = '200'] = process.argv.slice(2);
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

function summary(times) {
  const sorted = times.slice().sort((a, b) => a - b);
  const at = (q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];
  return { seeks: times.length, worst: +sorted[sorted.length - 1].toFixed(2), median: +at(0.5).toFixed(2),
           p90: +at(0.9).toFixed(2) };
}

// In the page: the seeks, timed inside the WASM.
function seeks([count]) {
  const call = (name, ret, types, args) => Module.ccall('nyra1_' + name, ret, types, args);
  const timeline = JSON.parse(call('open', 'string', [], []));
  const refreshes = timeline.refreshes;
  const stageOf = (n) => timeline.chapters.filter(([, first]) => first <= n).pop()[0];
  const snapshots = JSON.parse(call('bench_snapshots', 'string', [], []));
  let seed = 20260101;
  const random = () => (seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648;
  const timed = (n) => {
    call('seek', null, ['number'], [1]);
    return call('bench_seek', 'number', ['number'], [n]);
  };
  const targets = snapshots.at.filter((s) => s > 2).map((s) => s - 1);
  const before = targets.map(timed);
  const worstByStage = {};
  targets.forEach((n, i) => {
    const stage = stageOf(n);
    worstByStage[stage] = +Math.max(worstByStage[stage] || 0, before[i]).toFixed(2);
  });
  const randoms = [];
  for (let i = 0; i < count; i++) randoms.push(timed(1 + Math.floor(random() * refreshes)));
  return { before, randoms, worstByStage, snapshots: snapshots.at.length, bytes: snapshots.bytes };
}

// The mouse goes down on the timeline's start; then, one an animation
// frame, a move further along it, to its end (the moves are made in the
// page, so that the driver's round trips do not pace them).
async function drag(page) {
  const box = await page.locator('#timeline').boundingBox();
  const y = box.y + box.height / 2;
  await page.mouse.move(box.x + 1, y);
  await page.mouse.down();
  const got = await page.evaluate(([left, width, y, steps]) => new Promise((done) => {
    const bar = document.getElementById('timeline');
    const screen = document.getElementById('screen');
    let step = 0, pictures = 0, shown = screen.dataset.refresh, start = 0, last = 0, longest = 0;
    const frame = (now) => {
      if (step > 0) {
        if (screen.dataset.refresh !== shown) pictures++;
        shown = screen.dataset.refresh;
        longest = Math.max(longest, now - last);
      } else {
        start = now;
      }
      last = now;
      if (step === steps) { done({ pictures, ms: now - start, longest }); return; }
      step++;
      bar.dispatchEvent(new PointerEvent('pointermove', { clientX: left + width * step / steps, clientY: y,
                                                          pointerId: 1, pointerType: 'mouse', buttons: 1,
                                                          bubbles: true }));
      requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
  }), [box.x + 1, box.width - 2, y, 300]);
  await page.mouse.up();
  const seconds = got.ms / 1000;
  return { moves: 300, pictures: got.pictures, framesPerSecond: +(300 / seconds).toFixed(1),
           picturesPerSecond: +(got.pictures / seconds).toFixed(1), longestFrameMs: +got.longest.toFixed(1) };
}

(async () => {
  await new Promise((r) => server.listen(0, '127.0.0.1', r));
  const url = 'http://127.0.0.1:' + server.address().port + '/index.html?pause';
  const browser = await chromium.launch({
    executablePath: process.env.NYRA1_CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
  for (const rate of rates.split(',').map(Number)) {
    const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
    const page = await context.newPage();
    const cdp = await context.newCDPSession(page);
    await cdp.send('Emulation.setCPUThrottlingRate', { rate });
    await page.goto(url);
    await page.waitForFunction(() => document.getElementById('screen').dataset.refresh, null, { timeout: 60000 });
    // Learning whole, at once, as the page would in its frames.
    const learnMs = await page.evaluate(() => {
      const start = performance.now();
      while (Module.ccall('nyra1_learn', 'number', ['number'], [1000])) { /* on */ }
      return performance.now() - start;
    });
    const got = await page.evaluate(seeks, [+randomSeeks]);
    const dragged = await drag(page);
    console.log(JSON.stringify({
      throttle: rate, learnMs: +learnMs.toFixed(1), snapshots: got.snapshots, snapshotBytes: got.bytes,
      beforeSnapshots: summary(got.before), worstByStage: got.worstByStage, random: summary(got.randoms), all: summary(got.before.concat(got.randoms)),
      drag: dragged,
    }));
    await context.close();
  }
  await browser.close();
  server.close();
})().catch((e) => { console.error(e.stack || String(e)); process.exit(1); });
