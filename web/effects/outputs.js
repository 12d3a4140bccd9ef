// Where an output's pieces go, in order, as the tool writes them: into a file
// the user chose, or into a download, a Blob the browser builds from a
// stream of the pieces and keeps on disk. Neither holds an output whole:
// write(bytes) gives a promise kept once the destination has taken the
// piece, and the worker writes no further ahead of that than a few pieces
// (where the engine lets it wait; see worker.js). The promise gives a spare:
// a piece the destination is done with (this one, or one before it), whose
// memory the worker can fill again, so that a long dump moves a few pieces
// round and round instead of leaving hundreds for the collectors, which run
// seldom while a page only passes pieces on.
// The most pieces that ever waited in the page for a destination to take
// them: for the tests and the benchmark, as the page's memory follows it.
export const measured = { waiting: 0 };
// A download's URL lives until the next download or a few seconds after
// it starts, whichever comes first.
const urlLife = 10000;
let current = null;

// Gives a spare's memory back at once, where no worker takes it again:
// detached, or in Blink, whose detached buffers keep their memory under
// an empty buffer until its collector runs (measured: 64 dropped 16 MiB
// buffers held 1 GiB), moved into a message that nobody will read, which
// frees it (there the same 64 held 38 MiB at most; in Firefox, detaching
// them is the cheaper). navigator.userAgentData is Blink's alone.
const blink = 'userAgentData' in navigator;
export const detachFrees = !blink;
const drain = new MessageChannel();
drain.port2.close();
export const giveBack = (spare) => spare && !spare.buffer.detached &&
    (detachFrees ? spare.buffer.transfer(0) : drain.port1.postMessage(null, [spare.buffer]));

// A stream that hands on the pieces put into it when its reader asks for
// them; put(bytes) is kept when the reader has the piece. With recycle,
// for a reader that copies what it reads (a Response's body), it gives
// the piece handed on before as a spare: a reader asks again only once it
// is done with the last piece. Self-contained: a download's worker runs
// it too (see intoDownload). seen(count) is told how many wait.
function pieceStream({ recycle = false, seen = () => {} } = {}) {
    const waiting = [];
    let asked = null;
    let closing = false;
    let broken = false;
    let input;
    let handed = null;
    const handOn = () => {
        const { bytes, taken } = waiting.shift();
        const spare = recycle ? handed : null;
        handed = bytes;
        input.enqueue(bytes);
        taken(spare);
        if (closing && waiting.length === 0) {
            input.close();
        }
    };
    const stream = new ReadableStream({
        start: (controller) => { input = controller; },
        pull: () => {
            if (waiting.length > 0) {
                handOn();
                return null;
            }
            return new Promise((resolve) => { asked = resolve; });
        },
        // Its reader gone (a pipe whose destination failed), every piece is
        // taken at once, so the run that writes them goes on to its end.
        cancel: () => {
            broken = true;
            waiting.splice(0).forEach(({ taken }) => taken(null));
        },
    }, { highWaterMark: 0 });
    return {
        stream,
        put(bytes) {
            if (broken) {
                return Promise.resolve(null);
            }
            const taken = new Promise((resolve) => waiting.push({ bytes, taken: resolve }));
            seen(waiting.length);
            if (asked) {
                asked();
                asked = null;
                handOn();
            }
            return taken;
        },
        // Closes the stream once the pieces still waiting are read.
        close() {
            closing = true;
            if (waiting.length === 0 && !broken) {
                input.close();
            }
        },
        fail: (error = new DOMException('cancelled', 'AbortError')) => broken || input.error(error),
    };
}
const counted = (waiting) => { measured.waiting = Math.max(measured.waiting, waiting); };

// Blink keeps the first 5 MiB of a Blob built from a stream in the
// browser's own memory (the rest goes to disk) for as long as any handle
// to the Blob lives, and the page's handle lives until the page's
// collector next runs: measured, 5 MiB a dump, piling up from one dump to
// the next. A large download's stream therefore starts with this many
// zero bytes, and the Blob the page is given is a slice that leaves them
// out, all of it on disk; the whole Blob goes with the worker that built
// it.
const lead = blink ? 8 << 20 : 0;
const leadFrom = 64 << 20;

// A download's worker: builds the Blob from the pieces posted to it,
// answering each with the spare it gives back, then posts the Blob, or
// why it could not be built (the browser's disk full). A lead message
// first puts that many zero bytes ahead of the pieces, which the Blob
// posted leaves out.
function buildBlob(pieceStream) {
    const pieces = pieceStream({ recycle: true });
    let head = null;
    let headSize = 0;
    new Response(pieces.stream).blob()
        .then((blob) => postMessage({ type: 'built', blob: headSize ? blob.slice(headSize) : blob }),
            (error) => postMessage({ type: 'failed', message: String(error && error.message || error) }));
    onmessage = async ({ data }) => {
        if (data.type === 'lead') {
            head = new Uint8Array(data.size);
            headSize = data.size;
            pieces.put(head);
        } else if (data.type === 'piece') {
            let spare = await pieces.put(data.bytes);
            if (spare === head) {
                spare = head = null; // not a piece of the page's
            }
            postMessage({ type: 'taken', spare }, spare ? [spare.buffer] : []);
        } else {
            pieces.close();
        }
    };
}
let builderUrl = null;
const builder = () => new Worker(builderUrl = builderUrl || URL.createObjectURL(new Blob(
    [`'use strict';\n(${buildBlob})(${pieceStream});\n`], { type: 'text/javascript' })));

