// The page's service worker: keeps the page's own files, so that once visited the
// page opens offline. The cache is named after the version and the page's hash,
// so a new build replaces it.
'use strict';
const CACHE = '@CACHE@';
const FILES = @FILES@;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
      .then((names) => Promise.all(names.filter((name) => name !== CACHE).map((name) => caches.delete(name))))
      .then(() => self.clients.claim()));
});

// A text or a file shared to the installed page comes as a POST to share-target
// (the manifest's share_target). It is kept here, in memory only, and the browser
// is sent on to the page, which asks for it: the text never stands in an address
// or in the history, and a reload does not send it again.
const SHARE_TARGET = new URL('share-target', self.registration.scope).href;
let shared = null;

async function receiveShare(request) {
  const form = await request.formData();
  const file = form.get('file');
  const text = form.get('text') || '';
  const url = form.get('url') || '';
  shared = file instanceof File && file.size > 0
    ? { type: 'shared', file }
    : { type: 'shared', text: url && !text.includes(url) ? [text, url].filter(Boolean).join('\n') : text };
  return Response.redirect(self.registration.scope, 303);
}

self.addEventListener('message', (event) => {
  if (event.data?.type !== 'take-shared' || !shared) return;
  event.source.postMessage(shared);
  shared = null;
});

// The page's own files from the cache; nothing else is served, and nothing else
// is asked for.
self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method === 'POST' && request.url.split('?')[0] === SHARE_TARGET) {
    event.respondWith(receiveShare(request));
    return;
  }
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(caches.open(CACHE)
      .then((cache) => cache.match(request, { ignoreSearch: true }))
      .then((cached) => cached || fetch(request)));
});
