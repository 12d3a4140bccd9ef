// A CommonJS program of the library's calls, checked by tsc against its
// declarations, then run.
import assert = require('node:assert/strict');
import srtx = require('srtx');

(async () => {
    const example = process.argv[2];
    const listed: srtx.ListResult = await srtx.list(new URL(`file://${example}`));
    assert.equal(listed.streams[2]?.word, -2);
    const printed: srtx.RunResult = await srtx.run([example], { signal: new AbortController().signal });
    assert.equal(printed.stdout.toString('utf8'), listed.text);
    const dumped: srtx.DumpResult = await srtx.dump(example, 7, example, 'unused.kvdsp');
    assert.match(dumped.message, /^bad stream number/);
    assert.equal(srtx.explainStep('open input'), 'the container could not be opened');
    console.log('the CommonJS program ran');
})();
