// The Node library's costs, in one process. Prints seconds: 1,000 list()
// calls of a small container one after another; the medians of seven large
// listings, without and with reading their streams (made when first read);
// the largest gap between ticks of a 1 ms timer during a large listing;
// four large listings at once, then the same four one after another.
//   node bench/library.js NPM_FOLDER SMALL_CONTAINER LARGE_CONTAINER
// With --batch, in a fresh process: Promise.all of list() over every
// container of the folder, from the first call (the module's compile
// included) to the last result.
//   node bench/library.js --batch NPM_FOLDER FOLDER
'use strict';
const fs = require('fs');
const path = require('path');

const seconds = (start) => Number(process.hrtime.bigint() - start) / 1e9;

async function batch(npm, folder) {
    const srtx = require(path.resolve(npm));
    const containers = fs.readdirSync(folder).map((name) => path.join(folder, name));
    const start = process.hrtime.bigint();
    const listed = await Promise.all(containers.map((container) => srtx.list(container)));
    const took = seconds(start);
    if (listed.some((result) => result.status !== 0)) {
        throw new Error('a container of the batch did not list');
    }
    console.log(took);
}

async function costs(npm, small, large) {
    const srtx = require(path.resolve(npm));
    await srtx.list(small);
    let start = process.hrtime.bigint();
    for (let i = 0; i < 1000; ++i) {
        await srtx.list(small);
    }
    const calls = seconds(start);
    // (Its streams are made only where asked: a million objects are the
    // caller's own work, on its own thread.)
    const listedWhole = (listed, streams = listed.streams) => {
        if (listed.status !== 0 || streams.length !== listed.count) {
            throw new Error('the large listing did not list every stream');
        }
    };
    const counted = (listed) => listedWhole(listed, { length: listed.count });
    // The median of seven large listings; objects: with the streams read.
    const median = async (objects) => {
        const times = [];
        for (let i = 0; i < 7; ++i) {
            start = process.hrtime.bigint();
            const listed = await srtx.list(large);
            const streams = objects ? listed.streams : null;
            times.push(seconds(start));
            objects ? listedWhole(listed, streams) : counted(listed);
        }
        return times.sort((a, b) => a - b)[3];
    };
    for (let i = 0; i < 2; ++i) {
        // Every worker's first large runs, before they are timed.
        (await Promise.all([srtx.list(large), srtx.list(large)])).forEach(counted);
    }
    const plain = await median(false);
    // (Before the million objects of the last listings, whose collection
    // would be the caller's own pause.)
    let last = process.hrtime.bigint();
    let gap = 0;
    const timer = setInterval(() => {
        const now = process.hrtime.bigint();
        gap = Math.max(gap, Number(now - last) / 1e9);
        last = now;
    }, 1);
    last = process.hrtime.bigint();
    const listed = await srtx.list(large);
    clearInterval(timer);
    counted(listed);
    start = process.hrtime.bigint();
    (await Promise.all([1, 2, 3, 4].map(() => srtx.list(large)))).forEach(counted);
    const together = seconds(start);
    start = process.hrtime.bigint();
    for (let i = 0; i < 4; ++i) {
        counted(await srtx.list(large));
    }
    const inTurn = seconds(start);
    console.log(calls, plain, await median(true), gap, together, inTurn);
}

const [first, ...rest] = process.argv.slice(2);
(first === '--batch' ? batch(...rest) : costs(first, ...rest)).catch((error) => {
    console.error(error);
    process.exit(1);
});
