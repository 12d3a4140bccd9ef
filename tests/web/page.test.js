// The page in a real browser (Debian's Chromium, driven by playwright-core),
// opened from disk: the listing, a damaged container's step and its mark on
// the map, "Dump all" and a large dump saved in pieces against the
// command-line tool, and no network request.
//   SRTX_WEB=build/wasm/web SRTX_JS=build/wasm/srtx.js node --test tests/web
'use strict';
const assert = require('node:assert/strict');
const { test, before, after } = require('node:test');
const { execFileSync } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { chromium } = require('playwright-core');

const root = path.resolve(__dirname, '../..');
const page = 'file://' + path.resolve(process.env.SRTX_WEB || 'build/wasm/web') + '/index.html';
const srtxJs = path.resolve(process.env.SRTX_JS || 'build/wasm/srtx.js');
const maker = path.resolve(process.env.MAKE_CONTAINER || 'build/wasm/make-container.js');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'srtx-web-'));
const example = path.join(root, 'examples/example.srt');
const ssd = path.join(root, 'examples/example02.ssd');
let browser;
const requests = [];

before(async () => {
    browser = await chromium.launch({
        executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
        args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
            '--disable-sync', '--no-first-run'],
    });
});
after(async () => {
    await browser.close();
    fs.rmSync(work, { recursive: true, force: true });
    const remote = requests.filter((url) => !/^(file|blob|data):/.test(url));
    assert.deepEqual(remote, [], 'the page asked the network');
});

async function open(files, beforeLoad = () => {}, delay = 0, listed = true) {
    const tab = await browser.newPage({ acceptDownloads: true });
    tab.on('request', (request) => requests.push(request.url()));
    await tab.addInitScript(beforeLoad, delay);
    await tab.goto(page);
    await tab.setInputFiles('#files', files);
    if (listed) {
        await tab.waitForFunction(() => /exit status \d+\n$/.test(document.getElementById('text').textContent));
    }
    return tab;
}

test('lists the example as the command-line tool does', async () => {
    const tab = await open([example, ssd]);
    assert.equal(await tab.textContent('#text'), 'example.srt...\n3 streams\n  0:\t7\n  1:\t1024\n  2:\t-2\nexit status 0\n');
    const rows = await tab.$$eval('#streams tbody tr', (trs) => trs.map((tr) => [...tr.cells].map((td) => td.textContent)));
    assert.deepEqual(rows, [['0', '7', '', ''], ['1', '1024', '', ''], ['2', '-2', '', 'Dump']]);
    await tab.setViewportSize({ width: 900, height: 1000 });
    await tab.screenshot({ path: path.resolve(process.env.SRTX_WEB || 'build/wasm/web', '../page.png'), fullPage: true });
});

test('names a damaged container\'s step and marks it on the map', async () => {
    const damaged = path.join(work, 'damaged.srt');
    const bytes = fs.readFileSync(example);
    bytes[bytes.readUInt32BE(4)] = 's'.charCodeAt(0); // the SSD block's magic
    fs.writeFileSync(damaged, bytes);
    const tab = await open([damaged]);
    assert.equal(await tab.textContent('#failure'),
        "check SSD block header failed: the SSD block's header is not what a container holds there.");
    assert.match(await tab.textContent('#text'), /error: check SSD block header failed\nexit status 1\n$/);
    assert.match(await tab.getAttribute('.map-failed', 'aria-label'), /^check SSD block header failed: SSD block header/);
});

