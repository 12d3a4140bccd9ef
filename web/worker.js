// The page's worker: runs srtx once per message, each time in a fresh instance
// of the module (createSrtx, above), on the chosen files mounted in place.
// Standard output and error come back byte for byte; each output file leaves
// the module in pieces as it is written, never held whole inside it.
'use strict';

// Pieces of an output are folded into one Blob every so often, so that the
// browser may keep a large output out of this worker's memory.
const foldEvery = 64 << 20;
const reportEvery = 4 << 20;

self.onmessage = async (event) => {
    const { args, files, outputs, streamed } = event.data;
    try {
        self.postMessage(await run(args, files, outputs, streamed));
    } catch (error) {
        self.postMessage({ type: 'failed', message: String(error && error.message || error) });
    }
};

// streamed: every piece of an output is posted as it is written, rather than
// gathered into a Blob.
async function run(args, files, outputs, streamed) {
    const trace = [];
    const module = await createSrtx({
        thisProgram: 'srtx',
        noInitialRun: true,
        onTraceRun: (step, start, size, count) => trace.push([step, start, size, count]),
        print: () => {},
        printErr: () => {},
    });
    const FS = module.FS;
    // The files are read where they are; the tool sees them under their own
    // names in its working folder, as on a command line.
    readInWindows(FS.filesystems.WORKERFS);
    FS.mkdir('/in');
    FS.mount(FS.filesystems.WORKERFS, { files }, '/in');
    FS.mkdir('/work');
    FS.chdir('/work');
    for (const file of files) {
        FS.symlink('/in/' + file.name, '/work/' + file.name);
    }

    let minor = 0;
    const sink = (path, take) => {
        const device = FS.makedev(64, minor++);
        FS.registerDevice(device, {
            open() {},
            close() {},
            read() {
                return 0;
            },
            write(stream, buffer, offset, length) {
                take(new Uint8Array(buffer.buffer, buffer.byteOffset + offset, length).slice());
                return length;
            },
        });
        FS.mkdev(path, device);
    };

    const printed = { 1: [], 2: [] };
    for (const fd of [1, 2]) {
        sink('/dev/srtx' + fd, (bytes) => printed[fd].push(bytes));
        FS.close(FS.getStream(fd));
        FS.open('/dev/srtx' + fd, 1 /* write only; takes the lowest free descriptor, fd */);
    }

    let written = 0;
    let reported = 0;
    const pieces = new Map();
    for (const name of outputs) {
        const output = { parts: [], pending: 0 };
        pieces.set(name, output);
        sink('/work/' + name, (bytes) => {
            written += bytes.length;
            if (streamed) {
                self.postMessage({ type: 'piece', name, bytes }, [bytes.buffer]);
            } else {
                output.parts.push(bytes);
                output.pending += bytes.length;
                if (output.pending >= foldEvery) {
                    output.parts = [new Blob(output.parts)];
                    output.pending = 0;
                }
            }
            if (written - reported >= reportEvery) {
                reported = written;
                self.postMessage({ type: 'progress', written });
            }
        });
    }

    const status = module.callMain(args);
    const result = {
        type: 'done', status, stdout: concat(printed[1]), stderr: concat(printed[2]), trace, outputs: {},
    };
    for (const [name, output] of pieces) {
        result.outputs[name] = new Blob(output.parts, { type: 'application/octet-stream' });
    }
    return result;
}

// Every read of a mounted file costs a FileReaderSync call of about 2 ms
// here, whatever its length: the tool's 128 KiB reads of a 168 MB container
// took 3 s. They are served instead from a few large windows of each file
// (an index and its entries lie apart, so one window would thrash), each
// filled by one call; only the windows are held, never the whole file.
const windowSize = 16 << 20;
const windowsPerFile = 4;

function readInWindows(workerfs) {
    const readOne = workerfs.stream_ops.read;
    const held = new Map();
    const reader = new FileReaderSync();
    workerfs.stream_ops.read = (stream, buffer, offset, length, position) => {
        const node = stream.node;
        if (position >= node.size || length > windowSize) {
            return readOne(stream, buffer, offset, length, position);
        }
        const end = Math.min(node.size, position + length);
        const windows = held.get(node) || [];
        held.set(node, windows);
        let index = windows.findIndex((w) => position >= w.start && end <= w.start + w.bytes.length);
        if (index < 0) {
            const slice = node.contents.slice(position, Math.min(node.size, position + windowSize));
            windows.unshift({ start: position, bytes: new Uint8Array(reader.readAsArrayBuffer(slice)) });
            windows.length = Math.min(windows.length, windowsPerFile);
            index = 0;
        }
        const window = windows[index];
        windows.splice(index, 1);
        windows.unshift(window);
        buffer.set(window.bytes.subarray(position - window.start, end - window.start), offset);
        return end - position;
    };
}

function concat(list) {
    const total = list.reduce((sum, part) => sum + part.length, 0);
    const bytes = new Uint8Array(total);
    let at = 0;
    for (const part of list) {
        bytes.set(new Uint8Array(part.buffer, part.byteOffset, part.length), at);
        at += part.length;
    }
    return bytes;
}
