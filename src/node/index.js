// srtx as a library for Node programs: run the command, list a container,
// dump a stream. Each call is a fresh instance of the tool's WebAssembly
// module, compiled once per process; what it prints is captured, never
// written to this process's streams, and its exit is the call's result.
'use strict';

const fs = require('fs');
const path = require('path');
const createSrtx = require('./srtx-module.js');
const orderedStreams = require('./node_streams.js');
const listingReader = require('./listing_reader.js');

let compiled = null;

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
        bytes: () => Buffer.concat([...chunks, chunk.subarray(0, filled)], total),
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

function checkStrings(values, what) {
    for (const value of values) {
        if (typeof value !== 'string') {
            throw new TypeError(`srtx: ${what} must be a string, not ${value === null ? 'null' : typeof value}`);
        }
    }
}

// Runs the tool, its standard output gathered into stdout (a gathering).
// Resolves to { status, stderr }.
async function execute(args, stdout) {
    compiled = compiled || new WebAssembly.Module(fs.readFileSync(path.join(__dirname, 'srtx-module.wasm')));
    const stderr = gathering();
    const module = await createSrtx({
        thisProgram: 'srtx',
        noInitialRun: true,
        // The tool's exit ends its run, not this process.
        quit: (status, toThrow) => {
            throw toThrow;
        },
        instantiateWasm(imports, receive) {
            receive(new WebAssembly.Instance(compiled, imports), compiled);
            return {};
        },
        preRun: [(instance) => orderedStreams(instance.FS)],
    });
    captureStandardStreams(module.FS, stdout, stderr);
    const status = module.callMain([...args]);
    return { status, stderr: stderr.bytes() };
}

// run(args): the command line after the program's name. Resolves to
// { status, stdout, stderr }, the exact bytes the command would print.
async function run(args) {
    if (!Array.isArray(args)) {
        throw new TypeError('srtx: run takes an array of argument strings');
    }
    checkStrings(args, 'every argument');
    const stdout = gathering();
    const { status, stderr } = await execute(args, stdout);
    return { status, stdout: stdout.bytes(), stderr };
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

// list(path): the container's streams as the listing prints them, each
// piece read as the tool prints it, while it is still in the cache.
async function list(containerPath) {
    checkStrings([containerPath], 'the container path');
    const reader = listingReader.reader(containerPath);
    const stdout = gathering(reader.take);
    const { status, stderr } = await execute([containerPath], stdout);
    const listing = reader.finish();
    let streams = null;
    let text = null;
    // The streams and the text are made when first asked for: a million
    // streams are a million objects, and their text is megabytes.
    return {
        status,
        count: listing.count,
        get streams() {
            streams = streams === null ? made(listing) : streams;
            return streams;
        },
        badSizeAtEnd: listing.badEnd,
        failedStep: listingReader.failedStep(stderr.toString('utf8')),
        get text() {
            text = text === null ? stdout.bytes().toString('utf8') : text;
            return text;
        },
    };
}

// dump(container, stream, ssd, output): writes stream's DspEntry followed by
// the .ssd file to output. message is what the tool said beyond its progress
// line (the error line, or that the stream number is out of range); '' when
// the dump was written.
async function dump(container, stream, ssd, output) {
    checkStrings([container, ssd, output], 'every path');
    if (typeof stream !== 'string' && !Number.isInteger(stream)) {
        throw new TypeError('srtx: the stream number must be an integer or a string');
    }
    const result = await run([container, String(stream), ssd, output]);
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
