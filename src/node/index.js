// srtx as a library for Node programs: run the command, list a container,
// dump a stream. Each call runs the tool in a worker thread of a small pool
// (worker.js), so the caller's event loop stays free while it runs: timers
// fire, sockets are served, a FIFO the same process reads is drained. The
// module is compiled once per process and shared with the workers; what the
// tool prints is captured, never written to this process's streams, and its
// exit is the call's result. Paths are taken as Node's fs takes them.
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

// A path: a string, a file: URL, or a Buffer or Uint8Array holding UTF-8
// (the tool takes text, so other bytes are refused), with no NUL byte (which
// would end it early for the tool).
const utf8 = new TextDecoder('utf-8', { fatal: true, ignoreBOM: true });
function checkedPath(value, name) {
    if (value instanceof URL) {
        if (value.protocol !== 'file:') {
            throw coded(TypeError, 'ERR_INVALID_URL_SCHEME', 'The URL must be of scheme file');
        }
        value = fileURLToPath(value);
    } else if (value instanceof Uint8Array) {
        try {
            value = utf8.decode(value);
        } catch {
            throw coded(TypeError, 'ERR_INVALID_ARG_VALUE', `The argument '${name}' must be valid UTF-8. Received ${received(value)}`);
        }
    } else if (typeof value !== 'string') {
        throw coded(TypeError, 'ERR_INVALID_ARG_TYPE',
            `The "${name}" argument must be of type string or an instance of Buffer or URL. Received ${received(value)}`);
    }
    return checkedText(value, name);
}

// The arguments are laid out on the tool's 128 KiB stack: each is bounded,
// as a system bounds a path, and so is their total, which run() and dump()
// would otherwise pile up past the stack's end.
const longestArgument = 32767;
const longestArguments = 65536;
function bounded(args) {
    let total = 0;
    for (const arg of args) {
        const bytes = Buffer.byteLength(arg) + 1;
        total += bytes;
        if (bytes > longestArgument + 1 || total > longestArguments) {
            throw Object.assign(coded(Error, 'ENAMETOOLONG', bytes > longestArgument + 1
                ? `ENAMETOOLONG: name too long: an argument of ${bytes - 1} bytes, past the ${longestArgument} bytes srtx takes`
                : `ENAMETOOLONG: name too long: arguments of more than ${longestArguments} bytes in all`), { errno: -36 });
        }
    }
    return args;
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

// The pool: at most one worker a core, made when first needed, and counted
// until it has exited; further calls wait their turn. Each call is a job
// record, { kind, args, signal, resolve, reject, worker, abort }, settled
// exactly once and taken out of the queue by identity. An idle worker does
// not keep the process alive, and a worker that fails or exits takes only
// its own job with it.
const most = Math.max(1, typeof os.availableParallelism === 'function' ? os.availableParallelism() : os.cpus().length);
const idle = [];
const queue = [];
let workers = 0;
let compiled = null;

function settle(job) {
    if (job.signal) {
        job.signal.removeEventListener('abort', job.abort);
    }
    if (job.worker) {
        job.worker.job = null;
        job.worker = null;
    }
}

// A worker's end, by error or exit, rejects the job it was running (an
// aborted one rejects once its worker's terminate() is done).
function lose(thread, error) {
    const job = thread.job;
    if (!job || job.ending) {
        return;
    }
    settle(job);
    job.reject(error);
}

function spawn() {
    compiled = compiled || new WebAssembly.Module(fs.readFileSync(path.join(__dirname, 'srtx-module.wasm')));
    workers += 1;
    const thread = new Worker(path.join(__dirname, 'worker.js'), { workerData: { module: compiled } });
    thread.job = null;
    thread.on('message', (answer) => {
        const job = thread.job;
        if (!job || job.ending) {
            return;
        }
        settle(job);
        if (answer.error !== undefined) {
            // The run broke inside the module: this worker is not used again.
            job.reject(coded(Error, 'ERR_SRTX_RUN_FAILED', `srtx's run failed in its worker: ${answer.error}`));
            thread.terminate();
            return;
        }
        thread.unref();
        idle.push(thread);
        job.resolve(answer.ok);
        pump();
    });
    thread.on('error', (error) => {
        const failure = error instanceof Error ? error : new Error(String(error));
        lose(thread, Object.assign(failure, { code: failure.code || 'ERR_SRTX_WORKER_FAILED' }));
    });
    thread.on('exit', (status) => {
        workers -= 1;
        const at = idle.indexOf(thread);
        if (at >= 0) {
            idle.splice(at, 1);
        }
        lose(thread, coded(Error, 'ERR_SRTX_WORKER_EXITED', `srtx's worker exited with code ${status} during the call`));
        pump();
    });
    return thread;
}

function pump() {
    while (queue.length > 0 && (idle.length > 0 || workers < most)) {
        const job = queue.shift();
        const thread = idle.pop() || spawn();
        thread.job = job;
        job.worker = thread;
        thread.ref();
        thread.postMessage({ kind: job.kind, args: job.args });
    }
}

// Runs the tool in a worker: resolves to what worker.js answers.
function call(kind, args, signal) {
    return new Promise((resolve, reject) => {
        if (signal && signal.aborted) {
            reject(aborted(signal));
            return;
        }
        const job = { kind, args, signal, resolve, reject, worker: null, ending: false, abort: null };
        // An abort ends the run where it stands: the call rejects once its
        // worker has stopped, so nothing it was writing changes after that.
        job.abort = () => {
            if (job.worker) {
                const thread = job.worker;
                job.ending = true;
                thread.terminate().then(() => {
                    settle(job);
                    reject(aborted(signal));
                });
                return;
            }
            const at = queue.indexOf(job);
            if (at >= 0) {
                queue.splice(at, 1);
                settle(job);
                reject(aborted(signal));
            }
        };
        if (signal) {
            signal.addEventListener('abort', job.abort, { once: true });
        }
        queue.push(job);
        pump();
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
    const { status, stdout, stderr } = await call('run', bounded(checked), checkedSignal(options));
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
    const listing = await call('list', bounded([checkedPath(containerPath, 'containerPath')]), checkedSignal(options));
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

// explainStep(step): a failed step's name in plain words.
const explainStep = (step) => listingReader.explain(checkedText(step, 'step'));

module.exports = { run, list, dump, explainStep };
// For the tests alone: a call of any kind the worker takes, its 'exit' among them.
Object.defineProperty(module.exports, Symbol.for('srtx.call'), { value: call });
