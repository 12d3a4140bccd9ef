// The Node library against the command it wraps: list() reads the listing
// into the stated fields, run() gives the command's exact bytes, dump()
// writes the command's output; misuse throws, a failed step does not.
//   SRTX_NPM=build/wasm/npm SRTX_JS=build/wasm/srtx.js MAKE_CONTAINER=build/wasm/make-container.js \
//       node --test tests/node
'use strict';
const assert = require('node:assert/strict');
const { test } = require('node:test');
const { execFileSync, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const root = path.resolve(__dirname, '../..');
const npm = path.resolve(process.env.SRTX_NPM || 'build/wasm/npm');
const srtxJs = path.resolve(process.env.SRTX_JS || 'build/wasm/srtx.js');
const maker = path.resolve(process.env.MAKE_CONTAINER || 'build/wasm/make-container.js');
const srtx = require(npm);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'srtx-node-'));
const example = path.join(root, 'examples/example.srt');
const ssd = path.join(root, 'examples/example02.ssd');

// Containers: the example, byte edits of it, and the builder's own.
function edited(name, edit) {
    const bytes = fs.readFileSync(example);
    edit(bytes);
    fs.writeFileSync(path.join(work, name), bytes);
    return path.join(work, name);
}
function made(name, ...args) {
    execFileSync('node', [maker, ...args, path.join(work, name)]);
    return path.join(work, name);
}
const badSize = edited('bad-size.srt', (bytes) => {
    // Stream 2's index slot points at stream 1's entry: 0 bytes on, not 144.
    const slots = bytes.readUInt32BE(12) + 16;
    bytes.writeUInt32BE(bytes.readUInt32BE(slots + 4), slots + 8);
});
const words = (list) => list.map((word, index) => ({ index, word, badSize: false }));
const warned = [...words([7, 1024]), { index: 2, word: 1024, badSize: true }];
const ssdMagic = edited('ssd.srt', (bytes) => { bytes[bytes.readUInt32BE(4)] = 0x73; });
const negativeCount = edited('negative.srt', (bytes) => bytes.writeInt32BE(-5, bytes.readUInt32BE(4) + 4));
// name, container, then the expected status, count, streams, BAD SIZE at the end and failed step.
const cases = [
    ['the example', example, 0, 3, words([7, 1024, -2]), false, null],
    ['a container whose name holds a line feed', edited('two\nlines.srt', () => {}), 0, 3, words([7, 1024, -2]), false, null],
    ['a BAD SIZE container', badSize, 0, 3, warned, true, null],
    ['no streams', made('none.srt', 'streams', '0'), 0, 0, [], true, null],
    ['20,000 streams, printed in many writes', made('many.srt', 'streams', '20000'), 0, 20000,
        words(Array.from({ length: 20000 }, (_, index) => 3 * index)), false, null],
    ['a damaged SSD block header', ssdMagic, 1, null, [], false, 'check SSD block header'],
    ['a damaged DSP block header', made('dsp.srt', 'damaged', '1'), 1, 5, [], false, 'check DSP block header'],
    ['a negative stream count', negativeCount, 1, -5, [], false, 'check DSP block header'],
    ['a damaged RND block header', made('rnd.srt', 'damaged', '4'), 1, null, [], false, 'check RND block header'],
    ['a missing file', path.join(work, 'missing.srt'), 1, null, [], false, 'open input'],
].map(([name, file, status, count, streams, end, step]) => ({ name, file, status, count, streams, end, step }));

for (const c of cases) {
    test(`list() and run() of ${c.name}`, async () => {
        const listed = await srtx.list(c.file);
        const command = spawnSync('node', [srtxJs, c.file]);
        assert.deepEqual(
            { status: listed.status, count: listed.count, streams: listed.streams, end: listed.badSizeAtEnd, step: listed.failedStep },
            { status: c.status, count: c.count, streams: c.streams, end: c.end, step: c.step });
        assert.equal(listed.text, command.stdout.toString());
        assert.equal(listed.streams, listed.streams, 'the streams are made once');
        assert.deepEqual(JSON.parse(JSON.stringify(listed)).streams, c.streams);
        assert.deepEqual(await srtx.run([c.file]), { status: command.status, stdout: command.stdout, stderr: command.stderr });
    });
}

test('run() of the example prints what the command prints, relative to the working folder', async () => {
    process.chdir(path.join(root, 'examples'));
    const result = await srtx.run(['example.srt']);
    assert.equal(result.stdout.toString(), 'example.srt...\n3 streams\n  0:\t7\n  1:\t1024\n  2:\t-2\n');
    assert.equal(result.status, 0);
    assert.equal(process.exitCode, undefined);
});