test('shows BAD SIZE before the stream whose DSP entry breaks the packing', async () => {
    // Stream 2's index slot points at stream 1's entry: 0 bytes on, not 144.
    const broken = path.join(work, 'broken.srt');
    const bytes = fs.readFileSync(example);
    const slots = bytes.readUInt32BE(12) + 16;
    bytes.writeUInt32BE(bytes.readUInt32BE(slots + 4), slots + 8);
    fs.writeFileSync(broken, bytes);
    const tab = await open([broken]);
    const rows = await tab.$$eval('#streams tbody tr', (trs) => trs.map((tr) => [...tr.cells].map((td) => td.textContent)));
    assert.deepEqual(rows, [['0', '7', '', ''], ['1', '1024', '', ''], ['2', '1024', 'BAD SIZE', '']]);
    assert.match(await tab.textContent('#summary'), /3 streams; 2 BAD SIZE warnings \(one because the file does not end/);
});

test('"Dump all" gives a ZIP whose file is the command-line dump', async () => {
    const tab = await open([example, ssd]);
    const [download] = await Promise.all([tab.waitForEvent('download'), tab.click('#dump-all')]);
    const zip = path.join(work, 'all.zip');
    await download.saveAs(zip);
    const expected = path.join(work, 'expected.kvdsp');
    execFileSync('node', [srtxJs, example, '2', ssd, expected]);
    assert.equal(execFileSync('unzip', ['-Z1', zip]).toString(), 'example02.kvdsp\n');
    assert.deepEqual(execFileSync('unzip', ['-p', zip, 'example02.kvdsp']), fs.readFileSync(expected));
});

// The save dialog answered by a file that keeps the SHA-256 of what it was
// given, or 'aborted'; each write takes delay ms, as a slow disk would.
const chooseFile = (delay) => {
    window.showSaveFilePicker = async () => ({
        createWritable: async () => {
            const pieces = [];
            return {
                write: async (bytes) => {
                    await new Promise((resolve) => setTimeout(resolve, delay));
                    pieces.push(bytes);
                },
                close: async () => {
                    const digest = await crypto.subtle.digest('SHA-256', await new Blob(pieces).arrayBuffer());
                    window.saved = [...new Uint8Array(digest)].map((b) => b.toString(16).padStart(2, '0')).join('');
                },
                abort: async () => { window.saved = 'aborted'; },
            };
        },
    });
};
const big = path.join(work, 'big01.ssd');
fs.writeFileSync(big, crypto.randomBytes(60 << 20));

test('a large dump goes piece by piece into the file chosen to save it', async () => {
    const tab = await open([example, big], chooseFile, 0);
    await tab.click('#streams tbody tr:nth-child(2) button');
    await tab.waitForFunction(() => window.saved !== undefined, null, { timeout: 120000 });
    const expected = path.join(work, 'big01.kvdsp');
    execFileSync('node', [srtxJs, example, '1', big, expected]);
    assert.equal(await tab.evaluate(() => window.saved),
        crypto.createHash('sha256').update(fs.readFileSync(expected)).digest('hex'));
});

const made = (name, ...args) => {
    const file = path.join(work, name);
    fs.existsSync(file) || execFileSync('node', [maker, ...args, file]);
    return file;
};
const rows = (tab) => tab.$$eval('#streams tbody tr', (trs) => trs.map((tr) => [...tr.cells].map((td) => td.textContent)));
const exampleText = 'example.srt...\n3 streams\n  0:\t7\n  1:\t1024\n  2:\t-2\nexit status 0\n';
const exampleRows = [['0', '7', '', ''], ['1', '1024', '', ''], ['2', '-2', '', 'Dump']];
// A dump into a chosen file that something ends while its pieces are still
// being written: the file must stay as it was.
const endedDump = (end) => async (tab) => {
    await tab.click('#streams tbody tr:nth-child(2) button');
    await tab.waitForSelector('#progress-box:not([hidden])');
    await end(tab);
    await tab.waitForFunction(() => window.saved !== undefined, null, { timeout: 60000 });
    assert.equal(await tab.evaluate(() => window.saved), 'aborted');
};
const newChoices = [
    ['the latest choice wins over a listing still running', [made('many.srt', 'streams', '500000')], async (tab) => {
        await tab.setInputFiles('#files', [example, ssd]);
        await tab.waitForFunction((text) => document.getElementById('text').textContent === text, exampleText);
        await tab.waitForTimeout(3000); // the longer listing would have ended by now
        assert.equal(await tab.textContent('#text'), exampleText);
        assert.match(await tab.textContent('#summary'), /^example\.srt: 3 streams\.$/);
        assert.deepEqual(await rows(tab), exampleRows);
    }],
    ['Cancel after a drop ends a dump into a chosen file, which stays as it was', [example, big], endedDump(async (tab) => {
        await tab.setInputFiles('#files', [ssd]);
        await tab.click('#cancel');
        await tab.waitForFunction(() => /did not finish: cancelled/.test(document.getElementById('summary').textContent));
    })],
    ['a new container ends a dump into a chosen file, which stays as it was', [example, big], endedDump(async (tab) => {
        await tab.setInputFiles('#files', [example]);
        await tab.waitForFunction((text) => document.getElementById('text').textContent === text, exampleText);
    })],
    ['a new container drops the earlier pairings', [example, ssd], async (tab) => {
        await tab.setInputFiles('#files', [example]);
        await tab.waitForFunction(() => document.getElementById('pairs-box').hidden);
        assert.deepEqual((await rows(tab)).map((row) => row[3]), ['', '', '']);
    }],
    ['of two .ssd files with one output name the second is left aside',
        [example, ssd, path.join(work, 'a01.ssd'), path.join(work, 'a01.SSD')], async (tab) => {
            assert.equal(await tab.$$eval('#pairs li', (items) => items.length), 2);
            assert.match(await tab.textContent('#chosen'), /same output name: a01\.SSD\.$/);
        }],
    ['the pager counts as the Stream column does', [made('pages.srt', 'streams', '450')], async (tab) => {
        assert.equal(await tab.textContent('#page-range'), 'streams 0\u2013199 of 450');
        await tab.click('#next');
        assert.equal(await tab.textContent('#page-range'), 'streams 200\u2013399 of 450');
        assert.equal((await rows(tab))[0][0], '200');
    }],
];
for (const [name, files, check] of newChoices) {
    test(name, async () => {
        fs.copyFileSync(ssd, path.join(work, 'a01.ssd'));
        fs.copyFileSync(ssd, path.join(work, 'a01.SSD'));
        const tab = await open(files, chooseFile, 5, !name.startsWith('the latest'));
        await check(tab);
    });
}
