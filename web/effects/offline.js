// The page served: its service worker (sw.js, beside it), which keeps every
// file of the page's folder for offline use, and the files the system opens
// the installed page with. Opened from disk there is no service worker:
// the page works as it always has.
//
// A new version of the page is installed beside the one in use and waits;
// the page says so and takes it only at Reload. Reload tells the waiting
// worker to take over, and this tab, and only this one, reloads once it
// has: other tabs go on with the version they loaded.
let reloading = false;

export function served(dispatch) {
    const workers = navigator.serviceWorker;
    if (!window.isSecureContext || !workers || location.protocol === 'file:') {
        return;
    }
    const told = (news) => dispatch({ type: 'service-worker', news });
    workers.addEventListener('controllerchange', () => (reloading ? location.reload() : told('elsewhere')));
    // A worker being installed: the page's first (every file now kept) or
    // a new version (waiting).
    const followed = new WeakSet();
    const follow = (worker) => {
        if (!worker || followed.has(worker)) {
            return;
        }
        followed.add(worker);
        const first = !workers.controller;
        const heard = () => {
            worker.state === 'installed' && !first && told('waiting');
            worker.state === 'activated' && first && told('ready');
        };
        worker.addEventListener('statechange', heard);
        heard();
    };
    // An update check that fails (offline, the host gone) keeps the
    // version in use, and says nothing.
    workers.register('sw.js').then((registration) => {
        registration.waiting && workers.controller && told('waiting');
        follow(registration.installing);
        registration.addEventListener('updatefound', () => follow(registration.installing));
        document.addEventListener('visibilitychange', () => document.visibilityState === 'visible' && registration.update().catch(() => {}));
    }, () => {});
}

export async function reload() {
    const registration = await navigator.serviceWorker.getRegistration();
    if (!registration || !registration.waiting) {
        location.reload();
        return;
    }
    reloading = true;
    registration.waiting.postMessage('take over');
}

// The installed page opened with files (from the file manager, "Open
// with"): they are a choice like any other.
export function launched(dispatch) {
    window.launchQueue && window.launchQueue.setConsumer(async ({ files }) => {
        files.length && dispatch({ type: 'launched', files: await Promise.all(files.map((handle) => handle.getFile())) });
    });
}
