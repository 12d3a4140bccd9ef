// The page's one way to the tool: run srtx with these arguments on these
// files in a Web Worker, and get back what it printed, its exit status, its
// output files and the container reads it made. Each job has a worker of its
// own and an AbortSignal; aborting the job ends its worker, so no half state
// outlives it. Every result carries the Files it was made from.
'use strict';

const srtxBridge = (() => {
    let workerUrl = null;

    function cancelled() {
        return new DOMException('cancelled', 'AbortError');
    }

    // args: the command line after the program name, naming files by their
    // names; outputs: names of the files the run may write. With onPiece,
    // outputs come as pieces while they are written, not as Blobs at the end.
    function run({ args, files, outputs = [], onProgress = () => {}, onPiece = null, signal }) {
        if (signal.aborted) {
            return Promise.reject(cancelled());
        }
        workerUrl = workerUrl || URL.createObjectURL(new Blob([SRTX_WORKER_SOURCE], { type: 'text/javascript' }));
        const worker = new Worker(workerUrl);
        return new Promise((resolve, reject) => {
            const end = (settle, value) => {
                worker.terminate();
                signal.removeEventListener('abort', abort);
                settle(value);
            };
            const abort = () => end(reject, cancelled());
            signal.addEventListener('abort', abort);
            worker.onmessage = (event) => {
                const message = event.data;
                if (message.type === 'piece') {
                    onPiece(message.name, message.bytes);
                } else if (message.type === 'progress') {
                    onProgress(message.written);
                } else if (message.type === 'done') {
                    end(resolve, { ...message, files });
                } else {
                    end(reject, new Error(message.message));
                }
            };
            worker.onerror = (event) => {
                event.preventDefault();
                end(reject, new Error(event.message || 'the tool stopped unexpectedly'));
            };
            worker.postMessage({ args, files, outputs, streamed: onPiece !== null });
        });
    }

    // The jobs of the page: a listing supersedes the one before it (aborted,
    // its result never shown); dumps run one after another, each cancellable
    // on its own; drop() aborts every job, as a new container does.
    function createController() {
        let listing = null;
        const dumps = new Set();
        let queue = Promise.resolve();

        function list(job) {
            if (listing) {
                listing.abort(cancelled());
            }
            const control = new AbortController();
            listing = control;
            const done = run({ ...job, signal: control.signal });
            const settle = () => {
                if (listing === control) {
                    listing = null;
                }
            };
            done.then(settle, settle);
            return done;
        }

        // body(signal) runs once the dumps before it have ended; the job is
        // { done, cancel }.
        function dump(body) {
            const control = new AbortController();
            dumps.add(control);
            const done = queue.then(() => body(control.signal));
            // Registered before the caller's own: the job is over for
            // showBusy by the time the caller hears of its end.
            const settle = () => dumps.delete(control);
            done.then(settle, settle);
            queue = done.catch(() => {});
            return { done, cancel: () => control.abort(cancelled()) };
        }

        function drop() {
            if (listing) {
                listing.abort(cancelled());
                listing = null;
            }
            for (const control of dumps) {
                control.abort(cancelled());
            }
        }

        return {
            list,
            dump,
            drop,
            get listing() {
                return listing !== null;
            },
            get dumping() {
                return dumps.size > 0;
            },
        };
    }

    return { run, createController };
})();
