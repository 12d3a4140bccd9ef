// The page's one way to the tool: run srtx with these arguments on these
// files in a Web Worker, and get back what it printed, its exit status, its
// output files and the container reads it made. Each run has a worker of its
// own, ended when the run ends or is cancelled, so no half state outlives it.
'use strict';

const srtxBridge = (() => {
    let workerUrl = null;

    // args: the command line after the program name, naming files by their
    // names; outputs: names of the files the run may write. With onPiece,
    // outputs come as pieces while they are written, not as Blobs at the end.
    function run({ args, files, outputs = [], onProgress = () => {}, onPiece = null }) {
        workerUrl = workerUrl || URL.createObjectURL(new Blob([SRTX_WORKER_SOURCE], { type: 'text/javascript' }));
        const worker = new Worker(workerUrl);
        let cancel = () => {};
        const done = new Promise((resolve, reject) => {
            const end = (settle, value) => {
                worker.terminate();
                settle(value);
            };
            worker.onmessage = (event) => {
                const message = event.data;
                if (message.type === 'piece') {
                    onPiece(message.name, message.bytes);
                } else if (message.type === 'progress') {
                    onProgress(message.written);
                } else if (message.type === 'done') {
                    end(resolve, message);
                } else {
                    end(reject, new Error(message.message));
                }
            };
            worker.onerror = (event) => {
                event.preventDefault();
                end(reject, new Error(event.message || 'the tool stopped unexpectedly'));
            };
            cancel = () => end(reject, new Error('cancelled'));
        });
        worker.postMessage({ args, files, outputs, streamed: onPiece !== null });
        return { done, cancel: () => cancel() };
    }

    return { run };
})();
