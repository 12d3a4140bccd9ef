// The page's service worker, sw.js in the page's folder. The build writes
// above this the folder's other files (files) and a hash of their contents
// (version), so each build's sw.js differs and is installed anew.
//
// It keeps every file of the folder in one cache, named by the page's scope
// and version, fetched past the HTTP cache so that no stale file gets in;
// it answers the folder's own requests from there, so the page works with
// the host gone. A new version waits until a page tells it to take over,
// then removes the caches of its scope's older versions: another copy of
// the page on the same host keeps its own.
/* global files, version */
'use strict';
const scope = self.registration.scope;
const kept = `srtx ${scope} `;
const cache = kept + version;

self.addEventListener('install', (event) => {
    event.waitUntil(caches.open(cache).then((open) => open.addAll(files.map((file) => new Request(file, { cache: 'reload' })))));
});
self.addEventListener('activate', (event) => {
    event.waitUntil(caches.keys().then((names) =>
        Promise.all(names.filter((name) => name.startsWith(kept) && name !== cache).map((name) => caches.delete(name)))));
});
self.addEventListener('message', (event) => event.data === 'take over' && self.skipWaiting());
self.addEventListener('fetch', (event) => {
    const url = new URL(event.request.url);
    const file = url.href.slice(scope.length).replace(/[?#].*$/, '') || 'index.html';
    if (event.request.method === 'GET' && url.href.startsWith(scope) && files.includes(file)) {
        event.respondWith(caches.open(cache).then((open) => open.match(file)).then((hit) => hit || fetch(event.request)));
    }
});
