// A script of one's own in the page, as the page measures it, in headless
// Chromium through Playwright:
//   node page_script.js NODE_MODULES PAGE_DIR RUNS
// Typing: RUNS edits of a script as long as the built-in one, one key at a
// time; for each, what the page's own thread spent on it (the input
// handler) and the check in the checker's worker. Playing: RUNS times Play
// on a new script of that length, from the click to its first picture
// (data-play-ms), to playing on (its second refresh on show) and to all of
// its snapshots learned while it plays. NYRA1_BENCH_EACH=1 prints each
// run's figure with the player's state then.
'use strict';
const { serve, launch } = require('./page_server');

const [modules, folder, runs] = process.argv.slice(2);

const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];
const line = (what, v) => console.log(`${what}: median ${median(v).toFixed(2)} ms, max ${Math.max(...v).toFixed(2)} ms (${v.length})`);

(async () => {
  const { server, url } = await serve(folder);
  const browser = await launch(modules);
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
  await page.goto(url);
  await page.waitForFunction(() => (document.getElementById('screen') || { dataset: {} }).dataset.refresh, null,
                             { timeout: 30000 });
  const state = () => page.evaluate(() => JSON.parse(Module.ccall('nyra1_state', 'string', [], [])));
  // Typing at the end of the built-in script, a key at a time.
  await page.click('#script');
  await page.keyboard.press('End');
  await page.keyboard.press('Control+End');
  for (let i = 0; i < +runs; i++) {
    await page.keyboard.type(i % 2 ? 'B' : 'A');
    await page.waitForFunction(() => document.getElementById('editor').dataset.checked ===
                                     document.getElementById('editor').dataset.typed, null, { timeout: 10000 });
  }
  const typing = await page.evaluate(() => ({ send: editor.sendMs.slice(1), check: editor.checkMs.slice(1),
                                              bytes: new TextEncoder().encode(document.getElementById('script').value).length }));
  console.log(`a script of ${typing.bytes} bytes`);
  line('typing, on the page\'s thread', typing.send);
  line('the check, in the worker', typing.check);

  const first = [], playing = [], learned = [];
  for (let i = 0; i < +runs; i++) {
    // A new script each time: the built-in one with a letter of its own.
    await page.evaluate((k) => {
      const t = document.getElementById('script');
      t.value = t.value.replace(/[A-Z](?=[^A-Z]*$)/, String.fromCharCode(65 + k % 26));
    }, i);
    const start = Date.now();
    await page.click('#play');
    await page.waitForFunction(() => JSON.parse(Module.ccall('nyra1_state', 'string', [], [])).refresh > 1, null,
                               { timeout: 10000, polling: 'raf' });
    playing.push(Date.now() - start);
    first.push(+(await page.evaluate(() => document.getElementById('screen').dataset.playMs)));
    await page.waitForFunction(() => JSON.parse(Module.ccall('nyra1_state', 'string', [], [])).learnedAll, null,
                               { timeout: 120000, polling: 100 });
    learned.push(Date.now() - start);
    if (process.env.NYRA1_BENCH_EACH) console.log(i, learned[i], JSON.stringify(await state()));
    if ((await state()).builtIn) throw new Error('the script did not play');
  }
  line('Play to its first picture', first);
  line('Play to playing on (click to its second refresh)', playing);
  line('Play to every snapshot learned, while it plays', learned);
  await browser.close();
  server.close();
})().catch((e) => { console.error(e.stack || String(e)); process.exit(1); });
