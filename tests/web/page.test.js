// The page in a real browser, opened from disk, in the engine SRTX_BROWSER
// names (engine.js): the listing, a damaged container's step and its mark on
// the map, dumps as downloads and into chosen files against the command-line
// tool, what a new choice does to what came before; served from 127.0.0.1,
// offline after one visit, installed, and updated; in every case no request
// beyond the page's own folder and nothing gone wrong in the page or its
// worker (errors, unhandled rejections, Content-Security-Policy violations).
//   SRTX_BROWSER=firefox SRTX_WEB=build/wasm/web SRTX_JS=build/wasm/srtx.js node --test tests/web
'use strict';
const assert = require('node:assert/strict');
const { test, before, after } = require('node:test');
const { execFileSync, spawnSync } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { launch, serve } = require('./engine');

const root = path.resolve(__dirname, '../..');
const web = path.resolve(process.env.SRTX_WEB || 'build/wasm/web');
const page = 'file://' + web + '/index.html';
const srtxJs = path.resolve(process.env.SRTX_JS || 'build/wasm/srtx.js');
const maker = path.resolve(process.env.MAKE_CONTAINER || 'build/wasm/make-container.js');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'srtx-web-'));
const example = path.join(root, 'examples/example.srt');
const ssd = path.join(root, 'examples/example02.ssd');
const engine = process.env.SRTX_BROWSER || 'chromium';
process.env.TZ = 'Asia/Kolkata'; // the browsers' local time, +05:30: ZIP dates are local
let browser;
const requests = [];
// The hosts the served rows start, whose requests are the page's own.
const hosts = [];
const served = async () => {
    const host = await serve(web);
    hosts.push(host);
    return host;
};

before(async () => {
    browser = await launch(work, engine);
});
after(async () => {
    await browser.close();
    fs.rmSync(work, { recursive: true, force: true });
    await Promise.all(hosts.map((host) => host.stop()));
    const remote = requests.filter((url) => !/^(file|blob|data):/.test(url) && !hosts.some((host) => url.startsWith(host.url)));
    assert.deepEqual(remote, [], 'the page asked the network');
});

// The page's own download step records what it would download (name, size
// and SHA-256 of the Blob) in place of a download the driver could not
// follow in every engine. With folder, the folder chooser gives a folder in
// the page's memory (a page opened from disk may have no private file
// system), each write taking delay ms as a slow disk would and failing from
// failAt on, as a full disk would; 'refused': the chooser is dismissed.
// Without, the page has no folder chooser.
const standIns = ({ folder, delay, failAt }) => {
    const sha256 = window.sha256 = async (blob) => [...new Uint8Array(await crypto.subtle.digest('SHA-256',
        await blob.arrayBuffer()))].map((b) => b.toString(16).padStart(2, '0')).join('');
    const blobs = new Map();
    const create = URL.createObjectURL;
    URL.createObjectURL = (blob) => {
        const url = create(blob);
        blobs.set(url, blob);
        return url;
    };
    const revoke = URL.revokeObjectURL;
    URL.revokeObjectURL = (url) => blobs.delete(url) && revoke(url);
    window.downloads = [];
    HTMLAnchorElement.prototype.click = function () {
        const blob = blobs.get(this.href);
        window.downloads.push(sha256(blob).then((hash) => ({ name: this.download, size: blob.size, hash, blob })));
    };
    // A folder whose files are Blobs; a writable keeps the standard's swap
    // file, the file taking its new bytes only when the writable closes. As
    // Chromium's, it refuses a name holding / or \\ (and . and ..), removes
    // only an empty folder, and once gone (window.gone) fails every call;
    // each look-up waits delay ms too, and window.lookups counts them.
    window.lookups = 0;
    window.gone = false;
    const folderOf = (name) => {
        const entries = new Map();
        const entry = async (key, create, make) => {
            window.lookups += 1;
            await new Promise((resolve) => setTimeout(resolve, delay));
            if (window.gone) {
                throw new DOMException('A requested file or directory could not be found', 'NotFoundError');
            }
            if (/[/\\]/.test(key) || ['', '.', '..'].includes(key)) {
                throw new TypeError("Failed to execute 'getFileHandle' on 'FileSystemDirectoryHandle': Name is not allowed.");
            }
            if (!entries.has(key) && !create) {
                throw new DOMException(`${key} is not there`, 'NotFoundError');
            }
            return entries.get(key) || entries.set(key, make()).get(key);
        };
        const folder = {
            name,
            entries,
            queryPermission: async () => 'granted',
            keys: () => (window.gone ? { next: async () => entry('', false) } : entries.keys()),
            getDirectoryHandle: (key, { create = false } = {}) => entry(key, create, () => folderOf(key)),
            removeEntry: async (key) => {
                if (entries.get(key) && entries.get(key).entries && entries.get(key).entries.size > 0) {
                    throw new DOMException(`${key} is not empty`, 'InvalidModificationError');
                }
                entries.delete(key);
            },
            getFileHandle: (key, { create = false } = {}) => entry(key, create, () => {
                const file = { getFile: async () => file.blob, blob: new Blob([]) };
                file.createWritable = async () => {
                    const pieces = [];
                    return new WritableStream({
                        async write(bytes) {
                            await new Promise((resolve) => setTimeout(resolve, delay));
                            if (pieces.length >= failAt) {
                                throw new DOMException('the disk is full', 'QuotaExceededError');
                            }
                            pieces.push(bytes.slice()); // as a real writable copies what it is given
                        },
                        close: () => { file.blob = new Blob(pieces); },
                    });
                };
                return file;
            }),
        };
        return folder;
    };
    window.outputs = folder && folderOf('outputs');
    window.picked = 0;
    window.showDirectoryPicker = folder === 'refused'
        ? async () => { throw new DOMException('The user aborted a request.', 'AbortError'); }
        : folder ? async () => {
            window.picked += 1;
            window.gone = false;
            return window.outputs;
        } : undefined;
};

async function open(files, { folder = false, delay = 0, failAt = Number.MAX_SAFE_INTEGER, listed = true, input = '#files', url = page } = {}) {
    const tab = await browser.open(url, requests);
    await tab.evaluate(standIns, { folder, delay, failAt });
    tab.reloaded = async () => {
        await tab.reload();
        await tab.waitFor(() => document.readyState === 'complete' && window.srtxPage);
        await tab.evaluate(standIns, { folder, delay, failAt });
    };
    files.length && await tab.setFiles(input, files);
    if (listed) {
        await tab.waitFor(() => /exit status \d+\n$/.test(document.getElementById('text').textContent));
    }
    return tab;
}

