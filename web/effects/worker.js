// The page's worker: runs srtx once per message, each time in a fresh instance
// of the module (createSrtx, above; its WebAssembly compiled by the page and
// handed over with the run, so that no fetch is made), on the chosen files
// mounted in place.
// Standard output and error come back byte for byte; each output file leaves
// the module in pieces as it is written, never held whole inside it.

// Output pieces are gathered up to this size before they are posted: fewer
// messages, and each one worth a write of its own at the destination
// (Firefox's downloads took a 512 MiB dump a quarter faster in 4 MiB pieces
// than in 1 MiB ones).
const pieceSize = 4 << 20;
// The tool may be this many pieces ahead of the page's destination: where the
// engine has WebAssembly's JavaScript Promise Integration, a write past it
// suspends the run until the page says it has taken a piece. Elsewhere the
// run cannot wait, and pieces queue in the page.
const piecesAhead = 4;
let pacing = {};
// Where a run's time went, in ms: its instance made and its files mounted
// (start), the chosen files read (read), the tool's own work (tool); the
// page tells the rest apart (hand-over, its reader, the paint).
let took = {};
// Pieces the page is done with, filled again in the same run; what is left
// of them when it ends is given back, so an idle worker holds none.
let spares = [];
// Gives a buffer's memory back at once. Detaching it does so where the page
// says it frees it (see outputs.js); in Blink, whose detached buffers keep
// their memory until the collector runs, it is moved into a message that
// nobody will read instead, and freed with it (left to the collector, read
// windows a worker dropped took up to 200 MiB there).
let detachFrees = false;
const drain = new MessageChannel();
drain.port2.close();
const giveBack = (buffer) => buffer.detached || (detachFrees ? buffer.transfer(0) : drain.port1.postMessage(null, [buffer]));
const freshPiece = () => (spares.length ? new Uint8Array(spares.pop()) : new Uint8Array(pieceSize));

self.onmessage = async (event) => {
    if (event.data.type === 'taken') {
        const { id, spare } = event.data;
        if (spare) {
            (id === pacing.id && pacing.running && spare.byteLength === pieceSize ? spares.push(spare) : giveBack(spare));
        }
        if (id !== pacing.id) {
            return; // a late answer to an earlier run
        }
        pacing.unanswered -= 1;
        if (pacing.resume && pacing.unanswered < piecesAhead) {
            pacing.resume();
        }
        return;
    }
    if (event.data.type === 'many') {
        runMany(event.data);
        return;
    }
    const { id, module, args, files, outputs } = event.data;
    took = { at: performance.now(), start: 0, read: 0, tool: 0 };
    detachFrees = event.data.detachFrees;
    pacing = { id, unanswered: 0, resume: null, inMain: false, running: true };
    try {
        const result = unreadable(files, event.data.probe) || await run(module, args, files, outputs);
        self.postMessage(result, result.stdout ? [result.stdout.buffer, result.stderr.buffer] : []);
    } catch (error) {
        self.postMessage(failure(error, files, event.data.probe));
    } finally {
        pacing.running = false;
        spares.splice(0).forEach(giveBack);
    }
};
// What a run that threw says. A chosen file that can no longer be read
// mid-run (cut short, changed, removed) fails as one changed before the
// run does.
function failure(error, files, probe) {
    const gone = error && error.unreadable ? { type: 'unreadable', name: error.unreadable } : unreadable(files, probe);
    return gone && gone.type === 'unreadable' ? gone
        : { type: 'failed', kind: error && error.name, message: String(error && error.message || error) };
}

// Small runs in turn, on files given as bytes; their results go back a
// few at a time, at most every few milliseconds, the last at once. took:
// the worker's own time of the whole batch, which the page's hand-over
// leaves out.
async function runMany({ module, runs, detachFrees: frees, probe }) {
    detachFrees = frees;
    let results = [];
    let sent = performance.now();
    let worked = 0;
    for (let k = 0; k < runs.length; ++k) {
        const { args, files } = runs[k];
        pacing = { id: 0, unanswered: 0, resume: null, inMain: false, running: true };
        took = { at: performance.now(), start: 0, read: 0, tool: 0 };
        let result;
        try {
            result = unreadable(files, probe) || await run(module, args, files, []);
        } catch (error) {
            result = failure(error, files, probe);
        }
        pacing.running = false;
        worked += performance.now() - took.at;
        results.push({ k, ...result });
        if (k === runs.length - 1 || performance.now() - sent >= 8) {
            self.postMessage({ type: 'ran', results, took: worked },
                results.flatMap((each) => (each.stdout ? [each.stdout.buffer, each.stderr.buffer] : [])));
            results = [];
            sent = performance.now();
        }
    }
}