// Downloads what the URL holds; end() lets go of it once the download
// can no longer need it.
function download(href, name, end) {
    release();
    const link = document.createElement('a');
    link.href = href;
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    current = end;
    setTimeout(() => release(end), urlLife);
}

// Downloads the Blob under a URL of its own. The function that lets go
// of the URL closes over the URL alone: made inside a destination, it
// kept the destination's state, and so its Blob, alive until the URL's
// timer ran out, even when the next run had let go of the URL before.
function downloadBlob(blob, name) {
    const url = URL.createObjectURL(blob);
    download(url, name, () => URL.revokeObjectURL(url));
}

// Lets go of the current download (only if it is still `which`).
export function release(which = current) {
    if (current !== null && current === which) {
        current();
        current = null;
    }
}

// Each destination: write(bytes) as pieces come, then finish(whole,
// signal): a whole output is completed; one that is not, or whose signal
// was aborted, is dropped and leaves nothing behind (a chosen file stays
// as it was), the abort rethrown.
//
// A download's Blob is built in a worker of its own, ended as soon as the
// page has the Blob: whatever building it left (the pieces, the
// Response's buffers) goes with it at once. Built in the page, it stayed
// until the page's collector next ran, seldom while the page only passes
// pieces on. (The page itself must make the URL: Blink downloads no URL
// a worker made for a page opened from disk.)
//
// size: how large the output is expected to be.
export function intoDownload(name, size = 0) {
    const worker = builder();
    if (lead > 0 && size >= leadFrom) {
        worker.postMessage({ type: 'lead', size: lead });
    }
    const answers = [];
    let failure = null;
    let built;
    const blob = new Promise((resolve, reject) => { built = { resolve, reject }; });
    blob.catch(() => {});
    // Once the Blob cannot be built, every piece is taken at once, and
    // finish() tells why.
    const fail = (message) => {
        // (The browser's own words, message, are not the page's to show.)
        failure = Object.assign(new Error('the browser could not keep the download'), { page: true, cause: message });
        answers.splice(0).forEach((answer) => answer(null));
        built.reject(failure);
        worker.terminate();
    };
    worker.onmessage = ({ data }) => {
        if (data.type === 'taken') {
            answers.shift()(data.spare);
        } else if (data.type === 'built') {
            built.resolve(data.blob);
        } else {
            fail(data.message);
        }
    };
    worker.onerror = (event) => {
        event.preventDefault();
        fail(event.message || 'its worker failed');
    };
    return {
        write(bytes) {
            if (failure) {
                return Promise.resolve(null);
            }
            counted(answers.length + 1);
            // The piece's buffer moves to the worker (a piece is the one
            // view of its buffer); a view from inside a buffer is copied.
            const whole = bytes.byteOffset === 0 && bytes.byteLength > 0 && !bytes.buffer.detached;
            worker.postMessage({ type: 'piece', bytes }, whole ? [bytes.buffer] : []);
            return new Promise((resolve) => answers.push(resolve));
        },
        async finish(whole, signal) {
            if (!whole || signal.aborted) {
                worker.terminate();
                signal.throwIfAborted();
                return;
            }
            worker.postMessage({ type: 'close' });
            try {
                const whole = await blob;
                // A run let go of while its Blob was being completed
                // downloads nothing.
                signal.throwIfAborted();
                downloadBlob(whole, name);
            } finally {
                worker.terminate();
            }
        },
    };
}

// A file the user chose, as the WritableStream the browser gives for it: the
// pieces are piped into it under the run's signal, so Cancel, or the run let
// go of, aborts it and the file changes only when all is written. A failed
// run, or a write that failed (a full disk), leaves it as it was too. Each
// piece taken is handed back as a spare once the next is read: the pipe reads
// no further while a write is on its way.
export function intoFile(writable, signal) {
    const pieces = pieceStream({ recycle: true, seen: counted });
    const piped = pieces.stream.pipeTo(writable, { signal, preventClose: true });
    piped.catch(() => {});
    return {
        write: pieces.put,
        async finish(whole) {
            if (!whole) {
                pieces.fail(new Error('the run failed'));
                await piped.catch(() => {});
                signal.throwIfAborted();
                return;
            }
            pieces.close();
            await piped.catch((error) => {
                throw signal.aborted ? signal.reason : error;
            });
            signal.throwIfAborted();
            await writable.close();
        },
    };
}

// The tool's whole text (its bytes, or a string), as a download.
export function saveText(text, name) {
    downloadBlob(new Blob([text], { type: 'text/plain' }), name);
}

// A stream of pieces whose waiting is measured.
export const countedPieces = () => pieceStream({ seen: counted });