test('dump() writes the command\'s bytes, and reports a bad stream number or a failed step', async () => {
    const expected = path.join(work, 'expected.kvdsp');
    execFileSync('node', [srtxJs, example, '2', ssd, expected]);
    const dumps = [
        [2, path.join(work, 'out.kvdsp'), { status: 0, failedStep: null, message: '' }],
        ['7', path.join(work, 'seven.kvdsp'),
            { status: 1, failedStep: null, message: 'bad stream number, there are 3 stream headers in this .srt' }],
        [1, ssd, { status: 1, failedStep: 'check output is not an input', message: 'error: check output is not an input failed' }],
    ];
    for (const [stream, output, result] of dumps) {
        assert.deepEqual(await srtx.dump(example, stream, ssd, output), result);
    }
    assert.deepEqual(fs.readFileSync(path.join(work, 'out.kvdsp')), fs.readFileSync(expected));
});

// [call, what it throws (its class and code) or the dump's result]
test('arguments are checked as fs checks them; the ES module gives the same calls', async () => {
    const out = path.join(work, 'args.kvdsp');
    const rows = [
        [() => srtx.list(3), TypeError, 'ERR_INVALID_ARG_TYPE'],
        [() => srtx.list('x'.repeat(32767)).then((listed) => listed.failedStep), 'open input'],
        [() => srtx.list(Buffer.from(example)).then((listed) => listed.count), 3],
        [() => srtx.list(Buffer.from([0x2f, 0xff, 0x2e])), TypeError, 'ERR_INVALID_ARG_VALUE'],
        [async () => srtx.explainStep(42), TypeError, 'ERR_INVALID_ARG_TYPE'],
        [() => srtx.list('x'.repeat(32768)), Error, 'ENAMETOOLONG'],
        [() => srtx.dump('c'.repeat(30000), 1, 's'.repeat(30000), 'o'.repeat(30000)), Error, 'ENAMETOOLONG'],
        [() => srtx.run(Array(100).fill('a'.repeat(1000))), Error, 'ENAMETOOLONG'],
        [() => srtx.list(`${example}\0.txt`), TypeError, 'ERR_INVALID_ARG_VALUE'],
        [() => srtx.list(new URL('https://example.org/example.srt')), TypeError, 'ERR_INVALID_URL_SCHEME'],
        [() => srtx.run('example.srt'), TypeError, 'ERR_INVALID_ARG_TYPE'],
        [() => srtx.dump(example, 2, ssd, `${out}\0.bak`), TypeError, 'ERR_INVALID_ARG_VALUE'],
        [() => srtx.dump(example, 1e21, ssd, out), RangeError, 'ERR_OUT_OF_RANGE'],
        [() => srtx.dump(example, 1.5, ssd, out), RangeError, 'ERR_OUT_OF_RANGE'],
        [() => srtx.dump(example, NaN, ssd, out), RangeError, 'ERR_OUT_OF_RANGE'],
        [() => srtx.dump(example, '1000000000000000000000', ssd, out),
            { status: 1, failedStep: null, message: 'bad stream number, there are 3 stream headers in this .srt' }],
        [() => srtx.dump(example, -1, ssd, out),
            { status: 1, failedStep: null, message: 'bad stream number, there are 3 stream headers in this .srt' }],
        [() => srtx.dump(pathToFileURL(example), 2, pathToFileURL(ssd), pathToFileURL(out)),
            { status: 0, failedStep: null, message: '' }],
    ];
    for (const [call, kind, code] of rows) {
        if (typeof kind === 'function') {
            await assert.rejects(call(), (error) => error instanceof kind && error.code === code, String(call));
        } else {
            assert.deepEqual(await call(), kind, String(call));
        }
    }
    assert.equal((await srtx.list(pathToFileURL(example))).count, 3);
    const esm = await import(path.join(npm, 'lib/index.mjs'));
    assert.equal((await esm.list(example)).count, 3);
});

// A run is in a worker thread: the caller's timers fire and its reads go on
// meanwhile, calls at once give what calls in turn give, and an abort ends
// the run.
test('a call leaves the event loop free, runs beside others, and ends on abort', async () => {
    const large = made('large.srt', 'streams', '1000000');
    let ticks = 0;
    const timer = setInterval(() => { ticks += 1; }, 1);
    const { count } = await srtx.list(large);
    clearInterval(timer);
    assert.equal(count, 1000000);
    assert.ok(ticks > 3, `${ticks} ticks of a 1 ms timer during the listing`);

    const fifo = path.join(work, 'fifo.kvdsp');
    const data = path.join(work, 'mib01.ssd');
    fs.writeFileSync(data, Buffer.alloc(1 << 20, 7));
    execFileSync('mkfifo', [fifo]);
    const read = fs.promises.readFile(fifo);
    assert.deepEqual(await srtx.dump(example, 1, data, fifo), { status: 0, failedStep: null, message: '' });
    assert.equal((await read).length, 144 + (1 << 20));

    const listed = (c) => srtx.list(c.file).then((r) => [r.status, r.count, r.text]);
    const oneByOne = [];
    for (const c of cases) {
        oneByOne.push(await listed(c));
    }
    assert.deepEqual(await Promise.all(cases.map(listed)), oneByOne);

    for (const when of [0, 5]) {
        const control = new AbortController();
        when ? setTimeout(() => control.abort(), when) : control.abort();
        await assert.rejects(srtx.list(large, { signal: control.signal }), { name: 'AbortError', code: 'ABORT_ERR' });
    }
    assert.equal((await srtx.list(example, { signal: new AbortController().signal })).count, 3);
});

