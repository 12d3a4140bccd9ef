// An ES module program of the library's calls, checked by tsc against its
// declarations, then run.
import assert from 'node:assert/strict';
import srtx, { dump, explainStep, list, run, type ListResult } from 'srtx';

const example = process.argv[2];
const listed: ListResult = await list(example);
assert.equal(listed.count, 3);
assert.equal((await run([example])).status, 0);
assert.equal((await dump(example, '7', example, 'unused.kvdsp')).status, 1);
assert.equal(explainStep('open input'), srtx.explainStep('open input'));
console.log('the ES module program ran');
