// The page's service worker (served as sw.js beside index.html): after one visit the demo opens
// with no network. stamp_page.cmake fills in the build's tag (a digest of every file of the
// build) and the SHA-256 of each file it caches, so a new build is a new worker.
// Its files are cached whole under "skorvane-<tag>": fetched afresh, each checked against its
// digest, and only when all of them are of this build is the worker installed (a site caught
// half-updated fails the install, and the next visit tries again). The program's files are named
// by their content (skorvane.<digest>.js and .wasm), so a request for one is answered from
// whichever cache has it, or the network: a page never gets another build's program, even while
// a new worker takes over or after several new builds. The worker takes over as soon as it is
// installed, so the next visit (a reload) gets the new build; it keeps the cache of the build
// before it for a page still loading that one, and deletes older ones.
'use strict';

const build = '@BUILD@';
const files = @FILES@;
const prefix = 'skorvane-';
const cacheName = prefix + build;

function hex(buffer) {
    return Array.from(new Uint8Array(buffer), byte => byte.toString(16).padStart(2, '0')).join('');
}

async function fetchChecked(name) {
    const response = await fetch(name, {cache: 'no-store'});
    const digest = response.ok ? hex(await crypto.subtle.digest('SHA-256',
                                                                 await response.clone().arrayBuffer()))
                               : '';
    if (digest !== files[name]) {
        throw new Error(name + ' on the site is not of build ' + build);
    }
    return response;
}

self.addEventListener('install', event => {
    event.waitUntil((async () => {
        const names = Object.keys(files);
        const responses = await Promise.all(names.map(fetchChecked));
        const cache = await caches.open(cacheName); // refused storage fails the install here
        try {
            await Promise.all(names.map((name, i) => cache.put(name, responses[i])));
        } catch (error) {
            await caches.delete(cacheName);
            throw error;
        }
        await self.skipWaiting();
    })());
});

self.addEventListener('activate', event => {
    event.waitUntil((async () => {
        // Caches are listed in the order they were made: keep this build's and the one before.
        const ours = (await caches.keys()).filter(name => name.startsWith(prefix));
        const keep = new Set([cacheName, ours[ours.indexOf(cacheName) - 1]]);
        await Promise.all(ours.filter(name => !keep.has(name)).map(name => caches.delete(name)));
        await self.clients.claim();
    })());
});

// The file of this build a request in scope stands for, or null for anything else.
function fileOf(url) {
    const scope = new URL(self.registration.scope);
    if (url.origin !== scope.origin || !url.pathname.startsWith(scope.pathname)) {
        return null;
    }
    const name = url.pathname.slice(scope.pathname.length) || 'index.html';
    return Object.prototype.hasOwnProperty.call(files, name) || programFile(name) ? name : null;
}

// A program file (named by its content) from any build's cache; the page's other files from this
// build's.
function programFile(name) {
    return /^skorvane\.[0-9a-f]+\.(js|wasm)$/.test(name);
}

async function answer(request, name) {
    let cached = null;
    if (programFile(name)) {
        for (const key of (await caches.keys()).filter(key => key.startsWith(prefix))) {
            cached = cached || await (await caches.open(key)).match(name);
        }
    } else if (await caches.has(cacheName)) {
        cached = await (await caches.open(cacheName)).match(name);
    }
    return cached || fetch(request);
}

self.addEventListener('fetch', event => {
    if (event.request.method !== 'GET') {
        return;
    }
    const url = new URL(event.request.url);
    const name = fileOf(url);
    if (name) {
        event.respondWith(answer(event.request, name));
    }
});
