// The page's first picture, as the page itself measures it: from the WASM
// being ready to the first picture drawn (data-first-picture-ms), over
// several loads in headless Chromium through Playwright.
//   node page_first_picture.js NODE_MODULES PAGE_DIR RUNS
'use strict';
const { serve, launch } = require('./page_server');

const [modules, folder, runs] = process.argv.slice(2);

(async () => {
  const { server, url } = await serve(folder);
  const browser = await launch(modules);
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
