#!/usr/bin/env node
// Records the mutation score of the page core's model test, from the report
// npm run mutate leaves (StrykerJS on web/core/), in the day's results file
// under bench/results/, for bench/figures.
//   node bench/mutation.js [REPORT]
'use strict';
const path = require('node:path');
const results = require('./results');

const report = require(path.resolve(process.argv[2] || 'build/stryker/mutation.json'));
const counts = { Killed: 0, Timeout: 0, Survived: 0, NoCoverage: 0 };
for (const { mutants } of Object.values(report.files)) {
    for (const { status } of mutants) {
        status in counts && (counts[status] += 1);
    }
}
const valid = Object.values(counts).reduce((sum, n) => sum + n, 0);
const score = (counts.Killed + counts.Timeout) / valid;
results.update(results.today(), 'mutation.', {
    date: new Date().toISOString().slice(0, 10), score: score.toFixed(4), mutants: valid, killed: counts.Killed,
    timeout: counts.Timeout, survived: counts.Survived, no_coverage: counts.NoCoverage,
    runs: process.env.SRTX_MODEL_RUNS || '', seed: process.env.SRTX_MODEL_SEED || '',
});
console.log(`mutation score ${(score * 100).toFixed(1)} %: ${counts.Killed + counts.Timeout} of ${valid} mutants killed`);