// What goes wrong in here outside a run reaches the page, which tells of it.
for (const type of ['error', 'unhandledrejection', 'securitypolicyviolation']) {
    self.addEventListener(type, (event) => self.postMessage({ type: 'problem', message: describe(event) }));
}
function describe(event) {
    return event.type === 'securitypolicyviolation' ? `${event.violatedDirective} blocked ${event.blockedURI}`
        : String(event.message || (event.reason && event.reason.message) || event.reason || event.type);
}

// Some browsers (WebKit, for a page opened from disk) do not let a worker
// read the files the page was given, nor any Blob at all; the page then
// reads them itself and hands over their bytes ({ name, contents }). A file
// that changed or went after it was chosen fails the same way, so a small
// Blob the page made itself tells the two apart: where that one reads, the
// worker reads Files, and only that file's run fails. Gives the message to
// post instead of running, or null.
let readable = false;
function unreadable(files, probe) {
    const reader = new FileReaderSync();
    // (Each engine has its own error for it: Firefox's for a removed file
    // is not even a DOMException.)
    const fails = (blob) => {
        try {
            reader.readAsArrayBuffer(blob.slice(0, 1));
            return false;
        } catch {
            return true;
        }
    };
    const failed = files.find((given) => given instanceof Blob && fails(given));
    if (!failed) {
        readable = readable || files.some((given) => given instanceof Blob);
        return null;
    }
    return readable || !fails(probe) ? { type: 'unreadable', name: failed.name } : { type: 'no-files' };
}

// Instantiates the module; with JSPI, its write import may suspend the run
// (the runtime's fd_write, found by name) and its main becomes a promising
// export (found through the runtime's own wrapper of it). Returns whether
// the run is paced.
function instantiate(config, imports, receive) {
    const env = imports.a;
    const write = Object.keys(env).find((key) => env[key].name === '_fd_write');
    const paced = typeof WebAssembly.Suspending === 'function' && write !== undefined;
    if (paced) {
        const plain = env[write];
        env[write] = new WebAssembly.Suspending((...args) => {
            const result = plain(...args);
            if (!pacing.inMain || pacing.unanswered < piecesAhead) {
                return result;
            }
            return new Promise((resolve) => {
                pacing.resume = () => {
                    pacing.resume = null;
                    resolve(result);
                };
            });
        });
    }
    WebAssembly.instantiate(config.wasmModule, imports).then((instance) => {
        let exports = instance.exports;
        if (paced) {
            const main = /\["asm"\]\["(\w+)"\]/.exec(String(config._main))[1];
            exports = { ...exports, [main]: WebAssembly.promising(exports[main]) };
        }
        receive({ exports }, config.wasmModule);
    }, (error) => self.postMessage({ type: 'failed', kind: error.name, message: String(error.message) }));
    config.paced = paced;
    return {};
}

// As callMain does, with main awaited: its end, a return or exit(), flushes
// and closes every stream, and gives the exit status.
async function callMainPaced(module, args) {
    const encoder = new TextEncoder();
    const argv = ['srtx', ...args].map((arg) => {
        const bytes = encoder.encode(arg + '\0');
        const at = module.stackAlloc(bytes.length);
        module.HEAPU8.set(bytes, at);
        return at;
    });
    const table = module.stackAlloc(4 * (argv.length + 1));
    module.HEAPU32.set([...argv, 0], table / 4);
    pacing.inMain = true;
    try {
        const status = await module._main(argv.length, table);
        pacing.inMain = false;
        module._exit(status);
        return status;
    } catch (error) {
        if (error.name !== 'ExitStatus') {
            throw error;
        }
        return error.status;
    } finally {
        pacing.inMain = false;
    }
}

// One memory for every instance this worker makes, cleared before each: a
// fresh instance on it starts as on a memory of its own, and no run
// reserves and frees one (the module's 2 MiB, fixed).
const memory = new WebAssembly.Memory({ initial: 32, maximum: 32 });

