// The page against the native tool and against each engine's own floor, in
// Chromium and Firefox (tests/web/engine.js; each with a persistent profile),
// opened from disk:
// - listing a 1,000,000-stream container, from choosing it to the tool's
//   text on the page, beside the native listing, and from the file input's
//   change to the listing painted, beside the engine's floor for reading it;
// - a 512 MiB dump from the click to the finished download, beside the
//   engine's floor for that work: a worker reading the .ssd in 16 MiB slices
//   and sending them through the same destination until the download is done;
// - memory: the proportional set size summed over the browser's whole process
//   tree, peak while dumping 1.5 GiB as a download and while dumping 512 MiB
//   twice (five times over, beside the engine alone doing the same), above
//   a small listing; the downloads' bytes against the native dumps;
// - "Dump all" of three 1.5 GiB streams as one download: unzip -t, members
//   against the native dumps.
// - checking a folder of 1,000 containers of 100 streams each, from the
//   choice to the last summary row, beside the native tool run on each in a
//   shell loop, and the browser's memory after it above a small listing's;
// WebKit (named as an engine) is measured on the listing and the folder alone. With
// SRTX_WEB_SERVED=1, the page is served from 127.0.0.1 instead, after one
// visit that has its service worker keep its files: the listing painted,
// in each engine, and in WebKit the memory of a 1.5 GiB dump, from the
// click to the page's word that it is done (its driver follows no
// download); these go under served.ENGINE. in the results file. With
// SRTX_WEB_PROFILE=1, where the time of a 1,000,000-stream listing (the
// median of five) and of a folder of 1,000 (summed over its runs) goes, by
// the parts the page measures (its srtx-* performance measures) and the
// rest: under profile.ENGINE.
//   node bench/web.js SRTX WEB_FOLDER MAKE_CONTAINER DATA_FOLDER [ENGINE...]
// Each engine's figures replace its own in the day's results file under
// bench/results/ (bench/figures writes the docs' from there). With
// SRTX_WEB_AGAINST=OTHER_WEB_FOLDER (an earlier build's page), each engine
// measures that page first, then WEB_FOLDER's, in one run, and prints each
// figure of the two side by side; only WEB_FOLDER's go into the file.
'use strict';
const { execFileSync, execSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { launch, serve } = require('../tests/web/engine');
const results = require('./results');

const [srtx, webFolder, maker, data, ...named] = process.argv.slice(2);
const engines = named.length ? named : ['chromium', 'firefox'];
const packages = { chromium: 'chromium', firefox: 'firefox-esr', webkit: 'libwebkit2gtk-4.1-0' };
const pageOf = (folder) => 'file://' + path.resolve(folder) + '/index.html';
let page = pageOf(webFolder);
const median = (values) => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const file = (name, ...make) => {
    const at = path.resolve(data, name);
    if (!fs.existsSync(at)) {
        execFileSync(maker, [...make, at]);
    }
    return at;
};
const sparse = (name, size) => {
    const at = path.resolve(data, name);
    if (!fs.existsSync(at) || fs.statSync(at).size !== size) {
        fs.closeSync(fs.openSync(at, 'w'));
        fs.truncateSync(at, size);
    }
    return at;
};
// The native dump of a stream, made once; same(command, file): whether what
// the shell command prints is that file's bytes.
const nativeDump = (container, stream, ssd) => {
    const at = path.resolve(data, `native-${path.basename(container)}-${stream}-${path.basename(ssd)}.kvdsp`);
    fs.existsSync(at) || execFileSync(srtx, [container, String(stream), ssd, at], { stdio: 'ignore' });
    return at;
};
const same = (command, expected) => {
    try {
        execSync(`${command} | cmp -s - ${expected}`, { stdio: 'ignore' });
        return true;
    } catch {
        return false;
    }
};

function nativeSeconds(args, runs) {
    return median(Array.from({ length: runs }, () => {
        const start = process.hrtime.bigint();
        execFileSync(srtx, args, { stdio: ['ignore', 'ignore', 'ignore'] });
        return Number(process.hrtime.bigint() - start) / 1e9;
    }));
}

// Proportional set size of every process started from this one (the
// browser, its helpers and its driver), in KiB.
function treePss() {
    const parents = new Map();
    for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
        try {
            parents.set(pid, /^PPid:\s+(\d+)/m.exec(fs.readFileSync(`/proc/${pid}/status`, 'utf8'))[1]);
        } catch {
            // a process that ended meanwhile
        }
    }
    const inTree = (pid) => pid !== undefined && pid !== '0' && (pid === String(process.pid) || inTree(parents.get(pid)));
    let total = 0;
    for (const pid of parents.keys()) {
        if (pid === String(process.pid) || !inTree(parents.get(pid))) {
            continue;
        }
        try {
            total += Number(/^Pss:\s+(\d+)/m.exec(fs.readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8'))[1]);
        } catch {
            // a process that ended meanwhile
        }
    }
    return total;
}

// Runs act() while sampling the tree's PSS; gives the peak.
async function peakDuring(act) {
    let peak = treePss();
    let sampling = true;
    const sampler = (async () => {
        while (sampling) {
            peak = Math.max(peak, treePss());
            await sleep(100);
        }
    })();
    try {
        await act();
    } finally {
        sampling = false;
        await sampler;
    }
    return Math.max(peak, treePss());
}

// Waits until the browser has finished a download of this many bytes into
// its download folder (no partial file left beside it); gives its path.
async function downloaded(folder, size) {
    for (;;) {
        const names = fs.readdirSync(folder);
        if (!names.some((name) => /\.(part|crdownload)$/.test(name))) {
            const done = names.map((name) => path.join(folder, name))
                .find((at) => { try { return fs.statSync(at).size === size; } catch { return false; } });
            if (done) {
                return done;
            }
        }
        await sleep(50);
    }
}

// The one download in the folder once it has stopped growing (its size is
// not known ahead).
async function settled(folder) {
    let last = '';
    for (let still = 0; still < 20; await sleep(100)) {
        const names = fs.readdirSync(folder);
        const sizes = names.map((name) => `${name}:${fs.statSync(path.join(folder, name)).size}`).join();
        const partial = names.some((name) => /\.(part|crdownload)$/.test(name));
        still = sizes === last && names.length === 1 && !partial ? still + 1 : 0;
        last = sizes;
    }
    return path.join(folder, fs.readdirSync(folder)[0]);
}

const clear = (folder) => fs.readdirSync(folder).forEach((name) => fs.rmSync(path.join(folder, name), { force: true }));

async function listed(tab, files) {
    await tab.setFiles('#files', files);
    await tab.waitFor(() => /exit status \d+\n$/.test(document.getElementById('text').textContent), null, 600000);
}

// A tab whose outputs download (no folder chooser: the page's other way).
async function downloadingTab(browser) {
    const tab = await browser.open(page);
    await tab.evaluate(() => { window.showDirectoryPicker = undefined; });
    return tab;
}

// A downloading tab that has listed these files, and the browser's PSS once
// it has settled after that: what memory is measured above.
async function listedTab(browser, files) {
    const tab = await downloadingTab(browser);
    await listed(tab, files);
    await sleep(2000);
    return { tab, base: treePss() };
}

// Clicks a button and waits for the download of size bytes; seconds taken.
async function dumpSeconds(browser, tab, selector, size) {
    const start = Date.now();
    await tab.evaluate((s) => document.querySelector(s).click(), selector);
    const at = await downloaded(browser.downloads, size);
    return { seconds: (Date.now() - start) / 1000, at };
}

// Sets window.marked to a promise of the milliseconds from the next change
// event of the input to the second animation frame after the page's mark.
function untilMarked(tab, input, mark) {
    return tab.evaluate(([selector, name]) => {
        window.marked = new Promise((resolve) => {
            document.querySelector(selector).addEventListener('change', () => {
                const start = performance.now();
                new PerformanceObserver((list, observer) => {
                    if (list.getEntriesByName(name).length > 0) {
                        observer.disconnect();
                        requestAnimationFrame(() => requestAnimationFrame(() => resolve(performance.now() - start)));
                    }
                }).observe({ type: 'mark' });
            }, { once: true });
        });
    }, [input, mark]);
}

// Listing a container as a person waits for it: from the file input's
// change event to the second animation frame after the page has put the
// listing in place (its 'srtx-listed' mark); beside the engine's floor for
// reading that file, in a worker in 16 MiB slices, or on the page's own
// thread where the worker may not read it (WebKit from disk).
async function paintSeconds(tab, container) {
    await untilMarked(tab, '#files', 'srtx-listed');
    await tab.setFiles('#files', [container]);
    await tab.waitFor(() => /exit status \d+\n$/.test(document.getElementById('text').textContent), null, 600000);
    const painted = await tab.evaluate(() => window.marked);
    const floor = await tab.evaluate(async () => {
        const file = srtxPage.current().choice.container;
        const start = performance.now();
        const read = await new Promise((resolve) => {
            const worker = new Worker(URL.createObjectURL(new Blob([`onmessage = (event) => {
                const reader = new FileReaderSync();
                try {
                    for (let at = 0; at < event.data.size; at += 16 << 20) {
                        reader.readAsArrayBuffer(event.data.slice(at, at + (16 << 20)));
                    }
                    postMessage(true);
                } catch {
                    postMessage(false);
                }
            };`])));
            worker.onmessage = (event) => resolve(event.data);
            worker.postMessage(file);
        });
        if (!read) {
            await file.arrayBuffer();
        }
        return performance.now() - start;
    });
    return { painted: painted / 1000, floor: floor / 1000 };
}

// The engine's floor: the .ssd read in a worker in 16 MiB slices, each sent
// through the page's download destination, to the finished download.
async function floorSeconds(browser, tab, size) {
    const start = Date.now();
    await tab.evaluate(() => {
        const [ssd] = srtxPage.current().choice.ssds;
        const worker = new Worker(URL.createObjectURL(new Blob([`onmessage = (event) => {
            const reader = new FileReaderSync();
            for (let at = 0; at < event.data.size; at += 16 << 20) {
                const bytes = reader.readAsArrayBuffer(event.data.slice(at, at + (16 << 20)));
                postMessage(bytes, [bytes]);
            }
            postMessage(null);
        };`])));
        const target = srtxPage.outputs.intoDownload('floor.kvdsp', 144 + ssd.size);
        target.write(new Uint8Array(144));
        worker.onmessage = (event) => {
            if (event.data === null) {
                target.finish(true, new AbortController().signal);
            } else {
                target.write(new Uint8Array(event.data));
            }
        };
        worker.postMessage(ssd);
    });
    await downloaded(browser.downloads, size);
    return (Date.now() - start) / 1000;
}

const pageDump = (browser, tab, size) => dumpSeconds(browser, tab, '#streams tbody tr:nth-child(2) button', size);

// The same dump by the engine alone: a worker reads the .ssd in 4 MiB slices
// into a Blob it builds from a stream of them, and the page downloads it.
async function engineDump(browser, tab, size) {
    await tab.evaluate(() => {
        const worker = new Worker(URL.createObjectURL(new Blob([`onmessage = async ({ data: file }) => {
            const reader = new FileReaderSync();
            let at = -144;
            const stream = new ReadableStream({ pull(input) {
                if (at >= file.size) {
                    input.close();
                } else {
                    input.enqueue(at < 0 ? new Uint8Array(144) : new Uint8Array(reader.readAsArrayBuffer(file.slice(at, at + (4 << 20)))));
                    at = at < 0 ? 0 : at + (4 << 20);
                }
            } }, { highWaterMark: 0 });
            postMessage(await new Response(stream).blob());
        };`])));
        worker.onmessage = ({ data: blob }) => {
            worker.terminate();
            URL.revokeObjectURL(window.engineDumped);
            const link = Object.assign(document.createElement('a'), { href: URL.createObjectURL(blob), download: 'engine.kvdsp' });
            window.engineDumped = link.href;
            document.body.append(link);
            link.click();
            link.remove();
        };
        worker.postMessage(srtxPage.current().choice.ssds[0]);
    });
    await downloaded(browser.downloads, size);
}

// A folder's check as a person waits for it: from the chooser's change
// event to the second animation frame after the last row (the page's
// 'srtx-checked' mark); then the browser's PSS, settled, above what it was
// after one small listing in the same tab. Chromium's driver chooses the
// folder itself; Firefox's gives its files to the multiple-file chooser.
async function folderCheck(browser, engine, small, folder) {
    const { tab, base } = await listedTab(browser, [small]);
    const input = engine === 'chromium' ? '#folder' : '#files';
    await untilMarked(tab, input, 'srtx-checked');
    const containers = fs.readdirSync(folder).flatMap((sub) => fs.readdirSync(path.join(folder, sub))
        .map((name) => path.join(folder, sub, name)));
    await tab.setFiles(input, engine === 'chromium' ? [folder] : containers);
    const seconds = (await tab.evaluate(() => window.marked)) / 1000;
    const status = await tab.evaluate(() => document.getElementById('folder-status').textContent);
    await sleep(2000);
    const above = treePss() - base;
    await tab.close();
    return { seconds, above, status };
}

// The listing painted, five times, each in a tab of its own: the medians.
async function paintedFigures(browser, big, results) {
    const paints = [];
    for (let k = 0; k < 5; ++k) {
        const tab = await downloadingTab(browser);
        paints.push(await paintSeconds(tab, big));
        await tab.close();
    }
    results.painted = median(paints.map((p) => p.painted));
    results.readFloor = median(paints.map((p) => p.floor));
}

// The page's measures of its parts since the last clear, summed by part.
const parts = ['start', 'read', 'tool', 'hand-over', 'reader'];
const partsOf = (tab) => tab.evaluate((names) => Object.fromEntries(names.map((name) => [name,
    performance.getEntriesByName(`srtx-${name}`).reduce((sum, entry) => sum + entry.duration, 0) / 1000])), parts);
const clearParts = (tab) => tab.evaluate(() => performance.clearMeasures());

async function measureProfile(engine, { big, small, folder }) {
    const browser = await launch(data, engine);
    const results = { list: [], folder: null };
    try {
        for (let k = 0; k < 5; ++k) {
            const tab = await downloadingTab(browser);
            await clearParts(tab);
            const { painted } = await paintSeconds(tab, big);
            results.list.push({ ...await partsOf(tab), total: painted });
            await tab.close();
        }
        results.list.sort((a, b) => a.total - b.total);
        results.list = results.list[2];
        const { tab } = await listedTab(browser, [small]);
        await clearParts(tab);
        const input = engine === 'chromium' ? '#folder' : '#files';
        await untilMarked(tab, input, 'srtx-checked');
        const containers = fs.readdirSync(folder).flatMap((sub) => fs.readdirSync(path.join(folder, sub)).map((name) => path.join(folder, sub, name)));
        await tab.setFiles(input, engine === 'chromium' ? [folder] : containers);
        results.folder = { total: (await tab.evaluate(() => window.marked)) / 1000, ...await partsOf(tab) };
        await tab.close();
    } finally {
        await browser.close();
    }
    return results;
}

async function measureServed(engine, { big, small, ssd1536 }) {
    const host = await serve(webFolder);
    page = host.url;
    const browser = await launch(data, engine);
    const results = {};
    try {
        const first = await browser.open(page);
        await first.waitFor(() => document.getElementById('update-text').textContent === 'Ready to work offline.');
        await first.close();
        await paintedFigures(browser, big, results);
        if (engine === 'webkit') {
            const { tab, base } = await listedTab(browser, [small, ssd1536]);
            const start = Date.now();
            results.dump1536 = await peakDuring(async () => {
                await tab.evaluate(() => document.querySelector('#streams tbody tr:nth-child(2) button').click());
                await tab.waitFor(() => /^Dumped |failed|did not finish/.test(document.getElementById('summary').textContent), null, 1200000);
            }) - base;
            results.dumpSeconds = (Date.now() - start) / 1000;
            results.dumpSaid = await tab.evaluate(() => document.getElementById('summary').textContent);
        }
    } finally {
        await browser.close();
        await host.stop();
    }
    return results;
}

async function measure(engine, inputs) {
    const { big, small, ssd512, ssd1536, zipSsds, zipContainer, folder } = inputs;
    const browser = await launch(data, engine);
    const results = {};
    try {
        const listTimes = [];
        for (let k = 0; k < 5; ++k) {
            const tab = await downloadingTab(browser);
            const start = Date.now();
            await listed(tab, [big]);
            listTimes.push((Date.now() - start) / 1000);
            await tab.close();
        }
        results.list = median(listTimes);
        await paintedFigures(browser, big, results);
        const checks = [];
        for (let k = 0; k < 3; ++k) {
            checks.push(await folderCheck(browser, engine, small, folder));
        }
        results.folder = median(checks.map((check) => check.seconds));
        results.folderAbove = Math.max(...checks.map((check) => check.above));
        results.folderStatus = checks[0].status;
        console.error(`${engine} so far: ${JSON.stringify(results)}`);
        if (engine === 'webkit') {
            // Its driver follows no download: the listing and the folder alone.
            return results;
        }

        // The disk the downloads go to changes speed from one second to the
        // next: each dump is set against the floor measured just before it,
        // and the median of five such ratios is the figure.
        const pairs = [];
        for (let k = 0; k < 5; ++k) {
            const tab = await downloadingTab(browser);
            await listed(tab, [small, ssd512]);
            clear(browser.downloads);
            const floor = await floorSeconds(browser, tab, 144 + (512 << 20));
            clear(browser.downloads);
            const dump = (await pageDump(browser, tab, 144 + (512 << 20))).seconds;
            pairs.push({ dump, floor, ratio: dump / floor });
            clear(browser.downloads);
            await tab.close();
        }
        results.dumpRatio = median(pairs.map((pair) => pair.ratio));
        results.dump = median(pairs.map((pair) => pair.dump));
        results.floor = median(pairs.map((pair) => pair.floor));
        console.error(`${engine} so far: ${JSON.stringify(results)}`);

        // Memory above a small listing: one 1.5 GiB dump; then 512 MiB twice.
        let tab;
        ({ tab, base: results.base } = await listedTab(browser, [small, ssd1536]));
        let at;
        results.peak1536 = await peakDuring(async () => {
            ({ at } = await pageDump(browser, tab, 144 + 1536 * 2 ** 20));
        });
        results.equal1536 = same(`cat ${at}`, nativeDump(small, 1, ssd1536));
        console.error(`${engine} so far: ${JSON.stringify(results)}`);
        clear(browser.downloads);
        await tab.close();

        // A peak sampled ten times a second moves by a few MiB between runs
        // of the same work: the medians of five such pairs, each in a tab of
        // its own. Beside them, in tabs of their own in turn, the engine
        // alone doing the same two dumps, no page in the way: what the
        // browser itself keeps from one dump to the next.
        const pairsOfPeaks = [];
        const enginePairs = [];
        for (let run = 0; run < 5; ++run) {
            for (const [dump, peaksOf] of [[pageDump, pairsOfPeaks], [engineDump, enginePairs]]) {
                let base;
                ({ tab, base } = await listedTab(browser, [small, ssd512]));
                const peaks = [];
                for (let k = 0; k < 2; ++k) {
                    peaks.push(await peakDuring(() => dump(browser, tab, 144 + (512 << 20))) - base);
                    clear(browser.downloads);
                }
                peaksOf.push(peaks);
                await tab.close();
            }
        }
        results.twice = [0, 1].map((k) => median(pairsOfPeaks.map((peaks) => peaks[k])));
        results.twiceRuns = pairsOfPeaks;
        results.engineTwice = [0, 1].map((k) => median(enginePairs.map((peaks) => peaks[k])));
        console.error(`${engine} so far: ${JSON.stringify(results)}`);

        // Dump all: three 1.5 GiB streams into one ZIP past 4 GiB.
        tab = await downloadingTab(browser);
        await listed(tab, [zipContainer, ...zipSsds]);
        await tab.evaluate(() => document.getElementById('dump-all').click());
        await tab.waitFor(() => /^Dumped |failed|did not finish/.test(document.getElementById('summary').textContent),
            null, 1200000);
        const zip = await settled(browser.downloads);
        results.zipTest = (() => {
            try {
                execFileSync('unzip', ['-tq', zip], { stdio: 'ignore' });
                return true;
            } catch {
                return false;
            }
        })();
        results.zipMembers = zipSsds.every((ssd, stream) => same(
            `unzip -p ${zip} ${path.basename(ssd).replace(/\.ssd$/, '.kvdsp')}`, nativeDump(zipContainer, stream, ssd)));
        results.zipSize = fs.statSync(zip).size;
        clear(browser.downloads);
        await tab.close();
    } finally {
        await browser.close();
    }
    return results;
}

// The earlier page's figures beside this one's, as the ratios each is judged by.
function compare(engine, before, after, { listNative, loopNative }) {
    const figures = (r) => ({
        'painted / read floor': r.painted / r.readFloor,
        'listing / native': r.list / listNative,
        'folder / native loop': r.folder / loopNative, 'folder: MiB after': r.folderAbove / 1024,
        ...(engine === 'webkit' ? {} : {
            'dump / engine floor': r.dumpRatio, '1.5 GiB dump: MiB': (r.peak1536 - r.base) / 1024,
            'two dumps: first MiB': r.twice[0] / 1024, 'two dumps: second MiB': r.twice[1] / 1024,
        }),
    });
    const [was, now] = [figures(before), figures(after)];
    console.log(`${engine}, the page of ${process.env.SRTX_WEB_AGAINST} then this one:`);
    for (const name of Object.keys(now)) {
        console.log(`  ${name.padEnd(28)} ${was[name].toFixed(2).padStart(9)} ${now[name].toFixed(2).padStart(9)}   ${(now[name] / was[name]).toFixed(2)} x`);
    }
}

(async () => {
    fs.mkdirSync(data, { recursive: true });
    const inputs = {
        big: file('streams-1000000.srt', 'streams', '1000000'),
        small: file('streams-1000.srt', 'streams', '1000'),
        ssd512: path.resolve(data, 'd01.ssd'),
        ssd1536: path.resolve(data, 'big01.ssd'),
        zipContainer: file('trio.srt', 'streams', '3'),
        zipSsds: [0, 1, 2].map((stream) => sparse(`trio0${stream}.ssd`, 1536 * 2 ** 20)),
        folder: path.resolve(data, 'folder-1000'),
    };
    for (const [link, target] of [[inputs.ssd512, file('data-536870912.ssd', 'ssd', String(512 << 20))],
        [inputs.ssd1536, file('data-1610612736.ssd', 'ssd', String(1536 * 2 ** 20))]]) {
        fs.existsSync(link) || fs.symlinkSync(target, link);
    }
    const row = (what, value, goal) => console.log(`${what.padEnd(56)} ${value.padStart(12)}   goal ${goal}`);
    if (process.env.SRTX_WEB_PROFILE) {
        for (const engine of engines) {
            const r = await measureProfile(engine, inputs);
            const figures = { date: new Date().toISOString().slice(0, 10) };
            for (const [what, took] of Object.entries(r)) {
                parts.forEach((part) => { figures[`${what}_${part.replace('-', '_')}`] = took[part]; });
                figures[`${what}_total`] = took.total;
            }
            results.update(results.today(), `profile.${engine}.`, figures);
            console.log(engine, JSON.stringify(r));
        }
        return;
    }
    if (process.env.SRTX_WEB_SERVED) {
        for (const engine of engines) {
            const r = await measureServed(engine, inputs);
            results.update(results.today(), `served.${engine}.`, { date: new Date().toISOString().slice(0, 10), painted: r.painted, read_floor: r.readFloor,
                ...(engine === 'webkit' ? { dump1536_kib: r.dump1536, dump1536_seconds: r.dumpSeconds } : {}) });
            console.log(`${engine}, served:`);
            row('  listing 1,000,000 streams, change to painted / read floor', (r.painted / r.readFloor).toFixed(2),
                `(${(r.painted * 1000).toFixed(0)} ms / ${(r.readFloor * 1000).toFixed(0)} ms)`);
            engine === 'webkit' && row('  dump 1.5 GiB as a download: PSS above a small listing', `${(r.dump1536 / 1024).toFixed(0)} MiB`,
                `(${r.dumpSeconds.toFixed(1)} s; ${r.dumpSaid})`);
        }
        return;
    }
    // Ten subfolders of 100 containers of 100 streams each.
    const hundred = file('streams-100.srt', 'streams', '100');
    for (let sub = 0; sub < 10; ++sub) {
        const at = path.join(inputs.folder, `d${sub}`);
        fs.mkdirSync(at, { recursive: true });
        for (let k = 0; k < 100; ++k) {
            const container = path.join(at, `c${sub}${String(k).padStart(2, '0')}.srt`);
            fs.existsSync(container) || fs.copyFileSync(hundred, container);
        }
    }
    const loopNative = median(Array.from({ length: 5 }, () => {
        const start = process.hrtime.bigint();
        execFileSync('bash', ['-c', 'for f in */*.srt; do "$0" "$f"; done > /dev/null', path.resolve(srtx)],
            { cwd: inputs.folder });
        return Number(process.hrtime.bigint() - start) / 1e9;
    }));
    const listNative = nativeSeconds([inputs.big], 9);
    for (const engine of engines) {
        page = pageOf(process.env.SRTX_WEB_AGAINST || webFolder);
        const before = process.env.SRTX_WEB_AGAINST ? await measure(engine, inputs) : null;
        page = pageOf(webFolder);
        const r = await measure(engine, inputs);
        before && compare(engine, before, r, { listNative, loopNative });
        const version = execFileSync('dpkg-query', ['-W', '-f=${Version}', packages[engine]], { encoding: 'utf8' });
        results.update(results.today(), `web.${engine}.`, {
            version, date: new Date().toISOString().slice(0, 10), list: r.list, list_native: listNative,
            painted: r.painted, read_floor: r.readFloor,
            folder: r.folder, folder_native: loopNative, folder_after_kib: r.folderAbove,
            ...(engine === 'webkit' ? {} : {
                dump: r.dump, dump_floor: r.floor, dump_ratio: r.dumpRatio,
                dump1536_kib: r.peak1536 - r.base, dump1536_equal: r.equal1536,
                twice_first_kib: r.twice[0], twice_second_kib: r.twice[1],
                engine_first_kib: r.engineTwice[0], engine_second_kib: r.engineTwice[1],
                zip_test: r.zipTest, zip_members: r.zipMembers, zip_bytes: r.zipSize,
            }),
        });
        const mib = (kib, digits = 0) => `${(kib / 1024).toFixed(digits)} MiB`;
        // The two dumps' peaks differ by less than a MiB at times.
        const mibs = (peaks) => peaks.map((kib) => mib(kib, 1)).join(', ');
        console.log(`${engine}:`);
        row('  listing 1,000,000 streams: page / native', (r.list / listNative).toFixed(2),
            `<= 3.00 (${(r.list * 1000).toFixed(0)} ms / ${(listNative * 1000).toFixed(1)} ms)`);
        row('  listing 1,000,000 streams, change to painted / read floor', (r.painted / r.readFloor).toFixed(2),
            `<= 1.50 (${(r.painted * 1000).toFixed(0)} ms / ${(r.readFloor * 1000).toFixed(0)} ms)`);
        row('  checking 1,000 containers: page / native loop', (r.folder / loopNative).toFixed(2),
            `<= 1.50 (${(r.folder * 1000).toFixed(0)} ms / ${(loopNative * 1000).toFixed(0)} ms; ${r.folderStatus})`);
        row('  checking 1,000 containers: PSS after, above a small listing', mib(r.folderAbove), '<= 128 MiB');
        if (engine === 'webkit') {
            continue;
        }
        row('  dump 512 MiB as a download: page / engine floor', r.dumpRatio.toFixed(2),
            `<= 1.30 (medians ${(r.dump * 1000).toFixed(0)} ms / ${(r.floor * 1000).toFixed(0)} ms)`);
        row('  dump 1.5 GiB as a download: PSS above a small listing', mib(r.peak1536 - r.base),
            `<= 256 MiB (base ${mib(r.base)}); bytes ${r.equal1536 ? 'equal' : 'DIFFER from'} the native dump`);
        row('  two 512 MiB dumps in turn: PSS above a small listing', mibs(r.twice),
            `second <= first (medians of ${r.twiceRuns.map(mibs).join('; ')})`);
        row('  the same two dumps by the engine alone, no page', mibs(r.engineTwice), 'for reference');
        row('  Dump all, 3 x 1.5 GiB: unzip -t; members', `${r.zipTest ? 'ok' : 'FAILED'}; ${r.zipMembers ? 'equal' : 'DIFFER'}`,
            `ok; equal to the native dumps (${(r.zipSize / 2 ** 30).toFixed(2)} GiB ZIP)`);
    }
    const folder = fs.readdirSync(webFolder, { recursive: true }).map((name) => fs.statSync(path.join(webFolder, name)))
        .filter((stat) => stat.isFile()).reduce((sum, stat) => sum + stat.size, 0);
    row('page folder, uncompressed', `${(folder / 1024).toFixed(0)} KiB`, '< 300 KB');
    results.update(results.today(), 'web.page.', { bytes: folder });
})().catch((error) => {
    console.error(error);
    process.exit(1);
});
