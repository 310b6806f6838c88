// Drives the browser page with real key, mouse and touch events: in
// Debian's chromium through Playwright, or with NYRA1_BROWSER=firefox in
// Debian's firefox-esr through Puppeteer over WebDriver BiDi:
//   node web_page_driver.js NODE_MODULES BASE_URL STEPS.json
// STEPS is a list of steps (see run()); every "sample" step prints one JSON
// line of what the page shows at that moment.
'use strict';
const fs = require('fs');
const path = require('path');

const [modules, base, stepsFile] = process.argv.slice(2);
const firefox = process.env.NYRA1_BROWSER === 'firefox';
const steps = JSON.parse(fs.readFileSync(stepsFile, 'utf8'));

// A clock and animation frames the test moves by hand: a screen of any
// rate, without waiting for it.
const FAKE_CLOCK = `(() => {
  let now = 1000;
  let queue = [];
  performance.now = () => now;
  window.requestAnimationFrame = (cb) => { queue.push(cb); return queue.length; };
  window.nyraTick = (hz, frames) => {
    for (let i = 0; i < frames; i++) {
      now += 1000 / hz;
      const due = queue;
      queue = [];
      for (const cb of due) cb(now);
    }
  };
})();`;

// What the page shows: the player's state (from the library), the
// picture's CRC-32 (its R, G, B bytes), where every piece and button is,
// and whether anything is over the picture.
function sample() {
  const st = JSON.parse(Module.ccall('nyra1_state', 'string', [], []));
  const rect = (e) => {
    if (!e || e.hidden || getComputedStyle(e).display === 'none') return null;
    const r = e.getBoundingClientRect();
    return [r.left, r.top, r.width, r.height];
  };
  const piece = (kind) => rect(document.querySelector(`canvas[data-kind="${kind}"]:not([hidden])`));
  const screen = document.getElementById('screen');
  const pixels = screen.getContext('2d').getImageData(0, 0, screen.width, screen.height).data;
  let crc = 0xFFFFFFFF;
  for (let i = 0; i < pixels.length; i++) {
    if ((i & 3) === 3) continue;
    crc ^= pixels[i];
    for (let k = 0; k < 8; k++) crc = crc & 1 ? 0xEDB88320 ^ (crc >>> 1) : crc >>> 1;
  }
  // Nothing over the picture: the element at each of a grid of its points is the picture.
  const box = screen.getBoundingClientRect();
  let covered = 0;
  for (let i = 0; i <= 8; i++)
    for (let j = 0; j <= 8; j++) {
      const x = box.left + (i + 0.5) * box.width / 9.5, y = box.top + (j + 0.5) * box.height / 9.5;
      if (document.elementFromPoint(x, y) !== screen) covered++;
    }
  const pieces = [...document.querySelectorAll('canvas:not([hidden])')].map((c) => [c.dataset.kind, rect(c)]);
  const buttons = [...document.querySelectorAll('button:not([hidden])')].map((b) => [b.dataset.do, rect(b), b.title]);
  return {
    refresh: st.refresh, crc: ((crc ^ 0xFFFFFFFF) >>> 0).toString(16).padStart(8, '0'),
    picture: [screen.width, screen.height], paused: st.paused, over: st.over, atEnd: st.atEnd,
    status: st.status, notice: st.notice, speed: st.speed, loop: st.loop, osd: st.osd ? st.osdText : null,
    entry: st.inspector ? st.entry : null, controls: st.controls, help: st.help, field: st.field, view: st.view,
    scale: st.scale, unit: st.unit, rendering: getComputedStyle(screen).imageRendering, covered,
    viewport: [innerWidth, innerHeight], ratio: devicePixelRatio, screen: rect(screen),
    timeline: piece('timeline'), controlsBox: piece('controls'), osdBox: piece('osd'), inspector: piece('inspector'),
    viewBox: piece('view'), helpBox: piece('help'), viewSize: (() => {
      const c = document.querySelector('canvas[data-kind="view"]:not([hidden])');
      return c ? [c.width, c.height] : [0, 0];
    })(), pieces, buttons,
  };
}

async function point(page, s) {
  const box = await page.locator(s.on).boundingBox();
  const [fx, fy] = s.at || [0.5, 0.5];
  return [box.x + box.width * fx, box.y + box.height * fy];
}

// The two drivers behind one small face: a new page of a size, a script
// that runs before the page's own, and the context to close.
async function newPage(browser, s) {
  const [width, height] = s.viewport || [1280, 800];
  if (firefox) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    await page.setViewport({ width, height, deviceScaleFactor: s.phone ? 3 : 1, isMobile: !!s.phone,
                             hasTouch: !!s.phone });
    return { context, page, initScript: (text) => page.evaluateOnNewDocument(text),
             tap: (x, y) => page.touchscreen.tap(x, y) };
  }
  const context = await browser.newContext({ viewport: { width, height }, deviceScaleFactor: s.phone ? 3 : 1,
                                             isMobile: !!s.phone, hasTouch: !!s.phone, acceptDownloads: true });
  const page = await context.newPage();
  // A tap whose finger stays down while the page draws what its touch did.
  const slowTap = async (x, y, settle) => {
    const cdp = await context.newCDPSession(page);
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x, y }] });
    await settle();
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  };
  return { context, page, initScript: (text) => page.addInitScript(text), tap: (x, y) => page.touchscreen.tap(x, y),
           slowTap };
}

// Waits until fn (a function or an expression) is true in the page.
function waitFor(page, fn, options) {
  return firefox ? page.waitForFunction(fn, options) : page.waitForFunction(fn, null, options);
}