// A file of the chosen folder: its SHA-256, or null where there is none;
// with contents, written first.
const output = (tab, at, contents) => tab.evaluate(async ([where, bytes]) => {
    let dir = await window.outputs;
    const parts = where.split('/');
    try {
        for (const part of parts.slice(0, -1)) {
            dir = await dir.getDirectoryHandle(part, { create: Boolean(bytes) });
        }
        const file = await dir.getFileHandle(parts[parts.length - 1], { create: Boolean(bytes) });
        file.blob = bytes ? new Blob([new Uint8Array(bytes)]) : file.blob;
        return window.sha256(await file.getFile());
    } catch {
        return null;
    }
}, [at, contents && [...contents]]);
const old = Buffer.from('what was there before');
const hashOf = (bytes) => crypto.createHash('sha256').update(bytes).digest('hex');

const text = (tab, selector) => tab.evaluate((s) => document.querySelector(s).textContent, selector);
const rows = (tab) => tab.evaluate(() =>
    [...document.querySelectorAll('#streams tbody tr')].map((tr) => [...tr.cells].map((td) => td.textContent)));
const click = (tab, selector) => tab.evaluate((s) => document.querySelector(s).click(), selector);
const pairWith = (tab, stream, at = 0) => tab.evaluate(([n, k]) => {
    const input = document.querySelectorAll('#pairs input')[k];
    input.value = String(n);
    input.dispatchEvent(new Event('change'));
}, [stream, at]);
const sha256 = (file) => crypto.createHash('sha256').update(fs.readFileSync(file)).digest('hex');
// The command-line dump of the example's stream with this .ssd, made once.
const dumped = (stream, data) => {
    const out = path.join(work, `${path.basename(data)}-${stream}.kvdsp`);
    fs.existsSync(out) || execFileSync('node', [srtxJs, example, String(stream), data, out]);
    return out;
};
const download = async (tab) => {
    await tab.waitFor(() => window.downloads.length > 0, null, 300000);
    return tab.evaluate(async () => {
        const { name, size, hash } = await window.downloads[0];
        return { name, size, hash };
    });
};
// Clicks a Dump all button; the path of the ZIP it downloaded, written out.
// (then: a row of a folder to open at once, while the ZIP is being made.)
const zipped = async (tab, button, then = null) => {
    await tab.evaluate(([pressed, row]) => {
        document.querySelector(pressed).click();
        row && [...document.querySelectorAll('#containers button')].find((b) => b.textContent === row).click();
    }, [button, then]);
    const { name } = await download(tab);
    const bytes = await tab.evaluate(async () => [...new Uint8Array(await (await window.downloads[0]).blob.arrayBuffer())]);
    fs.writeFileSync(path.join(work, name), Buffer.from(bytes));
    return path.join(work, name);
};
// A folder checked, then its Dump all clicked.
const checkedThenDumped = async (tab) => {
    await tab.waitFor(() => /^Checked/.test(document.getElementById('folder-status').textContent));
    await click(tab, '#dump-folder');
};
const said = async (tab, pattern) => {
    await tab.waitFor((source) => new RegExp(source).test(document.getElementById('summary').textContent), pattern.source, 300000);
    return text(tab, '#summary');
};
const made = (name, ...args) => {
    const file = path.join(work, name);
    fs.existsSync(file) || execFileSync('node', [maker, ...args, file]);
    return file;
};
const damaged = (name, change) => {
    const bytes = fs.readFileSync(example);
    change(bytes);
    fs.writeFileSync(path.join(work, name), bytes);
    return path.join(work, name);
};
// Past 64 MiB, so that its dump is well past the size from which the page
// offers to save into a chosen file.
const big = path.join(work, 'big01.ssd');
fs.writeFileSync(big, crypto.randomBytes(65 << 20));
const bigDownload = () => ({ name: 'big01.kvdsp', size: 144 + (65 << 20), hash: sha256(dumped(1, big)) });
// Sparse: 1 GiB on the page, nothing on the disk.
const huge = path.join(work, 'huge02.ssd');
fs.closeSync(fs.openSync(huge, 'w'));
fs.truncateSync(huge, 1 << 30);
// Stream 2's index slot points at stream 1's entry: 0 bytes on, not 144.
const broken = damaged('broken.srt', (bytes) => {
    const slots = bytes.readUInt32BE(12) + 16;
    bytes.writeUInt32BE(bytes.readUInt32BE(slots + 4), slots + 8);
});
const damagedSsd = damaged('damaged.srt', (bytes) => { bytes[bytes.readUInt32BE(4)] = 's'.charCodeAt(0); });
const far = damaged('far.srt', (bytes) => bytes.writeUInt32BE(65524, 4)); // its SSD block past its end
const a01 = path.join(work, 'a01.ssd');
const cSrt = path.join(work, 'c.srt');
fs.copyFileSync(example, cSrt);
['C00.SSD', 'c00.ssd'].forEach((name) => fs.copyFileSync(ssd, path.join(work, name)));
const changing = path.join(work, 'changing02.ssd');
fs.copyFileSync(ssd, changing);
const again = path.join(work, 'again.srt');
fs.copyFileSync(example, again);
const exampleText = 'example.srt...\n3 streams\n  0:\t7\n  1:\t1024\n  2:\t-2\nexit status 0\n';
const exampleRows = [['0', '7', '', ''], ['1', '1024', '', ''], ['2', '-2', '', 'Dump']];
// A dump into the chosen folder that something ends while its pieces are
// still being written: the file it made is gone again.
const endedDump = (end) => async (tab) => {
    await click(tab, '#streams tbody tr:nth-child(2) button');
    await tab.waitFor(() => !document.getElementById('progress-box').hidden);
    await end(tab);
    assert.equal(await output(tab, 'big01.kvdsp'), null);
};
// A folder of a dozen containers in two subfolders: well-formed, BAD SIZE,
// zero streams, damaged at different steps, their .ssd files and a stray one.
const game = path.join(work, 'game');
const gameFiles = [];
const put = (name, bytes) => {
    const file = path.join(game, name);
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, bytes);
    gameFiles.push(file);
};
const exampleBytes = fs.readFileSync(example);
for (const name of ['a/one.srt', 'a/one1.srt']) {
    put(name, exampleBytes);
}
for (const name of ['a/one01.ssd', 'a/one02.ssd', 'a/one100.ssd', 'b/stray07.ssd', 'b/damaged02.ssd']) {
    put(name, fs.readFileSync(ssd));
}
fs.utimesSync(path.join(game, 'a/one01.ssd'), 0, new Date('2024-03-05T10:20:30Z'));
fs.utimesSync(path.join(game, 'a/one02.ssd'), 0, new Date('1975-06-01T00:00:00Z'));
put('a/zero.srt', fs.readFileSync(made('zero.srt', 'streams', '0')));
put('a/many.srt', fs.readFileSync(made('pages.srt', 'streams', '450')));
put('b/broken.srt', fs.readFileSync(broken));
put('b/damaged.srt', fs.readFileSync(damagedSsd));
put('b/short.srt', exampleBytes.subarray(0, 10));
for (const seed of ['1', '3', '4']) {
    put(`b/seed${seed}.srt`, fs.readFileSync(made(`seed${seed}.srt`, 'damaged', seed)));
}
// Folders of their own, each a tree of files: [folder, { path: bytes }].
const tree = (folder, files) => {
    for (const [at, bytes] of Object.entries(files)) {
        fs.mkdirSync(path.dirname(path.join(work, folder, at)), { recursive: true });
        fs.writeFileSync(path.join(work, folder, at), bytes);
    }
    return path.join(work, folder);
};
// Paths that differ in letter case alone, each .ssd file's bytes its own.
const ownBytes = (seed) => crypto.createHash('sha512').update(seed).digest();
const cased = tree('cased', { 'A/x.srt': exampleBytes, 'a/x.srt': exampleBytes, 'A/x00.ssd': ownBytes('A'),
    'a/x00.ssd': ownBytes('a'), 'b/C.srt': exampleBytes, 'b/c.srt': exampleBytes, 'b/C01.ssd': ownBytes('C'), 'b/c02.ssd': ownBytes('c') });
