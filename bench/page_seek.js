// Seeking in the page, in headless Chromium through Playwright, at the
// machine's own speed and with the processor throttled (Chromium's
// Emulation.setCPUThrottlingRate; 4 stands for a mid-range phone):
//   node page_seek.js NODE_MODULES PAGE_DIR [RATES] [RANDOM_SEEKS] [TIMES]
// RATES is a comma-separated list (default 1,4). For each rate, once the
// show is learned whole:
// - every seek to the refresh before each snapshot, and to RANDOM_SEEKS
//   (default 200) random refreshes, each from refresh 1: worst and median,
//   as the main thread's processor time (cpu, from the DevTools protocol)
//   and as the WASM's own clock saw it (wall, nyra1_bench_seek). Each seek
//   is made TIMES times (default 3) and its quickest time counts, so that a
//   machine busy with other work shows what the seek costs rather than what
//   it waited; and seeks to each snapshot's own refresh, which only restore
//   it; the worst seek before a snapshot, stage by stage;
// - a drag along the whole timeline with the mouse, one move an animation
//   frame, forwards and back: pictures drawn per second against animation
//   frames per second, and the longest frame; then the same a frame at a
//   time, with the processor time of each;
// - the bytes the snapshots take, and how long learning them took.
// One JSON line per rate.
'use strict';
const { serve, launch } = require('./page_server');

const [modules, folder, rates = '1,4', randomSeeks = '200', times = '3'] = process.argv.slice(2);

function summary(seeks) {
  const of = (key) => {
    const sorted = seeks.map((s) => s[key]).sort((a, b) => a - b);
    return { worst: +sorted[sorted.length - 1].toFixed(2), median: +sorted[sorted.length >> 1].toFixed(2) };
  };
  return { seeks: seeks.length, cpu: of('cpu'), wall: of('wall') };
}

// The page's main thread's processor time so far, in ms (DevTools'
// Performance.getMetrics, ThreadTime; it grows with the throttle too).
async function threadMs(cdp) {
  const { metrics } = await cdp.send('Performance.getMetrics');
  return metrics.find((m) => m.name === 'ThreadTime').value * 1000;
}

const call = (page, name, ret, types, args) =>
  page.evaluate(([n, r, t, a]) => Module.ccall('nyra1_' + n, r, t, a), [name, ret, types, args]);