async function run(browser) {
  let context = null, page = null, fake = false, tap = null, slowTap = null;
  // Lets the page draw what the last event did: two animation frames.
  const settle = () => fake ? page.evaluate(() => window.nyraTick(60, 2))
                            : page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
  for (const s of steps) {
    if (s.viewport && s.open === undefined) {
      // {viewport: [w, h]}: the page's window resized
      await page.setViewportSize({ width: s.viewport[0], height: s.viewport[1] });
      await settle();
      await settle();
      continue;
    }
    if (s.open !== undefined) {
      // {open: "?query", viewport: [w, h], phone: true, fakeClock: true}
      if (context) await context.close();
      const opened = await newPage(browser, s);
      ({ context, page, tap, slowTap } = opened);
      fake = !!s.fakeClock;
      if (fake) await opened.initScript(FAKE_CLOCK);
      page.on('pageerror', (e) => { console.error('page error: ' + e.message); process.exitCode = 1; });
      await page.goto(base + s.open);
      // Loaded once the first refresh is drawn (by hand under the fake clock).
      await waitFor(page, () => {
        if (window.nyraTick) window.nyraTick(60, 1);
        const screen = document.getElementById('screen');
        return screen && screen.dataset.refresh;
      }, { timeout: 30000, polling: 50 });
    } else if (s.key) {
      for (let i = 0; i < (s.times || 1); i++) await page.keyboard.press(s.key);
      await settle();
    } else if (s.slowTap) {
      // {slowTap: selector}: touch, two animation frames, let go (Chromium)
      const [x, y] = await point(page, { on: s.slowTap });
      await slowTap(x, y, settle);
      await settle();
    } else if (s.pointAt) {
      // {pointAt: [x, y], press: true}: the mouse at a point of the viewport
      await page.mouse.move(s.pointAt[0], s.pointAt[1]);
      if (s.press) await page.mouse.click(s.pointAt[0], s.pointAt[1]);
      await settle();
    } else if (s.download) {
      // {download: key or {click: selector}, to: path}: the file the page offers
      const [file] = await Promise.all([page.waitForEvent('download', { timeout: s.timeout || 60000 }),
                                        typeof s.download === 'string' ? page.keyboard.press(s.download)
                                                                       : page.click(s.download.click)]);
      await file.saveAs(s.to);
    } else if (s.evaluate) {
      // {evaluate: "expression", name}: its value, as a sample line
      const value = await page.evaluate(s.evaluate);
      console.log(JSON.stringify({ name: s.name, value }));
    } else if (s.click || s.tap || s.hover) {
      // {click|tap|hover: selector, at: [fx, fy]}, at a fraction of its box
      const [x, y] = await point(page, { on: s.click || s.tap || s.hover, at: s.at });
      if (s.click) await page.mouse.click(x, y);
      else if (s.tap) await tap(x, y);
      else await page.mouse.move(x, y);
      await settle();
    } else if (s.drag) {
      // {drag: selector, from: [fx, fy], to: [fx, fy]}
      const [x0, y0] = await point(page, { on: s.drag, at: s.from });
      const [x1, y1] = await point(page, { on: s.drag, at: s.to });
      await page.mouse.move(x0, y0);
      await page.mouse.down();
      for (let i = 1; i <= 8; i++) {
        await page.mouse.move(x0 + (x1 - x0) * i / 8, y0 + (y1 - y0) * i / 8);
        await settle();
      }
      await page.mouse.up();
      await settle();
    } else if (s.tick) {
      // {tick: hz, frames: n}: n animation frames of a screen of that rate
      await page.evaluate(([hz, n]) => window.nyraTick(hz, n), [s.tick, s.frames]);
    } else if (s.waitFor) {
      try {
        await waitFor(page, s.waitFor, { timeout: s.timeout || 15000, polling: 20 });
      } catch (e) {
        // Which wait, and where the page stood when it gave up.
        const got = await page.evaluate(sample).catch(() => ({}));
        throw new Error(`waiting for ${s.waitFor}: ${e.message}\nthe page: ${JSON.stringify(got)}`);
      }
    } else if (s.offline !== undefined) {
      // {offline: true}: the network gone (or back), for the page's worker
      await (firefox ? page.setOfflineMode(s.offline) : context.setOffline(s.offline));
    } else if (s.reload) {
      await page.reload();
      await waitFor(page, () => document.getElementById('screen') && document.getElementById('screen').dataset.refresh,
                    { timeout: 30000, polling: 50 });
    } else if (s.installable) {
      // {installable: name}: what keeps Chromium from offering to install the page
      const client = await context.newCDPSession(page);
      const found = await client.send('Page.getInstallabilityErrors');
      console.log(JSON.stringify({ name: s.installable, errors: found.installabilityErrors.map((e) => e.errorId) }));
    } else if (s.sample) {
      const got = await page.evaluate(sample);
      console.log(JSON.stringify({ name: s.sample, ...got }));
    } else if (s.screenshot) {
      await page.screenshot({ path: s.screenshot });
    } else {
      throw new Error('unknown step ' + JSON.stringify(s));
    }
  }
  if (context) await context.close();
}

async function launch() {
  const args = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
                '--disable-component-update', '--disable-sync'];
  if (firefox) {
    const puppeteer = require(path.resolve(modules, 'puppeteer-core'));
    return puppeteer.launch({ browser: 'firefox', protocol: 'webDriverBiDi', headless: true,
                              executablePath: process.env.NYRA1_FIREFOX || '/usr/bin/firefox-esr' });
  }
  const { chromium } = require(path.resolve(modules, 'playwright-core'));
  return chromium.launch({ executablePath: process.env.NYRA1_CHROMIUM || '/usr/bin/chromium', args });
}

(async () => {
  const browser = await launch();
  try {
    await run(browser);
  } finally {
    await browser.close();
  }
})().catch((e) => {
  console.error(e.stack || String(e));
  process.exit(1);
});
