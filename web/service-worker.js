// Keeps the game's files for offline play, in the zip for game hosts only: scripts/web-zip.mjs
// writes the site's files below, and the cache's name, which carries a hash of all of them. A
// new version's worker thus fills a cache of its own and then drops the older ones of its
// folder; the page's files are named after their content, so that old and new never mix.
'use strict';

const SITE = {cache: 'pyrelle', files: []};

// Several copies of the game on one site (one per folder) share the site's caches.
const CACHE = SITE.cache + ' ' + self.registration.scope;
const OURS = ' ' + self.registration.scope;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(SITE.files))
                      .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys().then((names) => Promise.all(
      names.filter((name) => name.endsWith(OURS) && name !== CACHE)
           .map((name) => caches.delete(name))))
      .then(() => self.clients.claim()));
});

// What is kept is served from the cache, online or not; the page itself whatever its address
// asks for (?seed=…). Anything else (a replay named by ?replay=) from the network.
self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET') return;
  const page = request.mode === 'navigate';
  event.respondWith(caches.open(CACHE)
                        .then((cache) => cache.match(request, {ignoreSearch: page}))
                        .then((kept) => kept || fetch(request)));
});
