// The site's service worker: one version of the site's files kept in the
// browser's cache, so that the page plays offline after its first visit.
// web/finish_site.py writes the version (a hash of the files) and the list.
//
// A new version is fetched whole into a cache of its own while the old one
// goes on serving; only when every file is in does it take over (and drops the
// older caches). A file that fails leaves the old version in charge, and the
// browser tries again at a later visit.
'use strict';
const kVersion = '@VERSION@';
const kFiles = @FILES@;
// Per copy of the site: two copies at two paths of one origin keep apart.
const kPrefix = 'melvoria ' + self.registration.scope + ' ';
const kCache = kPrefix + kVersion;

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const cache = await caches.open(kCache);
    try {
      // Past the HTTP cache: what the server holds now. All or nothing.
      await cache.addAll(kFiles.map((f) => new Request(f, {cache: 'reload'})));
    } catch (e) {
      await caches.delete(kCache);
      throw e;
    }
    await self.skipWaiting();
  })());
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const name of await caches.keys()) {
      if (name.startsWith(kPrefix) && name !== kCache) await caches.delete(name);
    }
    // The first visit's page too: offline from now on, not from its reload.
    await self.clients.claim();
  })());
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || !request.url.startsWith(self.registration.scope)) return;
  // The page under any address parameters is index.html.
  let name = new URL(request.url).pathname.slice(new URL(self.registration.scope).pathname.length);
  if (request.mode === 'navigate' && name === '') name = 'index.html';
  if (!kFiles.includes(name)) return;
  event.respondWith((async () => {
    const cache = await caches.open(kCache);
    const kept = await cache.match(name);
    return kept || fetch(request);
  })());
});
