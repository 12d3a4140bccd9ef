// srtx as a library for Node programs: run the command, list a container,
// dump a stream. Each call runs the tool in a worker thread of a small pool
// (worker.js), so the caller's event loop stays free while it runs: timers
// fire, sockets are served, a FIFO the same process reads is drained. The
// module is compiled once per process and shared with the workers; what the
// tool prints is captured, never written to this process's streams, and its
// exit is the call's result. Arguments are checked as Node's fs checks them.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { fileURLToPath } = require('url');
const { Worker } = require('worker_threads');
const listingReader = require('./listing_reader.js');

const coded = (Kind, code, message) => Object.assign(new Kind(message), { code });
const received = (value) => (value === null ? 'null' : typeof value === 'object'
    ? `an instance of ${value.constructor ? value.constructor.name : 'Object'}` : `type ${typeof value} (${String(value)})`);

function checkedText(value, name) {
    if (typeof value !== 'string') {
        throw coded(TypeError, 'ERR_INVALID_ARG_TYPE', `The "${name}" argument must be of type string. Received ${received(value)}`);
    }
    if (value.includes('\0')) {
        throw coded(TypeError, 'ERR_INVALID_ARG_VALUE', `The argument '${name}' must be a string without null bytes. Received ${JSON.stringify(value)}`);
    }
    return value;
}

// A path: a string, or a file: URL, with no NUL byte (which would end it
// early for the tool).
function checkedPath(value, name) {
    if (value instanceof URL) {
        if (value.protocol !== 'file:') {
            throw coded(TypeError, 'ERR_INVALID_URL_SCHEME', 'The URL must be of scheme file');
        }
        value = fileURLToPath(value);
    } else if (typeof value !== 'string') {
        throw coded(TypeError, 'ERR_INVALID_ARG_TYPE',
            `The "${name}" argument must be of type string or an instance of URL. Received ${received(value)}`);
    }
    return checkedText(value, name);
}

// A stream number reaches the tool as a shell would pass it: a safe integer
// as its decimal digits, a string exactly as given.
function checkedStream(value) {
    if (typeof value === 'number') {
        if (!Number.isSafeInteger(value)) {
            throw coded(RangeError, 'ERR_OUT_OF_RANGE',
                `The value of "stream" is out of range. It must be a safe integer. Received ${value}`);
        }
        return String(value);
    }
    return checkedText(value, 'stream');
}

function checkedSignal(options) {
    if (options === undefined) {
        return null;
    }
    if (options === null || typeof options !== 'object') {
        throw coded(TypeError, 'ERR_INVALID_ARG_TYPE', `The "options" argument must be of type object. Received ${received(options)}`);
    }
    const { signal } = options;
    if (signal !== undefined && !(signal instanceof AbortSignal)) {
        throw coded(TypeError, 'ERR_INVALID_ARG_TYPE', `The "options.signal" property must be an instance of AbortSignal. Received ${received(signal)}`);
    }
    return signal || null;
}

const aborted = (signal) => Object.assign(new Error('The operation was aborted', { cause: signal.reason }),
    { name: 'AbortError', code: 'ABORT_ERR' });

// The pool: at most one worker a core, made when first needed; further calls
// wait their turn. An idle worker does not keep the process alive.
const most = Math.max(1, typeof os.availableParallelism === 'function' ? os.availableParallelism() : os.cpus().length);
const idle = [];
const waiting = [];
let workers = 0;
let compiled = null;

function worker() {
    if (idle.length > 0) {
        return idle.pop();
    }
    compiled = compiled || new WebAssembly.Module(fs.readFileSync(path.join(__dirname, 'srtx-module.wasm')));
    workers += 1;
    return new Worker(path.join(__dirname, 'worker.js'), { workerData: { module: compiled } });
}

function nextCall() {
    while (waiting.length > 0 && (idle.length > 0 || workers < most)) {
        waiting.shift()();
    }
}

