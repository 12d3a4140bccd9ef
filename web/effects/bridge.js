// The page's one way to the tool: run srtx with these arguments on these
// files in a Web Worker, and get back what it printed, its exit status, its
// output files in pieces and the container reads it made. The module is
// compiled once; each run is a fresh instance of it in a worker of its own.
// A worker whose run ended is kept for a later one (in Blink, only after a
// small run); aborting a run ends its worker, so no half state outlives it.
// Every result carries the Files it was made from.
import { wasmBase64, workerSource } from 'srtx-worker';
import { inPageLimitWords, unreadableWords } from '../core/words.js';
import { detachFrees, giveBack } from './outputs.js';

let workerUrl = null;
let compiled = null;
// Workers whose runs ended, kept for the next runs (a folder's checks run
// a few at a time); run numbers tell a late answer from the current run's.
// One that moved many bytes is ended instead, a fresh one started in its
// place: the instance it ran and whatever else its collector has not yet
// taken back go with it, so one large dump leaves nothing to weigh on
// the next. Two are kept: a folder's lanes lease and release them in turn,
// and each worker kept is an engine thread's memory (tens of MiB in Blink).
const idle = [];
const keptIdle = 2;
const keptUpTo = 64 << 20;
let runs = 0;
// Set once a worker could read no File at all, not even a small Blob the
// page made itself (WebKit, for a page opened from disk): from then on
// the page reads the files itself, into memory, up to inPageLimit bytes
// of a run's files and output together. onInPage hears of it once.
let inPage = false;
const inPageLimit = 1 << 30;
let onInPage = () => {};
export const whenInPage = (listener) => { onInPage = listener; };
const probe = new Blob([new Uint8Array(1)]);

// Each part of a run's time, as a measure of the page's performance
// timeline (srtx-start, srtx-read, srtx-tool, srtx-hand-over, srtx-reader),
// for the benchmark's profile.
export const profiled = (part, start, duration) => performance.measure(`srtx-${part}`, { start, duration: Math.max(0, duration) });

// What went wrong in a worker outside its run, for the page to tell.
const problem = (message) => dispatchEvent(new CustomEvent('srtx-problem', { detail: message.message }));
// A run's own parts, as its worker timed them.
const profiledRun = ({ start, read, tool }, posted) => Object.entries({ start, read, tool }).forEach(([part, ms]) => profiled(part, posted, ms));
// A run's failure as its worker told it: a chosen file changed or gone, in
// the page's words; else the browser's error, by its kind.
const failureOf = (message) => (message.type === 'unreadable' ? inWords(unreadableWords(message.name)) : ofKind(message.kind, message.message));

export function cancelled() {
    return new DOMException('cancelled', 'AbortError');
}

// Why a run of this many bytes of files and output cannot be made here,
// or null when it can.
export const refusal = (bytes) => (!inPage || bytes <= inPageLimit ? null : inPageLimitWords(bytes));

// An error in the page's own words, and one the browser gave, known by its
// kind alone (its text is the browser's, never shown as the page's).
const inWords = (message) => Object.assign(new Error(message), { page: true });
const ofKind = (kind, message) => Object.assign(new Error(message), { kind: kind || 'Error' });

// The chosen files' bytes, for a worker that cannot read the files (nor
// any Blob the page hands it: it makes its own Files of the bytes); files
// given as bytes ({ name, size, contents }) already are.
async function copied(files, signal) {
    const copies = [];
    const reading = performance.now();
    for (const file of files) {
        try {
            copies.push(file instanceof Blob ? { name: file.name, contents: await file.arrayBuffer() } : file);
        } catch {
            throw inWords(unreadableWords(file.name));
        }
        signal.throwIfAborted();
    }
    profiled('read', reading, performance.now() - reading);
    return copies;
}

function compileOnce() {
    workerUrl = workerUrl || URL.createObjectURL(new Blob([workerSource], { type: 'text/javascript' }));
    compiled = compiled || WebAssembly.compile(Uint8Array.from(atob(wasmBase64), (c) => c.charCodeAt(0)));
}

// The module compiled and a worker started before the first run needs
// them (the page calls this once it is shown): a person's first listing
// waits for neither.
export function prepare() {
    compileOnce();
    if (runs === 0 && idle.length === 0) {
        idle.push(new Worker(workerUrl));
    }
}

// A worker for a run: an idle one, else a new one; given back (kept, up to
// keptIdle) or ended when the run is over.
const leased = () => idle.pop() || new Worker(workerUrl);
function released(worker, reusable) {
    worker.onmessage = worker.onerror = null;
    if (reusable && idle.length < keptIdle) {
        idle.push(worker);
    } else {
        worker.terminate();
        if (idle.length === 0) {
            idle.push(new Worker(workerUrl)); // the next run need not wait for one to start
        }
    }
}