const deep = tree('deep', { 'sub/c.srt': exampleBytes, 'sub/c02.ssd': fs.readFileSync(ssd) });
// A hundred .ssd files of one container, the first large enough for Cancel.
const lots = tree('lots', Object.fromEntries([['c.srt', fs.readFileSync(made('hundred.srt', 'streams', '100'))],
    ...Array.from({ length: 100 }, (_, k) => [`c${String(k).padStart(2, '0')}.ssd`, ownBytes(String(k))])]));
fs.truncateSync(path.join(lots, 'c00.ssd'), 60 << 20);
const unheldSrt = path.join(work, 'p\\q.srt');
const unheldSsd = path.join(work, 'p\\q02.ssd');
fs.copyFileSync(example, unheldSrt);
fs.copyFileSync(ssd, unheldSsd);
const cut = path.join(work, 'cut01.ssd');
fs.copyFileSync(big, cut);
// In each engine: every row says what the tool says of its container, and
// Dump all's members are the tool's dumps at the chosen paths, the failed
// container left out and named. prefix: the paths as the page has them.
const folderChecked = (prefix, shot = false, tree = false) => async (tab) => {
    await tab.waitFor(() => /^Checked/.test(document.getElementById('folder-status').textContent));
    const shown = await tab.evaluate(() =>
        [...document.querySelectorAll('#containers tbody tr')].map((tr) => [...tr.cells].map((td) => td.textContent)));
    const expected = gameFiles.filter((file) => file.endsWith('.srt')).sort((a, b) => (prefix(a) < prefix(b) ? -1 : 1)).map((file) => {
        const run = spawnSync('node', [srtxJs, path.basename(file)], { cwd: path.dirname(file) });
        const stdout = run.stdout.toString();
        const step = /^error: (.*) failed$/m.exec(run.stderr.toString());
        return [prefix(file), (/^(\d+) streams$/m.exec(stdout) || ['', ''])[1],
            String(stdout.split('BAD SIZE').length - 1).replace(/^0$/, ''), run.status === 0 ? 'ok' : `${step[1]} failed`];
    });
    assert.deepEqual(shown.map(([at, streams, warnings, result]) => [at, streams, warnings, result.split(':')[0]]), expected);
    // At 360 and 414 px a row is a card, at 768 a row; nothing is cut off or scrolls sideways.
    assert.deepEqual(await tab.evaluate(async () => [360, 414, 768].map((width) => {
        document.body.style.width = `${width}px`;
        const wide = [...document.querySelectorAll('main, main > section:not([hidden]), .table-box')].filter((part) => part.scrollWidth > part.clientWidth);
        return [getComputedStyle(document.querySelector('#containers tbody tr')).display, wide.map((part) => part.id || part.className)];
    })), [['block', []], ['block', []], ['table-row', []]]);
    await tab.evaluate(() => { document.body.style.width = ''; });
    await (shot && tab.screenshot && tab.screenshot(path.resolve(web, '../folder.png')));
    // A row opened while the folder's ZIP is made is a view within the
    // folder: the ZIP goes on, and the row's Dump buttons wait for it.
    // Into a chosen folder, the tree of the chosen paths; else one ZIP.
    const members = ['a/one01.kvdsp', 'a/one02.kvdsp', 'a/one100.kvdsp'].map((member) => prefix(path.join(game, member)));
    let hash;
    if (tree) {
        await tab.evaluate((row) => {
            document.getElementById('dump-folder').click();
            [...document.querySelectorAll('#containers button')].find((b) => b.textContent === row).click();
        }, prefix(path.join(game, 'a/one.srt')));
        await tab.waitFor(() => /^Dumped/.test(document.getElementById('folder-status').textContent));
        hash = (member) => output(tab, member);
        // What was written is listed, and Save list gives it a path a line.
        assert.equal(await text(tab, '#written'), `Written (3):${members.join('')}Left out (1):${prefix(path.join(game, 'b/damaged.srt'))}`);
        await click(tab, '#save-list');
        assert.equal((await download(tab)).hash, hashOf(members.map((member) => `${member}\n`).join('')));
    } else {
        const zip = await zipped(tab, '#dump-folder', prefix(path.join(game, 'a/one.srt')));
        assert.deepEqual(execFileSync('unzip', ['-Z1', zip]).toString().trim().split('\n'), members);
        // Each member takes its .ssd file's date in the browser's local time, 1980 at the earliest.
        assert.deepEqual(execFileSync('zipinfo', ['-T', zip]).toString().match(/\d{8}\.\d{6}/g).slice(0, 2), ['20240305.155030', '19800101.000000']);
        hash = (member) => hashOf(execFileSync('unzip', ['-p', zip, member]));
    }
    for (const [member, stream] of [[members[0], 1], [members[1], 2], [members[2], 0]]) {
        assert.equal(await hash(member), sha256(dumped(stream, ssd)));
    }
    assert.match(await text(tab, '#folder-status'), new RegExp(`Left out: ${prefix(path.join(game, 'b/damaged.srt'))} \\(check SSD`));
    // The row opened its container's view, with the folder's pairing.
    await tab.waitFor(() => /exit status 0\n$/.test(document.getElementById('text').textContent));
    assert.deepEqual((await rows(tab)).map((row) => row[3]), ['', 'Dump', 'Dump']);
};
// A dump of big01.ssd into the chosen folder: what the file then holds.
const bigDumpSaved = async (tab, before = null) => {
    before && await output(tab, 'big01.kvdsp', before);
    await click(tab, '#streams tbody tr:nth-child(2) button');
    await said(tab, /^Dumped|failed|did not finish/);
    return output(tab, 'big01.kvdsp');
};