// Runs the tool in a worker: resolves to what worker.js posts.
function call(kind, args, signal) {
    return new Promise((resolve, reject) => {
        if (signal && signal.aborted) {
            reject(aborted(signal));
            return;
        }
        let thread = null;
        const start = () => {
            if (signal && signal.aborted) {
                return;
            }
            thread = worker();
            thread.ref();
            thread.once('message', done);
            thread.once('error', failed);
            thread.postMessage({ kind, args });
        };
        const settle = () => {
            signal && signal.removeEventListener('abort', abort);
            thread.off('message', done).off('error', failed);
        };
        const done = (result) => {
            settle();
            thread.unref();
            idle.push(thread);
            nextCall();
            resolve(result);
        };
        const lost = () => {
            settle();
            thread.terminate();
            workers -= 1;
            nextCall();
        };
        const failed = (error) => {
            lost();
            reject(error);
        };
        // An abort ends the run where it stands: its worker goes with it.
        const abort = () => {
            if (thread) {
                lost();
            } else {
                waiting.splice(waiting.indexOf(start), 1);
            }
            reject(aborted(signal));
        };
        signal && signal.addEventListener('abort', abort, { once: true });
        waiting.push(start);
        nextCall();
    });
}

// What the tool printed, from the chunks the worker moved here.
const joined = (pieces) => Buffer.concat(pieces.map((piece) => Buffer.from(piece.buffer, piece.byteOffset, piece.length)));

// run(args, { signal }): the command line after the program's name. Resolves
// to { status, stdout, stderr }, the exact bytes the command would print.
async function run(args, options) {
    if (!Array.isArray(args)) {
        throw coded(TypeError, 'ERR_INVALID_ARG_TYPE', `The "args" argument must be an instance of Array. Received ${received(args)}`);
    }
    const checked = args.map((arg) => checkedText(arg, 'args'));
    const { status, stdout, stderr } = await call('run', checked, checkedSignal(options));
    return { status, stdout: joined(stdout), stderr: joined(stderr) };
}

// The stream objects of a listing.
function made({ words, badSize }) {
    const streams = new Array(words.length);
    for (let index = 0; index < words.length; ++index) {
        streams[index] = { index, word: words[index], badSize: false };
    }
    for (const index of badSize) {
        streams[index].badSize = true;
    }
    return streams;
}

// list(path, { signal }): the container's streams as the listing prints
// them, the text read in the worker as the tool prints it.
async function list(containerPath, options) {
    const listing = await call('list', [checkedPath(containerPath, 'containerPath')], checkedSignal(options));
    let streams = null;
    let text = null;
    // The streams and the text are made when first asked for: a million
    // streams are a million objects, and their text is megabytes.
    return {
        status: listing.status,
        count: listing.count,
        get streams() {
            streams = streams === null ? made(listing) : streams;
            return streams;
        },
        badSizeAtEnd: listing.badEnd,
        failedStep: listingReader.failedStep(joined(listing.stderr).toString('utf8')),
        get text() {
            text = text === null ? joined(listing.stdout).toString('utf8') : text;
            return text;
        },
    };
}

// dump(container, stream, ssd, output, { signal }): writes stream's DspEntry
// followed by the .ssd file to output. message is what the tool said beyond
// its progress line (the error line, or that the stream number is out of
// range); '' when the dump was written.
async function dump(container, stream, ssd, output, options) {
    const args = [checkedPath(container, 'container'), checkedStream(stream), checkedPath(ssd, 'ssd'),
        checkedPath(output, 'output')];
    const result = await run(args, options);
    const stderr = result.stderr.toString('utf8');
    const printed = result.stdout.toString('utf8');
    const progressEnd = printed.indexOf('...\n');
    const afterProgress = progressEnd < 0 ? printed : printed.slice(progressEnd + 4);
    return {
        status: result.status,
        failedStep: listingReader.failedStep(stderr),
        message: (stderr || afterProgress).trim(),
    };
}

module.exports = { run, list, dump, explainStep: listingReader.explain };