// Many small runs in one worker, in turn, on files given as bytes: one
// message there, and their results back a few at a time (a folder's
// containers cost the page a round trip each otherwise). onResult(k,
// result, error) hears each as it ends; resolves once all have.
export function runMany({ runs: many, signal, onResult }) {
    compileOnce();
    const worker = leased();
    const id = ++runs;
    let left = many.length;
    return new Promise((resolve, reject) => {
        const end = (settle, value, reusable = false) => {
            signal.removeEventListener('abort', abort);
            released(worker, reusable);
            settle(value);
        };
        const abort = () => end(reject, cancelled());
        signal.addEventListener('abort', abort);
        const posted = performance.now();
        worker.onmessage = ({ data: message }) => {
            if (message.type === 'problem') {
                problem(message);
                return;
            }
            if (message.type !== 'ran') {
                end(reject, ofKind(message.kind, message.message));
                return;
            }
            for (const { k, ...result } of message.results) {
                left -= 1;
                result.took && profiledRun(result.took, posted);
                result.type === 'done' ? onResult(k, { ...result, files: many[k].files }) : onResult(k, null, failureOf(result));
            }
            if (left === 0) {
                profiled('hand-over', posted, performance.now() - posted - message.took);
                end(resolve, undefined, true);
            }
        };
        worker.onerror = (event) => {
            event.preventDefault();
            end(reject, ofKind('Error', event.message));
        };
        compiled.then((module) => signal.aborted || worker.postMessage({ type: 'many', id, module, runs: many, detachFrees, probe },
            many.flatMap((each) => each.files.map((file) => file.contents))), (error) => end(reject, ofKind(error && error.name, String(error))));
    });
}

// args: the command line after the program name, naming files by their
// names; outputs: names of the files the run may write, handed to
// onPiece(name, bytes) in pieces as they are written (the run waits when
// it is a few pieces ahead of onPiece's promises); bytesOut: how large
// they may grow.
export function run({ args, files, outputs = [], bytesOut = 0, onPiece = () => {}, signal }) {
    if (signal.aborted) {
        return Promise.reject(cancelled());
    }
    const moved = files.reduce((sum, file) => sum + file.size, bytesOut);
    const refused = refusal(moved);
    if (refused) {
        return Promise.reject(inWords(refused));
    }
    compileOnce();
    const worker = leased();
    const id = ++runs;
    return new Promise((resolve, reject) => {
        let over = false;
        let posted = 0;
        const end = (settle, value, reusable = false) => {
            over = true;
            signal.removeEventListener('abort', abort);
            released(worker, reusable);
            settle(value);
        };
        const abort = () => end(reject, cancelled());
        signal.addEventListener('abort', abort);
        const start = (given) => compiled.then((module) => {
            if (!signal.aborted) {
                posted = performance.now();
                worker.postMessage({ type: 'run', id, module, args, files: given, outputs, detachFrees, probe },
                    given.flatMap((file) => (file instanceof Blob ? [] : [file.contents])));
            }
        }).catch((error) => end(reject, ofKind(error && error.name, String(error))));
        const startInPage = () =>
            copied(files, signal).then((copies) => signal.aborted || start(copies), (error) => over || end(reject, error));
        worker.onmessage = (event) => {
            const message = event.data;
            if (message.type === 'piece') {
                // The worker writes on only as pieces are taken, and
                // fills the spares it is given again.
                Promise.resolve(onPiece(message.name, message.bytes)).then((spare) => {
                    if (over) {
                        giveBack(spare); // no worker will fill it again (an abort ends the run too)
                    } else {
                        const spares = spare instanceof Uint8Array && !spare.buffer.detached ? [spare.buffer] : [];
                        worker.postMessage({ type: 'taken', id, spare: spares[0] }, spares);
                    }
                });
            } else if (message.type === 'done') {
                // The hand-over: the run's time beyond the worker's own, to and fro.
                const { start, read, tool } = message.took;
                profiled('hand-over', posted, performance.now() - posted - start - read - tool);
                profiledRun(message.took, posted);
                end(resolve, { ...message, files }, moved <= keptUpTo);
            } else if (message.type === 'unreadable') {
                // One chosen file, changed or gone: this run fails alone.
                end(reject, failureOf(message));
            } else if (message.type === 'no-files') {
                // (Runs started together may each hear so.)
                inPage || onInPage();
                inPage = true;
                const again = refusal(moved);
                if (again) {
                    end(reject, inWords(again));
                } else {
                    startInPage();
                }
            } else if (message.type === 'problem') {
                problem(message);
            } else {
                end(reject, failureOf(message));
            }
        };
        worker.onerror = (event) => {
            event.preventDefault();
            end(reject, ofKind('Error', event.message));
        };
        inPage ? startInPage() : start(files);
    });
}

