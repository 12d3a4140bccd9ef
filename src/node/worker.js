// One worker thread of the library's pool: runs the tool, one fresh instance
// of its WebAssembly module per call (the module compiled once, by the
// process, and handed over), and reads a listing's text as it is printed,
// so that neither the run nor the reading is ever on the caller's thread.
// Between calls it makes the next call's instance ahead.
'use strict';

const { parentPort, workerData } = require('worker_threads');
const createSrtx = require('./srtx-module.js');
const orderedStreams = require('./node_streams.js');
const listingReader = require('./listing_reader.js');

// What the tool prints, gathered in chunks that grow with the output to
// 1 MiB: each piece is copied once, into place, and handed to onPiece (where
// given) as a view of its chunk.
function gathering(onPiece = null) {
    const chunks = [];
    let chunk = new Uint8Array(0);
    let filled = 0;
    let total = 0;
    return {
        write(bytes) {
            for (let at = 0; at < bytes.length;) {
                if (filled === chunk.length) {
                    if (filled) {
                        chunks.push(chunk);
                    }
                    chunk = new Uint8Array(Math.min(1 << 20, Math.max(1 << 14, total)));
                    filled = 0;
                }
                const part = bytes.subarray(at, at + chunk.length - filled);
                chunk.set(part, filled);
                if (onPiece) {
                    onPiece(chunk.subarray(filled, filled + part.length));
                }
                filled += part.length;
                total += part.length;
                at += part.length;
            }
        },
        // All of it, as its chunks, each to be moved to the caller: joined
        // there only where asked for (a listing's text is megabytes, and a
        // fresh buffer of them costs as much as the run).
        pieces: () => [...chunks, chunk.subarray(0, filled)],
    };
}

// The tool's standard streams: input empty, output and error gathered for the
// caller. The module's own would be this process's descriptors 0, 1 and 2,
// which it would write to and close at its exit.
function captureStandardStreams(FS, stdout, stderr) {
    for (const [fd, gathered] of [[0, null], [1, stdout], [2, stderr]]) {
        FS.streams[fd] = {
            fd,
            node: { mode: 0o20000 /* a character device: read and written in order */ },
            flags: gathered ? 1 /* write only */ : 0 /* read only */,
            seekable: false,
            position: 0,
            stream_ops: {
                read: () => 0,
                write(stream, buffer, offset, length) {
                    gathered.write(buffer.subarray(offset, offset + length));
                    return length;
                },
            },
        };
    }
}

// One memory for every instance this thread makes, cleared before each: a
// fresh instance on it starts as it would on a memory of its own, and the
// thread neither reserves nor frees a memory per call (which costs more than
// the call, and more still with every thread of the pool doing it at once).
const memory = new WebAssembly.Memory({ initial: 32, maximum: 32 }); // the module's 2 MiB
const instance = () => {
    new Uint8Array(memory.buffer).fill(0);
    return createSrtx({
        thisProgram: 'srtx',
        wasmMemory: memory,
        noInitialRun: true,
        // The tool's exit ends its run, not this thread.
        quit: (status, toThrow) => {
            throw toThrow;
        },
        instantiateWasm(imports, receive) {
            receive(new WebAssembly.Instance(workerData.module, imports), workerData.module);
            return {};
        },
        preRun: [(made) => orderedStreams(made.FS)],
    });
};
let next = instance();

// { kind: 'run' | 'list', args } in; out { ok: result }, the run's status and
// bytes and for a listing what its text says, the buffers moved rather than
// copied, or { error: why } where the run broke (the pool then ends this
// thread). (A kind of 'exit' ends the thread with status args[0]: the tests'
// way to lose a worker mid-call.)
parentPort.on('message', async ({ kind, args }) => {
    if (kind === 'exit') {
        process.exit(Number(args[0]));
    }
    let result;
    let moved;
    try {
        const module = await next;
        const reader = kind === 'list' ? listingReader.reader(args[0]) : null;
        const stdout = gathering(reader && reader.take);
        const stderr = gathering();
        captureStandardStreams(module.FS, stdout, stderr);
        const status = module.callMain([...args]);
        result = { status, stdout: stdout.pieces(), stderr: stderr.pieces() };
        if (reader) {
            const { count, words, badSize, badEnd } = reader.finish();
            Object.assign(result, { count, words, badSize: [...badSize], badEnd });
        }
        moved = [...new Set([...result.stdout, ...result.stderr].map((piece) => piece.buffer)),
            ...(reader ? [result.words.buffer] : [])];
    } catch (error) {
        parentPort.postMessage({ error: String(error && error.message || error) });
        return;
    }
    parentPort.postMessage({ ok: result }, moved);
    // The next call's instance, made while the caller reads this result.
    next = instance();
});