async function run(wasmModule, args, files, outputs) {
    const trace = [];
    new Uint8Array(memory.buffer).fill(0);
    const config = {
        thisProgram: 'srtx',
        noInitialRun: true,
        wasmModule,
        wasmMemory: memory,
        instantiateWasm: (imports, receive) => instantiate(config, imports, receive),
        onTraceRun: (step, start, size, count) => trace.push([step, start, size, count]),
        print: () => {},
        printErr: () => {},
    };
    const module = await createSrtx(config);
    const FS = module.FS;
    // The files are read where they are; the tool sees them under their own
    // names in its working folder, as on a command line. Bytes handed over
    // are files of the working folder itself.
    const releaseWindows = readInWindows(FS.filesystems.WORKERFS);
    FS.mkdir('/in');
    FS.mount(FS.filesystems.WORKERFS, { files: files.filter((file) => file instanceof Blob) }, '/in');
    FS.mkdir('/work');
    FS.chdir('/work');
    for (const file of files) {
        if (file instanceof Blob) {
            FS.symlink('/in/' + file.name, '/work/' + file.name);
        } else {
            FS.writeFile('/work/' + file.name, new Uint8Array(file.contents), { canOwn: true });
        }
    }

    let minor = 0;
    const sink = (path, take, closed = () => {}) => {
        const device = FS.makedev(64, minor++);
        FS.registerDevice(device, {
            open() {},
            close: closed,
            read() {
                return 0;
            },
            write(stream, buffer, offset, length) {
                take(buffer.subarray(offset, offset + length));
                return length;
            },
        });
        FS.mkdev(path, device);
    };

    const printed = { 1: [], 2: [] };
    for (const fd of [1, 2]) {
        sink('/dev/srtx' + fd, (bytes) => printed[fd].push(bytes.slice()));
        FS.close(FS.getStream(fd));
        FS.open('/dev/srtx' + fd, 1 /* write only; takes the lowest free descriptor, fd */);
    }

    // What an output holds when the run ends (a tool that stops without
    // closing it) follows too, before the run's result.
    const ends = [];
    for (const name of outputs) {
        let piece = freshPiece();
        let held = 0;
        const post = () => {
            if (held > 0) {
                const bytes = piece.subarray(0, held);
                pacing.unanswered += 1;
                self.postMessage({ type: 'piece', name, bytes }, [bytes.buffer]);
                piece = freshPiece();
                held = 0;
            }
        };
        sink('/work/' + name, (bytes) => {
            for (let at = 0; at < bytes.length;) {
                const taken = Math.min(bytes.length - at, pieceSize - held);
                piece.set(bytes.subarray(at, at + taken), held);
                held += taken;
                at += taken;
                if (held === pieceSize) {
                    post();
                }
            }
        }, post);
        ends.push(post);
    }

    const started = performance.now();
    took.start = started - took.at;
    const status = config.paced ? await callMainPaced(module, args) : module.callMain(args);
    ends.forEach((post) => post());
    releaseWindows();
    took.tool = performance.now() - started - took.read;
    return { type: 'done', status, stdout: concat(printed[1]), stderr: concat(printed[2]), trace, took };
}

// Every read of a mounted file costs a FileReaderSync call of about 2 ms
// here, whatever its length: the tool's 128 KiB reads of a 168 MB container
// took 3 s. They are served instead from a few large windows of each file
// (an index and its entries lie apart, so one window would thrash), each
// filled by one call; only the windows are held, never the whole file.
const windowSize = 16 << 20;
const windowsPerFile = 4;

// A window's memory is given back as soon as it is dropped, not when the
// collector next runs: a run copying 1.5 GiB drops a hundred of them, and a
// worker busy in one run seldom collects (Firefox: 90 MiB less in such a
// dump).
const release = (window) => giveBack(window.bytes.buffer);

function readInWindows(workerfs) {
    const readOne = workerfs.stream_ops.read;
    const held = new Map();
    // Where each file's last read ended.
    const ends = new Map();
    const reader = new FileReaderSync();
    workerfs.stream_ops.read = (stream, buffer, offset, length, position) => {
        const node = stream.node;
        if (position >= node.size || length > windowSize) {
            return readOne(stream, buffer, offset, length, position);
        }
        const end = Math.min(node.size, position + length);
        const straight = ends.get(node) === position;
        ends.set(node, end);
        const windows = held.get(node) || [];
        held.set(node, windows);
        let index = windows.findIndex((w) => position >= w.start && end <= w.start + w.bytes.length);
        if (index < 0) {
            // A file read straight through (an .ssd) holds one window, not
            // four: a read going on from the last one past a window's end
            // takes that window's place. Reads that take turns in two parts
            // of a file (a container's index and its entries) keep theirs.
            const passed = straight ? windows.findIndex((w) => position >= w.start && position <= w.start + w.bytes.length) : -1;
            if (passed >= 0) {
                release(windows.splice(passed, 1)[0]);
            }
            const slice = node.contents.slice(position, Math.min(node.size, position + windowSize));
            const reading = performance.now();
            let bytes;
            try {
                bytes = new Uint8Array(reader.readAsArrayBuffer(slice));
            } catch (error) {
                // (The chosen file, read once already, cannot be now.)
                throw Object.assign(error, { unreadable: node.name });
            }
            windows.unshift({ start: position, bytes });
            took.read += performance.now() - reading;
            windows.splice(windowsPerFile).forEach(release);
            index = 0;
        }
        const window = windows[index];
        windows.splice(index, 1);
        windows.unshift(window);
        buffer.set(window.bytes.subarray(position - window.start, end - window.start), offset);
        return end - position;
    };
    return () => held.forEach((windows) => windows.forEach(release));
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