// The seeks: each from refresh 1, TIMES times, the quickest counting, both
// as the WASM's clock saw it and as the main thread's processor time (less
// what a call that does nothing costs).
async function seeks(page, cdp, count, times) {
  const snapshots = JSON.parse(await call(page, 'bench_snapshots', 'string', [], []));
  const timeline = snapshots.timeline;
  const stageOf = (n) => timeline.chapters.filter(([, first]) => first <= n).pop()[0];
  const idle = [];
  for (let i = 0; i < 20; i++) {
    const a = await threadMs(cdp);
    await call(page, 'bench_seek', 'number', ['number'], [1]); // already there
    idle.push(await threadMs(cdp) - a);
  }
  idle.sort((x, y) => x - y);
  const overhead = idle[idle.length >> 1];
  const timed = async (n) => {
    let wall = Infinity, cpu = Infinity;
    for (let i = 0; i < times; i++) {
      await call(page, 'seek', null, ['number'], [1]);
      const a = await threadMs(cdp);
      wall = Math.min(wall, await call(page, 'bench_seek', 'number', ['number'], [n]));
      cpu = Math.min(cpu, Math.max(0, await threadMs(cdp) - a - overhead));
    }
    return { n, wall, cpu };
  };
  const got = { before: [], restores: [], randoms: [] };
  for (const s of snapshots.at.filter((r) => r > 2)) {
    got.before.push(await timed(s - 1));
    // A seek to a snapshot's own refresh: the restore alone, and the picture.
    got.restores.push(await timed(s));
  }
  let seed = 20260101;
  const random = () => (seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648;
  for (let i = 0; i < count; i++) got.randoms.push(await timed(1 + Math.floor(random() * timeline.refreshes)));
  const worstByStage = {};
  for (const { n, cpu } of got.before) worstByStage[stageOf(n)] = +Math.max(worstByStage[stageOf(n)] || 0, cpu).toFixed(2);
  return { ...got, worstByStage, snapshots: snapshots.at.length, bytes: snapshots.bytes, overhead };
}

// The mouse goes down at one end of the timeline; then, one an animation
// frame, a move along it to the other end (the moves are made in the page,
// so that the driver's round trips do not pace them). Backwards, every
// picture is a seek back to a snapshot.
async function drag(page, backwards) {
  const box = await page.locator('canvas[data-kind="timeline"]').boundingBox();
  const y = box.y + box.height / 2;
  const [from, width] = backwards ? [box.x + box.width - 1, 2 - box.width] : [box.x + 1, box.width - 2];
  await page.mouse.move(from, y);
  await page.mouse.down();
  const got = await page.evaluate(([left, width, y, steps]) => new Promise((done) => {
    const bar = document.querySelector('canvas[data-kind="timeline"]');
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
  }), [from, width, y, 300]);
  await page.mouse.up();
  const seconds = got.ms / 1000;
  return { moves: 300, pictures: got.pictures, framesPerSecond: +(300 / seconds).toFixed(1),
           picturesPerSecond: +(got.pictures / seconds).toFixed(1), longestFrameMs: +got.longest.toFixed(1) };
}

// The same drag a move at a time, driven from here: the main thread's
// processor time from each move until the animation frame after it has
// drawn (the seek, the picture, the page's frame), less that of a frame with
// no move. Worst and median a frame: within 16.7 ms, every display refresh
// of an idle machine shows a new picture.
async function dragFrames(page, cdp, backwards, steps) {
  const box = await page.locator('canvas[data-kind="timeline"]').boundingBox();
  const y = box.y + box.height / 2;
  const [from, width] = backwards ? [box.x + box.width - 1, 2 - box.width] : [box.x + 1, box.width - 2];
  const frame = (x) => page.evaluate(([x, y]) => new Promise((done) => {
    if (x !== null) {
      document.querySelector('canvas[data-kind="timeline"]').dispatchEvent(new PointerEvent('pointermove',
        { clientX: x, clientY: y, pointerId: 1, pointerType: 'mouse', buttons: 1, bubbles: true }));
    }
    requestAnimationFrame(() => requestAnimationFrame(() => done()));
  }), [x, y]);
  await page.mouse.move(from, y);
  await page.mouse.down();
  const idle = [], cpu = [];
  for (let i = 0; i < 10; i++) {
    const a = await threadMs(cdp);
    await frame(null);
    idle.push(await threadMs(cdp) - a);
  }
  idle.sort((p, q) => p - q);
  for (let i = 1; i <= steps; i++) {
    const a = await threadMs(cdp);
    await frame(from + width * i / steps);
    cpu.push(Math.max(0, await threadMs(cdp) - a - idle[idle.length >> 1]));
  }
  await page.mouse.up();
  cpu.sort((p, q) => p - q);
  return { frames: steps, worst: +cpu[cpu.length - 1].toFixed(2), median: +cpu[cpu.length >> 1].toFixed(2) };
}

(async () => {
  const { server, url } = await serve(folder);
  const browser = await launch(modules);
  for (const rate of rates.split(',').map(Number)) {
    const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
    const page = await context.newPage();
    const cdp = await context.newCDPSession(page);
    await cdp.send('Performance.enable');
    await cdp.send('Emulation.setCPUThrottlingRate', { rate });
    await page.goto(url + '?pause');
    await page.waitForFunction(() => document.getElementById('screen').dataset.refresh, null, { timeout: 60000 });
    // Learning whole, at once, as the page would in its frames.
    const learnFrom = await threadMs(cdp);
    const learnMs = await page.evaluate(() => {
      const start = performance.now();
      while (Module.ccall('nyra1_bench_learn', 'number', ['number'], [1000])) { /* on */ }
      return performance.now() - start;
    });
    const learnCpuMs = await threadMs(cdp) - learnFrom;
    const got = await seeks(page, cdp, +randomSeeks, +times);
    const dragged = await drag(page, false);
    const back = await drag(page, true);
    const dragCpu = await dragFrames(page, cdp, false, 100);
    const dragBackCpu = await dragFrames(page, cdp, true, 100);
    console.log(JSON.stringify({
      throttle: rate, learnMs: +learnMs.toFixed(1), learnCpuMs: +learnCpuMs.toFixed(1), snapshots: got.snapshots, snapshotBytes: got.bytes,
      beforeSnapshots: summary(got.before), worstByStage: got.worstByStage, restore: summary(got.restores),
      random: summary(got.randoms), all: summary(got.before.concat(got.randoms)),
      drag: dragged, dragBack: back, dragFrameCpu: dragCpu, dragBackFrameCpu: dragBackCpu,
    }));
    await context.close();
  }
  await browser.close();
  server.close();
})().catch((e) => { console.error(e.stack || String(e)); process.exit(1); });
