// The page against the native tool, in headless Chromium on this machine:
// listing a 1,000,000-stream container and dumping a 512 MiB .ssd (medians of
// a few runs each, from choosing the files to the tool's exit), and Chromium's
// memory (proportional set size summed over its processes) while dumping a
// 1.5 GiB .ssd, as a download and into a chosen file, against what a small
// listing needs.
//   node bench/web.js SRTX WEB_FOLDER MAKE_CONTAINER DATA_FOLDER
'use strict';
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { chromium } = require('playwright-core');

const [srtx, webFolder, maker, data] = process.argv.slice(2);
const page = 'file://' + path.resolve(webFolder) + '/index.html';
const median = (values) => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];
const file = (name, ...make) => {
    const at = path.resolve(data, name);
    if (!fs.existsSync(at)) {
        execFileSync(maker, [...make, at]);
    }
    return at;
};

function nativeSeconds(args, runs) {
    return median(Array.from({ length: runs }, () => {
        const start = process.hrtime.bigint();
        execFileSync(srtx, args, { stdio: ['ignore', 'ignore', 'ignore'] });
        return Number(process.hrtime.bigint() - start) / 1e9;
    }));
}

// Proportional set size of every Chromium process, in KiB.
function chromiumPss() {
    let total = 0;
    for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
        try {
            if (!/chrom/.test(fs.readFileSync(`/proc/${pid}/comm`, 'utf8'))) {
                continue;
            }
            total += Number(/^Pss:\s+(\d+)/m.exec(fs.readFileSync(`/proc/${pid}/smaps_rollup`, 'utf8'))[1]);
        } catch {
            // a process that ended meanwhile
        }
    }
    return total;
}

// A tab whose outputs download: without a save dialog, which headless
// Chromium would leave unanswered, and in a context of its own, as Chromium
// asks before a second download that no click just started.
async function downloadingTab(browser) {
    const tab = await (await browser.newContext({ acceptDownloads: true })).newPage();
    await tab.addInitScript(() => { window.showSaveFilePicker = undefined; });
    await tab.goto(page);
    return tab;
}

async function pageSeconds(browser, files, act, runs) {
    const times = [];
    for (let k = 0; k < runs; ++k) {
        const tab = await downloadingTab(browser);
        const start = Date.now();
        await tab.setInputFiles('#files', files);
        await tab.waitForFunction(() => /exit status \d+\n$/.test(document.getElementById('text').textContent),
            null, { timeout: 600000 });
        let end = Date.now();
        if (act) {
            const actStart = Date.now();
            await act(tab);
            end = Date.now() - actStart + start;
        }
        times.push((end - start) / 1000);
        await tab.context().close();
    }
    return median(times);
}

async function dumpOnClick(tab) {
    const [download] = await Promise.all([tab.waitForEvent('download', { timeout: 600000 }),
        tab.click('#streams tbody tr:nth-child(2) button')]);
    await download.path();
    await download.delete();
}

(async () => {
    fs.mkdirSync(data, { recursive: true });
    const big = file('streams-1000000.srt', 'streams', '1000000');
    const small = file('streams-1000.srt', 'streams', '1000');
    const ssd512 = path.resolve(data, 'd01.ssd');
    if (!fs.existsSync(ssd512)) {
        fs.symlinkSync(file('data-536870912.ssd', 'ssd', String(512 << 20)), ssd512);
    }
    const ssd1536 = path.resolve(data, 'big01.ssd');
    if (!fs.existsSync(ssd1536)) {
        fs.symlinkSync(file('data-1610612736.ssd', 'ssd', String(1536 << 20)), ssd1536);
    }
    const browser = await chromium.launch({
        executablePath: '/usr/bin/chromium',
        args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
            '--disable-sync', '--no-first-run'],
    });

    const listNative = nativeSeconds([big], 9);
    const listPage = await pageSeconds(browser, [big], null, 5);
    const dumpNative = nativeSeconds([small, '1', ssd512, path.join(data, 'out-native')], 5);
    const dumpPage = await pageSeconds(browser, [small, ssd512], dumpOnClick, 3);

    // Memory: a small listing, then the 1.5 GiB dump, sampled as it runs.
    const tab = await downloadingTab(browser);
    await tab.setInputFiles('#files', [small]);
    await tab.waitForFunction(() => /exit status/.test(document.getElementById('text').textContent));
    const base = chromiumPss();
    await tab.setInputFiles('#files', [small, ssd1536]);
    await tab.waitForFunction(() => document.getElementById('result').getAttribute('aria-busy') === 'false' &&
        document.querySelector('#streams tbody button'));
    let peak = 0;
    const sampler = setInterval(() => { peak = Math.max(peak, chromiumPss()); }, 100);
    await dumpOnClick(tab);
    clearInterval(sampler);
    peak = Math.max(peak, chromiumPss());
    await tab.close();

    // The same dump into a chosen file, the save dialog answered by a file
    // that drops what it is given: what the page itself holds on the way.
    const saving = await browser.newPage();
    await saving.addInitScript(() => {
        window.showSaveFilePicker = async () => ({
            createWritable: async () => ({
                write: async () => {},
                close: async () => { window.saved = true; },
                abort: async () => { window.saved = false; },
            }),
        });
    });
    await saving.goto(page);
    await saving.setInputFiles('#files', [small, ssd1536]);
    await saving.waitForFunction(() => /exit status/.test(document.getElementById('text').textContent));
    let peakSaving = 0;
    const samplerSaving = setInterval(() => { peakSaving = Math.max(peakSaving, chromiumPss()); }, 100);
    await saving.click('#streams tbody tr:nth-child(2) button');
    await saving.waitForFunction(() => window.saved === true, null, { timeout: 600000 });
    clearInterval(samplerSaving);
    await browser.close();

    const folder = fs.readdirSync(webFolder).reduce((sum, name) => sum + fs.statSync(path.join(webFolder, name)).size, 0);
    const row = (what, value, goal) => console.log(`${what.padEnd(52)} ${value.padStart(12)}   goal ${goal}`);
    row('listing 1,000,000 streams: page / native', `${(listPage / listNative).toFixed(2)}`,
        `<= 3.00 (${(listPage * 1000).toFixed(0)} ms / ${(listNative * 1000).toFixed(1)} ms)`);
    row('dump 512 MiB .ssd: page / native', `${(dumpPage / dumpNative).toFixed(2)}`,
        `<= 3.00 (${(dumpPage * 1000).toFixed(0)} ms / ${(dumpNative * 1000).toFixed(0)} ms)`);
    row('dump 1.5 GiB: Chromium PSS above a small listing', `${((peak - base) / 1024).toFixed(0)} MiB`,
        `<= 512 MiB (base ${(base / 1024).toFixed(0)} MiB)`);
    row('dump 1.5 GiB into a chosen file: PSS above that', `${((peakSaving - base) / 1024).toFixed(0)} MiB`,
        '<= 512 MiB (the file drops the bytes)');
    row('page folder, uncompressed', `${(folder / 1024).toFixed(0)} KiB`, '< 300 KB');
})();
