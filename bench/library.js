// The Node library's costs, in one process: many list() calls of a small
// container, and list() of a large one. Prints seconds: the 1,000 calls in
// all, then the medians of seven large listings, without and with reading
// their streams (made when first read).
//   node bench/library.js NPM_FOLDER SMALL_CONTAINER LARGE_CONTAINER
'use strict';
const [npm, small, large] = process.argv.slice(2);
const srtx = require(require('path').resolve(npm));

const seconds = (start) => Number(process.hrtime.bigint() - start) / 1e9;

(async () => {
    await srtx.list(small);
    let start = process.hrtime.bigint();
    for (let i = 0; i < 1000; ++i) {
        await srtx.list(small);
    }
    const calls = seconds(start);
    // The median of seven large listings; objects: with the streams read.
    const median = async (objects) => {
        const times = [];
        for (let i = 0; i < 7; ++i) {
            start = process.hrtime.bigint();
            const listed = await srtx.list(large);
            const streams = objects ? listed.streams : null;
            times.push(seconds(start));
            if (listed.status !== 0 || (streams ?? listed.streams).length !== listed.count) {
                throw new Error('the large listing did not list every stream');
            }
        }
        return times.sort((a, b) => a - b)[3];
    };
    console.log(calls, await median(false), await median(true));
})();
