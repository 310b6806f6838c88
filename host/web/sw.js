// The page's files kept in the browser, so that after one visit the show
// plays with no network. Each file comes from the cache at once; with a
// network it is fetched again behind it, so that a rebuilt page is there on
// the visit after. The cache is named by the version: a new version's
// worker drops the old one.
'use strict';
const CACHE = 'nyra1-@PROJECT_VERSION@';
const FILES = ['./', 'index.html', 'index.js', 'index.wasm', 'icon.png', 'icon-192.png', 'icon-512.png',
               'icon-maskable.png', 'manifest.webmanifest'@NYRA1_WEB_MUXER@];

self.addEventListener('install', (e) => {
  e.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (e) => {
  e.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n.startsWith('nyra1-') && n !== CACHE).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (e) => {
  const url = new URL(e.request.url);
  if (e.request.method !== 'GET' || url.origin !== location.origin) return;
  // One entry a file, whatever the query (?refresh=, ?pause).
  const key = url.origin + url.pathname;
  e.respondWith(caches.open(CACHE).then(async (cache) => {
    const kept = await cache.match(key);
    const fetched = fetch(e.request).then((response) => {
      if (response.ok) cache.put(key, response.clone());
      return response;
    });
    if (kept) {
      fetched.catch(() => {}); // offline: the kept file it is
      return kept;
    }
    return fetched;
  }));
});