// [name, files, check, options for open]
const cases = [
    ['lists the example as the command-line tool does', [example, ssd], async (tab) => {
        assert.equal(await text(tab, '#text'), exampleText);
        assert.deepEqual(await rows(tab), exampleRows);
        assert.deepEqual(await tab.evaluate(() => [...document.querySelectorAll('#drop label')].map((l) => l.textContent)),
            ['Choose a container and .ssd files', 'Choose a folder']);
        // Only WebKit's worker cannot read files opened from disk.
        assert.equal(await tab.evaluate(() => !document.getElementById('in-page').hidden), engine === 'webkit');
        await (tab.screenshot && tab.screenshot(path.resolve(web, '../page.png')));
    }],
    ['names a damaged container\'s step and marks it on the map', [damagedSsd], async (tab) => {
        assert.equal(await text(tab, '#failure'),
            "check SSD block header failed: the SSD block's header is not what a container holds there.");
        assert.match(await text(tab, '#text'), /error: check SSD block header failed\nexit status 1\n$/);
        assert.match(await tab.evaluate(() => document.querySelector('.map-failed').getAttribute('aria-label')),
            /^check SSD block header failed: SSD block header/);
        // No table of headers alone, no pager; at 360 px the map and the
        // error line stay within the page's width.
        assert.deepEqual(await tab.evaluate(() => ['table-box', 'pages'].map((id) => document.getElementById(id).hidden)),
            [true, true]);
        assert.ok(await tab.evaluate(() => {
            document.body.style.width = '360px';
            const edge = document.body.getBoundingClientRect().right;
            const inside = (element) => element.getBoundingClientRect().right <= edge &&
                element.scrollWidth <= element.clientWidth;
            return inside(document.querySelector('#map svg')) && inside(document.getElementById('text'));
        }));
        // ... and its labels are 10 px high at the least, or left out.
        assert.deepEqual(await tab.evaluate(() => [...document.querySelectorAll('#map svg text')]
            .filter((label) => getComputedStyle(label).display !== 'none' && label.getBoundingClientRect().height < 10)
            .map((label) => label.textContent)), []);
    }],
    // The map is the file to scale: a read past its end beyond the file's
    // marked end, on a broken axis whose labels shorten at 360 px.
    ['the map draws a read past the end beyond a break in its axis', [far], async (tab) => {
        const shown = () => tab.evaluate(() => [[...document.querySelectorAll('#map .map-axis > span')].map((label) =>
            [...label.children].find((part) => getComputedStyle(part).display !== 'none').textContent),
        [...document.querySelectorAll('#map .map-legend li')].filter((item) => item.getBoundingClientRect().height > 0).length]);
        assert.deepEqual(await shown(), [['0', 'end of file: 688', '65,524\u201365,539'], 5]);
        await tab.evaluate(() => { document.body.style.width = '360px'; });
        assert.deepEqual(await shown(), [['0', 'end 688', '65.5K'], 5]);
    }],
    ['shows BAD SIZE before the stream whose DSP entry breaks the packing', [broken], async (tab) => {
        assert.deepEqual(await rows(tab), [['0', '7', '', ''], ['1', '1024', '', ''], ['2', '1024', 'BAD SIZE', '']]);
        assert.match(await text(tab, '#summary'), /3 streams; 2 BAD SIZE warnings \(one because the file does not end/);
    }],
    // (The row itself stays: a dump rebuilds no rows.)
    // ... without scrolling the page back to it from where the user is.
    ['after a dump the focus is back on its row\'s button, the page left where it is', [example, ssd], async (tab) => {
        await tab.evaluate(() => {
            document.body.prepend(Object.assign(document.createElement('div'), { style: 'height: 5000px' }));
            window.pressed = document.querySelector('#streams tbody tr:nth-child(3) button');
            window.pressed.focus({ preventScroll: true });
            window.pressed.click();
            scrollTo(0, 0);
        });
        await download(tab);
        await tab.waitFor(() => document.activeElement === window.pressed && !window.pressed.disabled);
        assert.equal(await tab.evaluate(() => scrollY), 0);
    }],
    ['a long text shows its head and end, and Save text gives all of it', [made('many.srt', 'streams', '500000')],
        async (tab) => {
            assert.ok((await text(tab, '#text')).length <= 33 << 10);
            await click(tab, '#save-text');
            const whole = Buffer.concat([execFileSync('node', [srtxJs, 'many.srt'], { cwd: work, maxBuffer: 1 << 30 }),
                Buffer.from('exit status 0\n')]);
            assert.equal((await download(tab)).hash, crypto.createHash('sha256').update(whole).digest('hex'));
        }],
    ['"Dump all" gives a ZIP whose file is the command-line dump', [example, ssd], async (tab) => {
        const zip = await zipped(tab, '#dump-all');
        assert.equal(execFileSync('unzip', ['-Z1', zip]).toString(), 'example02.kvdsp\n');
        assert.deepEqual(execFileSync('unzip', ['-p', zip, 'example02.kvdsp']), fs.readFileSync(dumped(2, ssd)));
    }],
    // The second dump runs in a fresh worker (the first moved too many bytes
    // to be kept), its pieces going to a download worker of its own.
    ['a dump past 64 MiB downloads the command-line dump, twice in turn', [example, big], async (tab) => {
        for (let k = 0; k < 2; ++k) {
            await tab.evaluate(() => { window.downloads = []; });
            await click(tab, '#streams tbody tr:nth-child(2) button');
            assert.deepEqual(await download(tab), bigDownload());
            await tab.waitFor(() => /^Dumped stream 1 /.test(document.getElementById('summary').textContent));
        }
    }],
    // ... pressed with the page scrolled past the progress bar's place: the
    // bar and Cancel are in view, the focus still on the button.
    ['Cancel ends a dump as a download, and the next one downloads whole', [example, big], async (tab) => {
        assert.deepEqual(await tab.evaluate(async () => {
            document.body.append(Object.assign(document.createElement('div'), { style: 'height: 5000px' }));
            const button = document.querySelector('#streams tbody tr:nth-child(2) button');
            button.focus();
            button.click();
            scrollTo(0, document.body.scrollHeight);
            while (document.getElementById('progress-box').hidden) {
                await new Promise((resolve) => setTimeout(resolve));
            }
            await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
            const box = document.getElementById('progress-box').getBoundingClientRect();
            // ... in words, with room made for it at the page's foot.
            const seen = [box.top >= 0 && box.bottom <= innerHeight + 1, document.activeElement === button,
                /^Writing big01\.kvdsp: \d+ of 65 MiB \(\d+ %\)/.test(document.getElementById('progress-text').textContent),
                parseFloat(getComputedStyle(document.body).paddingBottom) >= box.height];
            // Cancel pressed (its click, as Enter gives it) gives the focus back to the button.
            window.pressed = button;
            document.getElementById('cancel').focus();
            document.getElementById('cancel').click();
            return seen;
        }), [true, true, true, true]);
        await tab.waitFor(() => /did not finish: cancelled/.test(document.getElementById('summary').textContent));
        await tab.waitFor(() => document.activeElement === window.pressed);
        assert.equal(await tab.evaluate(() => window.downloads.length), 0);
        await click(tab, '#streams tbody tr:nth-child(2) button');
        assert.deepEqual(await download(tab), bigDownload());
    }],
    // A piece that is the one view of its buffer moves to the download's
    // worker; a view from inside a buffer is copied, its buffer left whole.
    // (Told to expect a large output, Blink's download leads with zeros that
    // its Blob leaves out.)
    ...[0, 64 << 20].map((size) => [`a download of ${size} bytes expected takes its pieces in order, moved or copied; ` +
        'a spare given back is freed', [example], async (tab) => {
        const result = await tab.evaluate(async (expected) => {
            const target = srtxPage.outputs.intoDownload('pieces.bin', expected);
            const [whole, shared, spare] = [Uint8Array.of(1, 2, 3), Uint8Array.of(9, 4, 5, 6), new Uint8Array(8)];
            await target.write(whole);
            await target.write(shared.subarray(1));
            await target.finish(true, new AbortController().signal);
            srtxPage.outputs.giveBack(spare);
            const { name, blob } = await window.downloads[0];
            return { name, bytes: [...new Uint8Array(await blob.arrayBuffer())], moved: whole.buffer.detached,
                kept: [...shared], freed: spare.buffer.detached };
        }, size);
        assert.deepEqual(result, { name: 'pieces.bin', bytes: [1, 2, 3, 4, 5, 6], moved: true, kept: [9, 4, 5, 6], freed: true });
    }]),
    // Let go of by the next run, a download's Blob is left to the collector
    // (gc() is Chromium's, from its test command line).
    ['a download let go of keeps nothing of it alive', [example], async (tab) => {
        assert.ok(await tab.evaluate(async () => {
            let collected = false;
            const registry = new FinalizationRegistry(() => { collected = true; });
            await (async () => {
                const target = srtxPage.outputs.intoDownload('kept.bin');
                await target.write(Uint8Array.of(1));
                await target.finish(true, new AbortController().signal);
                registry.register((await window.downloads.pop()).blob, null);
            })();
            srtxPage.outputs.release();
            for (let tries = 0; tries < 20 && !collected; ++tries) {
                gc();
                await new Promise((resolve) => setTimeout(resolve, 50));
            }
            return collected;
        }));
    }, { engines: ['chromium'] }],
    // The chosen folder: a dump goes in piece by piece, the tool waiting for
    // a slow disk (a piece each 20 ms), four pieces ahead at most; a full
    // disk leaves the file there as it was; replace is asked first. The
    // folder's name is said, and kept for the next visit.
    ['a large dump goes piece by piece into the chosen folder', [example, big], async (tab) => {
        assert.equal(await bigDumpSaved(tab), sha256(dumped(1, big)));
        assert.equal(await tab.evaluate(() => srtxPage.outputs.measured.waiting), 4);
        assert.equal(await text(tab, '#output-folder'), 'Outputs go into the folder outputs.');
    }, { delay: 20, folder: true, engines: ['chromium'] }],
    ['a chosen folder\'s file whose disk fills stays as it was', [example, big], async (tab) => {
        const dump = bigDumpSaved(tab, old);
        await tab.waitFor(() => document.getElementById('question').open);
        assert.match(await text(tab, '#question-text'), /^Already in outputs: big01\.kvdsp\. Replace it, skip it, or cancel\?$/);
        await click(tab, '#replace');
        assert.equal(await dump, hashOf(old));
        assert.match(await text(tab, '#summary'), /did not finish: the disk is full\.$/);
    }, { failAt: 8, folder: true, engines: ['chromium'] }],
    // A failed run (the container's SSD block is damaged) writes nothing,
    // over an existing file or under a new name; Skip keeps a file too.
    ['a failed dump into the chosen folder leaves a file as it was, and no new one', [damagedSsd, ssd, a01], async (tab) => {
        await output(tab, 'example02.kvdsp', old);
        await click(tab, '#force-view');
        await pairWith(tab, '', 1);
        await click(tab, '#dump-all');
        await tab.waitFor(() => document.getElementById('question').open);
        await click(tab, '#replace');
        assert.match(await said(tab, /failed/), /^The dump of stream 2 with example02\.ssd failed \(check SSD block header failed/);
        assert.equal(await output(tab, 'example02.kvdsp'), hashOf(old));
        await pairWith(tab, '', 0);
        await pairWith(tab, 1, 1);
        await click(tab, '#dump-all');
        assert.match(await said(tab, /stream 1 .* failed/), /^The dump of stream 1 with a01\.ssd failed \(check SSD .*\)\. Left out: example02\.ssd \(paired with no stream\)\.$/);
        assert.equal(await output(tab, 'a01.kvdsp'), null);
    }, { folder: true, engines: ['chromium'] }],
    ['the page says in its own words that no folder was chosen', [example, ssd], async (tab) => {
        await click(tab, '#streams tbody tr:nth-child(3) button');
        assert.equal(await said(tab, /folder/), 'No folder chosen; nothing was written.');
    }, { folder: 'refused' }],
    ['past 1 GiB of files and outputs, the page that reads them itself says how to read them in place',
        [example, huge], async (tab) => {
            await click(tab, '#streams tbody tr:nth-child(3) button');
            assert.match(await text(tab, '#summary'), /^The dump was not started: this browser does not let .* in place\.$/);
        }, { engines: ['webkit'] }],
    ['the latest choice wins over a listing still running', [made('many.srt', 'streams', '500000')], async (tab) => {
        await tab.setFiles('#files', [example, ssd]);
        await tab.waitFor((expected) => document.getElementById('text').textContent === expected, exampleText);
        await new Promise((resolve) => setTimeout(resolve, 3000)); // the longer listing would have ended by now
        assert.equal(await text(tab, '#text'), exampleText);
        assert.match(await text(tab, '#summary'), /^example\.srt: 3 streams\.$/);
        assert.deepEqual(await rows(tab), exampleRows);
    }, { listed: false }],
    ['Cancel after a drop ends a dump into the chosen folder, which keeps no file of it', [example, big], endedDump(async (tab) => {
        await tab.setFiles('#files', [ssd]);
        await click(tab, '#cancel');
        await tab.waitFor(() => /did not finish: cancelled/.test(document.getElementById('summary').textContent));
    }), { delay: 5, folder: true, engines: ['chromium'] }],
    ['a new container ends a dump into the chosen folder, which keeps no file of it', [example, big], endedDump(async (tab) => {
        await tab.setFiles('#files', [example]);
        await tab.waitFor((expected) => document.getElementById('text').textContent === expected, exampleText);
    }), { delay: 5, folder: true, engines: ['chromium'] }],
    // ... at once, while the new container's listing runs.
    ['a new container drops the earlier pairings', [example, ssd], async (tab) => {
        await tab.setFiles('#files', [made('many.srt', 'streams', '500000')]);
        assert.deepEqual(await tab.evaluate(() => [document.getElementById('summary').textContent,
            document.getElementById('pairs-box').hidden]), ['Listing many.srt\u2026', true]);
        await tab.setFiles('#files', [example]);
        await tab.waitFor(() => /exit status 0\n$/.test(document.getElementById('text').textContent));
        assert.deepEqual((await rows(tab)).map((row) => row[3]), ['', '', '']);
    }],
    // Dropped just as an old dump's download is being completed (its Blob's
    // worker told to close).
    ...[['a dump', '#streams tbody tr:nth-child(2) button'], ["Dump all's ZIP", '#dump-all']].map(([what, button]) => [
        `a container dropped as ${what} is being completed ends it unsaid`, [example, big], async (tab) => {
            await tab.evaluate(([pressed, bytes]) => {
                const post = Worker.prototype.postMessage;
                Worker.prototype.postMessage = function (message, ...rest) {
                    if (message && message.type === 'close') {
                        const dropped = new DataTransfer();
                        dropped.items.add(new File([Uint8Array.from(bytes)], 'fresh.srt'));
                        document.dispatchEvent(new DragEvent('drop', { dataTransfer: dropped }));
                    }
                    return post.call(this, message, ...rest);
                };
                document.querySelector(pressed).click();
            }, [button, [...exampleBytes]]);
            await tab.waitFor((expected) => document.getElementById('text').textContent === expected,
                exampleText.replace('example', 'fresh'));
            await new Promise((resolve) => setTimeout(resolve, 1000));
            assert.equal(await tab.evaluate(() => window.downloads.length), 0);
            assert.equal(await text(tab, '#summary'), 'fresh.srt: 3 streams.');
        }]),
    ['a folder walk that ends after a later choice changes nothing', [example], async (tab) => {
        await tab.evaluate(() => srtxPage.dispatch({ type: 'dropped-folder', entries: [{ isDirectory: true, fullPath: '/slow',
            createReader: () => ({ readEntries: (give) => setTimeout(() => give([]), 1500) }) }] }));
        await tab.setFiles('#files', [example, ssd]);
        await tab.waitFor((expected) => document.getElementById('text').textContent === expected, exampleText);
        await new Promise((resolve) => setTimeout(resolve, 2500));
        assert.equal(await tab.evaluate(() => document.getElementById('folder-view').hidden), true);
        assert.deepEqual(await rows(tab), exampleRows);
    }],
    // A file changed or removed after it was chosen cannot be read any more
    // (Chromium refuses a changed one and still reads a removed one; Firefox
    // reads a changed one and refuses a removed one); chosen again, it
    // takes the earlier one's place.
    ['a .ssd file changed after it was chosen fails its own dump alone', [example, changing], async (tab) => {
        engine === 'chromium' ? fs.appendFileSync(changing, 'more') : fs.rmSync(changing);
        await click(tab, '#streams tbody tr:nth-child(3) button');
        await tab.waitFor(() => /did not finish/.test(document.getElementById('summary').textContent));
        assert.equal(await text(tab, '#summary'),
            'The dump did not finish: changing02.ssd changed or was removed after it was chosen; choose it again.');
        fs.writeFileSync(changing, 'more');
        await tab.setFiles('#files', [changing]);
        await click(tab, '#streams tbody tr:nth-child(3) button');
        assert.equal((await download(tab)).hash, sha256(dumped(2, changing)));
        // (Only WebKit's worker reads no File at all, from disk.)
        assert.equal(await tab.evaluate(() => srtxPage.current().readsInPage), engine === 'webkit');
    }],
    ['each choice clears its input, so the same file chosen again is read again', [again], async (tab) => {
        assert.equal(await tab.evaluate(() => document.getElementById('files').value), '');
        fs.copyFileSync(damagedSsd, again);
        await tab.setFiles('#files', [again]);
        await tab.waitFor(() => /check SSD block header failed/.test(document.getElementById('failure').textContent));
    }],
    // [files, the .ssd file left aside]: of two with one output name, the
    // one whose name before its digits is the container's own, letter case
    // and all, else the first chosen.
    ...[[[example, ssd, a01, path.join(work, 'a01.SSD')], 'a01.SSD'],
        [[cSrt, path.join(work, 'C00.SSD'), path.join(work, 'c00.ssd')], 'C00.SSD']].map(([files, aside]) => [
        `of two .ssd files with one output name, ${aside} is left aside`, files, async (tab) => {
            assert.deepEqual(await tab.evaluate(() => [...document.querySelectorAll('#pairs li')].map((li) => li.textContent.split(' ')[0])),
                files.slice(1).map((file) => path.basename(file)).filter((name) => name !== aside));
            assert.match(await text(tab, '#chosen'), new RegExp(`same output name: ${aside.replace('.', '\\.')}\\.$`));
        }]),
    // [pairing typed, what Dump all says]: a .ssd file left out is named, and
    // so is a stream past the last, whatever its digits.
    ...[['1000000000000000000000', 'example02.ssd (example.srt has no stream 1000000000000000000000)'],
        ['', 'example02.ssd (paired with no stream)'], ['-1', 'example02.ssd (paired with no stream)']].map(([typed, left]) => [
        `Dump all with a pairing of "${typed}" names the .ssd file it leaves out`, [example, ssd], async (tab) => {
            await pairWith(tab, typed);
            await click(tab, '#dump-all');
            assert.equal(await text(tab, '#summary'), `Nothing was dumped; left out: ${left}.`);
            assert.equal(await tab.evaluate(() => window.downloads.length), 0);
        }]),
    ['Dump all leaves out a container whose listing failed, unless asked to dump it anyway', [damagedSsd, ssd], async (tab) => {
        await click(tab, '#dump-all');
        assert.equal(await text(tab, '#summary'), 'Nothing was dumped; left out: damaged.srt (check SSD block header ' +
            "failed: the SSD block's header is not what a container holds there).");
        await click(tab, '#force-view');
        await click(tab, '#dump-all');
        assert.match(await said(tab, /failed \(/), /^The dump of stream 2 with example02\.ssd failed \(check SSD block header failed/);
        assert.equal(await tab.evaluate(() => window.downloads.length), 0);
    }],
    // Each .ssd file goes with the container of its own folder, letter for
    // letter; of two outputs that are one file on Windows, the later is left
    // out and named.
    ['folders whose paths differ in letter case alone keep their own .ssd files', [cased], async (tab) => {
        await checkedThenDumped(tab);
        await tab.waitFor(() => /^Dumped/.test(document.getElementById('folder-status').textContent));
        for (const [member, stream, data] of [['A/x00', 0, 'A/x00.ssd'], ['b/C01', 1, 'b/C01.ssd'], ['b/c02', 2, 'b/c02.ssd']]) {
            assert.equal(await output(tab, `cased/${member}.kvdsp`), sha256(dumped(stream, path.join(cased, data))));
        }
        assert.equal(await output(tab, 'cased/a/x00.kvdsp'), null);
        assert.match(await text(tab, '#folder-status'),
            /Left out: cased\/a\/x00\.ssd \(its output cased\/a\/x00\.kvdsp is cased\/A\/x00\.kvdsp where letter case is not told apart\)\.$/);
    }, { listed: false, input: '#folder', folder: true, engines: ['chromium'] }],
    ['a name a folder cannot hold is left out before anything is written, and named', [unheldSrt, unheldSsd], async (tab) => {
        await click(tab, '#dump-all');
        assert.equal(await text(tab, '#summary'), 'Nothing was dumped; left out: p\\q02.ssd (its output name ' +
            'p\\q02.kvdsp holds \\, which a folder on Windows cannot hold).');
    }, { folder: engine === 'chromium' }],
    ['a .ssd file cut short while it is dumped fails in the page\'s own words', [example, cut], async (tab) => {
        await click(tab, '#streams tbody tr:nth-child(2) button');
        await tab.waitFor(() => !document.getElementById('progress-box').hidden);
        fs.truncateSync(cut, 1 << 20);
        assert.equal(await said(tab, /did not finish/),
            'The dump did not finish: cut01.ssd changed or was removed after it was chosen; choose it again.');
    }, { delay: 20, folder: true, engines: ['chromium'] }],
    ['an output folder that is gone is said to be, forgotten, and asked for at the next dump', [example, ssd], async (tab) => {
        const dumpWith = async (pattern) => {
            await click(tab, '#streams tbody tr:nth-child(3) button');
            return said(tab, pattern);
        };
        await dumpWith(/^Dumped/);
        await tab.evaluate(() => { window.gone = true; });
        assert.equal(await dumpWith(/gone/), 'The dump was not started: the folder outputs is gone; the next dump asks for a folder.');
        assert.equal(await text(tab, '#output-folder'), 'Outputs go into a folder you choose at the first dump.');
        await click(tab, '#streams tbody tr:nth-child(3) button');
        await tab.waitFor(() => document.getElementById('question').open);
        await click(tab, '#replace');
        await said(tab, /^Dumped/);
        assert.equal(await tab.evaluate(() => window.picked), 2);
    }, { folder: true, engines: ['chromium'] }],
    ['a failed dump into the chosen folder removes the folders it made', [deep], async (tab) => {
        await checkedThenDumped(tab);
        await tab.waitFor(() => /did not finish/.test(document.getElementById('folder-status').textContent));
        assert.deepEqual(await tab.evaluate(() => [...window.outputs.entries.keys()]), []);
    }, { listed: false, input: '#folder', folder: true, failAt: 0, engines: ['chromium'] }],
    ['Cancel ends the look for files already there at once', [lots], async (tab) => {
        await checkedThenDumped(tab);
        await tab.waitFor(() => window.lookups > 10);
        const looked = await tab.evaluate(() => {
            document.getElementById('cancel').click();
            return window.lookups;
        });
        await new Promise((resolve) => setTimeout(resolve, 400));
        assert.ok(await tab.evaluate(() => window.lookups) <= looked + 1);
        assert.equal(await text(tab, '#folder-status'), 'Dump all did not finish: cancelled.');
    }, { listed: false, input: '#folder', folder: true, delay: 20, engines: ['chromium'] }],
    ['the map says what is pointed at in the container in view only', [cSrt], async (tab) => {
        await tab.evaluate(() => [...document.querySelectorAll('#map svg rect[tabindex]')].pop().focus());
        assert.match(await text(tab, '#map .map-status'), /^DSP entry, bytes 544\u2013687$/);
        await tab.setFiles('#files', [made('five.srt', 'streams', '5')]);
        await tab.waitFor(() => /^five\.srt: 5 streams/.test(document.getElementById('summary').textContent));
        assert.equal(await text(tab, '#map .map-status'), '');
    }],
    ['a folder: every container checked and dumped into the chosen folder as a tree', [game],
        folderChecked((file) => path.relative(work, file), true, true),
        { listed: false, input: '#folder', folder: true, engines: ['chromium'] }],
    ['many containers chosen as files: every one checked and dumped', gameFiles, folderChecked((file) => path.basename(file)),
        { listed: false }],
    // [.ssd file, the container and stream it goes with, or null]
    ['a .ssd file goes with the longest container name it continues in its folder', [example], async (tab) => {
        const table = [
            ['g/c1000.ssd', 'g/c10.srt', '0'], ['g/c0105.ssd', 'g/c.srt', '105'], ['g/C07.SSD', 'g/c.srt', '7'],
            ['g/c5.ssd', null], ['h/c00.ssd', null], ['g/c1x00.ssd', null], ['g/c1.ssd', null],
        ];
        const paired = await tab.evaluate((ssds) => {
            const items = ['g/c.srt', 'g/c1.srt', 'g/c10.srt', ...ssds]
                .map((at) => ({ path: at, file: { name: at.split('/').pop() } }));
            const { containers, pairs } = srtxPage.pairUp(items);
            return ssds.map((at) => {
                const owner = containers.find((c) => c.ssds.some((file) => file.name === at.split('/').pop()));
                return owner ? [at, owner.path, pairs.get(owner.ssds.find((file) => file.name === at.split('/').pop()))] : [at, null];
            });
        }, table.map(([at]) => at));
        assert.deepEqual(paired, table);
    }],
    // A dropped folder's entries come a batch at a time, here one each.
    ['a dropped folder is walked into its subfolders', [example], async (tab) => {
        assert.deepEqual(await tab.evaluate(async () => {
            const entry = (fullPath, children) => (children ? {
                isDirectory: true,
                fullPath,
                createReader: () => {
                    const batches = [...children.map((child) => [child]), []];
                    return { readEntries: (give) => setTimeout(() => give(batches.shift())) };
                },
            } : { isFile: true, fullPath, file: (give) => give({ name: fullPath.split('/').pop() }) });
            const found = await srtxPage.walk([entry('/game', [entry('/game/b.srt'),
                entry('/game/sub', [entry('/game/sub/b00.ssd'), entry('/game/sub/a.srt')])]), entry('/top.srt')], new AbortController().signal);
            return found.map((item) => [item.path, item.file.name]);
        }), [['game/b.srt', 'b.srt'], ['game/sub/a.srt', 'a.srt'], ['game/sub/b00.ssd', 'b00.ssd'], ['top.srt', 'top.srt']]);
    }],
    ['the pager counts as the Stream column does', [made('pages.srt', 'streams', '450')], async (tab) => {
        assert.equal(await text(tab, '#page-range'), 'streams 0\u2013199 of 450');
        await click(tab, '#next');
        assert.equal(await text(tab, '#page-range'), 'streams 200\u2013399 of 450');
        assert.equal((await rows(tab))[0][0], '200');
        // Next, disabled on the last page, hands the focus to Previous.
        await tab.evaluate(() => { document.getElementById('next').focus(); document.getElementById('next').click(); });
        assert.equal(await tab.evaluate(() => document.activeElement.id), 'previous');
        // Go to stream, from the keyboard: the page holding it, its row marked and focused; past the last, said so.
        const goTo = (value) => tab.evaluate((typed) => {
            const field = document.getElementById('go-to');
            field.focus();
            field.value = typed;
            field.dispatchEvent(new KeyboardEvent('keydown', { key: 'Enter', bubbles: true }));
            const marked = document.querySelector('#streams tr.marked');
            return [document.getElementById('page-range').textContent, marked && marked.cells[0].textContent,
                document.activeElement === marked, document.getElementById('go-to-note').textContent];
        }, value);
        assert.deepEqual(await goTo('217'), ['streams 200\u2013399 of 450', '217', true, '']);
        assert.deepEqual(await goTo('450'), ['streams 200\u2013399 of 450', '217', false, 'There is no stream 450: the last is 449.']);
    }],
    // Served: the first visit keeps every file of the folder, and from the
    // next load on the page works with the host gone, its worker reading
    // the chosen files in every engine.
    ['served, the page keeps its files and works on with the host gone', [], async (tab, host) => {
        await tab.waitFor(() => document.getElementById('update-text').textContent === 'Ready to work offline.');
        await tab.reloaded();
        const files = fs.readdirSync(web, { recursive: true }).map((file) => file.split(path.sep).join('/'))
            .filter((file) => file !== 'sw.js' && fs.statSync(path.join(web, file)).isFile()).sort();
        assert.deepEqual(await tab.evaluate(async (at) => {
            const names = await caches.keys();
            const kept = await (await caches.open(names[0])).keys();
            return [Boolean(navigator.serviceWorker.controller), names.length, kept.map((request) => request.url.slice(at.length)).sort()];
        }, host.url), [true, 1, files]);
        await host.stop();
        await tab.reloaded();
        await tab.setFiles('#files', [example, ssd]);
        await tab.waitFor((expected) => document.getElementById('text').textContent === expected, exampleText);
        await click(tab, '#streams tbody tr:nth-child(3) button');
        assert.equal((await download(tab)).hash, sha256(dumped(2, ssd)));
        assert.equal(await tab.evaluate(() => srtxPage.current().readsInPage), false);
    }, { served: true, listed: false }],
    ['installed, the page lists and pairs the files the system opens it with', [], async (tab, host) => {
        await tab.waitFor(() => document.getElementById('update-text').textContent !== '');
        assert.deepEqual((await tab.cdp('Page.getInstallabilityErrors')).installabilityErrors, []);
        await tab.cdp('PWA.install', { manifestId: host.url });
        const app = tab.launched();
        await tab.cdp('PWA.launchFilesInApp', { manifestId: host.url, files: [example, ssd] }, true);
        const launched = await app;
        await launched.waitFor((expected) => document.getElementById('text').textContent === expected, exampleText);
        assert.deepEqual(await rows(launched), exampleRows);
        await launched.close();
    }, { served: true, listed: false, engines: ['chromium'] }],
    // A second build on the host while a dump runs: the page says so, the
    // dump ends whole, and Reload, once it may, gives the second build in
    // this tab alone, with its cache the one left.
    ['a new version waits for Reload, which waits for the dump', [], async (tab, host) => {
        await tab.waitFor(() => document.getElementById('update-text').textContent === 'Ready to work offline.');
        await tab.reloaded();
        const other = await browser.open(host.url, requests);
        await tab.setFiles('#files', [example, big]);
        await tab.waitFor(() => /exit status 0\n$/.test(document.getElementById('text').textContent));
        const second = path.join(work, 'second-build');
        fs.cpSync(web, second, { recursive: true });
        fs.writeFileSync(path.join(second, 'index.html'), fs.readFileSync(path.join(web, 'index.html'), 'utf8').replace('<title>', '<title>second build '));
        execFileSync('node', [path.join(root, 'web/build.cjs'), 'service-worker', second]);
        host.folder = second;
        // (The dump waits on its question until the new version waits too.)
        await output(tab, 'big01.kvdsp', old);
        await click(tab, '#streams tbody tr:nth-child(2) button');
        await tab.waitFor(() => document.getElementById('question').open);
        await tab.evaluate(async () => (await navigator.serviceWorker.getRegistration()).update());
        await tab.waitFor(() => document.getElementById('update-text').textContent === 'A new version of srtx is ready.');
        assert.equal(await tab.evaluate(() => document.getElementById('reload').getAttribute('aria-disabled')), 'true');
        await click(tab, '#reload');
        await click(tab, '#replace');
        await said(tab, /^Dumped/);
        assert.equal(await output(tab, 'big01.kvdsp'), sha256(dumped(1, big)));
        await click(tab, '#reload');
        await tab.waitFor(() => document.title.startsWith('second build'));
        assert.equal(await tab.evaluate(async () => (await caches.keys()).length), 1);
        await other.waitFor(() => /next reload\.$/.test(document.getElementById('update-text').textContent));
        assert.equal(await other.evaluate(() => document.title.startsWith('second build')), false);
        await other.close();
    }, { served: true, listed: false, folder: true, engines: ['chromium'] }],
];
for (const [name, files, check, options = {}] of cases) {
    test(name, { skip: options.engines && !options.engines.includes(engine) }, async () => {
        fs.copyFileSync(ssd, path.join(work, 'a01.ssd'));
        fs.copyFileSync(ssd, path.join(work, 'a01.SSD'));
        const host = options.served && await served();
        const tab = await open(files, { ...options, url: host ? host.url : page });
        try {
            await check(tab, host);
            assert.equal(await text(tab, '#problems'), '');
        } catch (error) {
            error.message += `\n  the page said: ${await text(tab, '#summary')}`;
            throw error;
        } finally {
            await tab.close();
        }
    });
}