// The listing as the tool prints it, in pieces cut anywhere: every cut gives
// the same listing. Text, container path, then count, words, BAD SIZE streams, BAD SIZE at the end.
test('a listing read in pieces cut anywhere', () => {
    const reader = require(path.join(npm, 'lib/listing_reader.js'));
    const rows = [
        ['x.srt...\n3 streams\n  0:\t7\n  1:\t1024\n  2:\t-2\n', 'x.srt', 3, [7, 1024, -2], [], false],
        ['x.srt...\n3 streams\n  0:\t7\nBAD SIZE\n  1:\t-2147483648\nBAD SIZE\n', 'x.srt', 3, [7, -2147483648], [1], true],
        ['a\nb.srt...\n2 streams\n  0:\t1', 'a\nb.srt', 2, [1], [], false],
        ['a\nb.srt...\n2 streams\n  0:\t1', null, null, [], [], false],
        ['x.srt...\n-5 streams\n', 'x.srt', -5, [], [], false],
        ['x.srt...\n5 streams', 'x.srt', null, [], [], false],
        // An index out of its place, and a line of other text: read as before the index was passed over.
        ['x.srt...\n3 streams\n  0:\t7\n  5:\t8\nx:\t9\n', 'x.srt', 3, [7, 8, 9], [], false],
        // More lines than the count line said: the words grow past it.
        ['x.srt...\n1 streams\n  0:\t1\n  1:\t2\nBAD SIZE\n  2:\t-3\n', 'x.srt', 1, [1, 2, -3], [2], false],
    ];
    // A damaged container's count line claims far more streams than its text
    // lists: the words are sized by the text.
    assert.ok(reader.parse(Buffer.from('x.srt...\n2000000000 streams\n  0:\t1\n'), 'x.srt').words.buffer.byteLength < 1024);
    for (const [text, container, count, words, bad, end] of rows) {
        const bytes = Buffer.from(text);
        for (let cut = 0; cut <= bytes.length; ++cut) {
            for (let second = cut; second <= bytes.length; ++second) {
                const pieces = reader.reader(container);
                [bytes.subarray(0, cut), bytes.subarray(cut, second), bytes.subarray(second)].forEach(pieces.take);
                const listing = pieces.finish();
                assert.deepEqual([listing.count, [...listing.words], [...listing.badSize], listing.badEnd],
                    [count, words, bad, end], `${JSON.stringify(text)} cut at ${cut} and ${second}`);
            }
        }
    }
});

// Whatever aborts or exits around them, every call settles: the first calls
// and one waiting share a signal, three more wait without one; a worker that
// exits on its own fails its call alone; an aborted dump's output no longer
// grows once its call has rejected.
test('no call is lost, and an abort rejects once its worker has stopped', async () => {
    const large = made('pool.srt', 'streams', '300000');
    const cores = typeof os.availableParallelism === 'function' ? os.availableParallelism() : os.cpus().length;
    const control = new AbortController();
    const shared = Array.from({ length: cores + 1 }, () => srtx.list(large, { signal: control.signal }));
    const free = Array.from({ length: 3 }, () => srtx.list(large));
    setTimeout(() => control.abort(), 20);
    const settled = await Promise.allSettled([...shared, ...free]);
    assert.deepEqual(settled.map((each) => each.status === 'fulfilled' ? each.value.count : each.reason.code),
        [...Array(cores + 1).fill('ABORT_ERR'), 300000, 300000, 300000]);

    const call = srtx[Symbol.for('srtx.call')];
    await assert.rejects(call('exit', ['3']), { code: 'ERR_SRTX_WORKER_EXITED' });
    assert.equal((await srtx.list(example)).count, 3);

    const data = path.join(work, 'aborted01.ssd');
    const out = path.join(work, 'aborted.kvdsp');
    fs.closeSync(fs.openSync(data, 'w'));
    fs.truncateSync(data, 1 << 30);
    const dumping = new AbortController();
    const dumped = srtx.dump(example, 1, data, out, { signal: dumping.signal });
    while (!fs.existsSync(out) || fs.statSync(out).size === 0) {
        await new Promise((resolve) => setTimeout(resolve, 1));
    }
    dumping.abort();
    await assert.rejects(dumped, { code: 'ABORT_ERR' });
    const size = fs.statSync(out).size;
    await new Promise((resolve) => setTimeout(resolve, 50));
    assert.equal(fs.statSync(out).size, size);
    assert.ok(size < 144 + (1 << 30), 'the dump was stopped');
});
