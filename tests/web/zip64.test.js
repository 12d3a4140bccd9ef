// "Dump all" past 4 GiB: client-zip, driven as the page drives it (stored
// members whose bytes arrive as streams of pieces), writes an archive that
// Python's zipfile reads back, its central directory past 4 GiB.
'use strict';
const assert = require('node:assert/strict');
const { test } = require('node:test');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { Readable } = require('node:stream');
const { pipeline } = require('node:stream/promises');
const vm = require('node:vm');

const piece = 8 << 20;
const memberSize = 1.5 * 2 ** 30 + 144;

test('three 1.5 GiB dumps make a valid ZIP64 archive', async () => {
    // The page's classic script, whose downloadZip becomes a global.
    vm.runInThisContext(fs.readFileSync(path.join(path.dirname(require.resolve('client-zip')), 'worker.js'), 'utf8'));
    // Member i holds bytes of value i + 1, so a wrong offset reads the wrong member.
    const member = (i) => {
        const bytes = new Uint8Array(piece).fill(i + 1);
        let left = memberSize;
        const input = new ReadableStream({
            pull(controller) {
                const size = Math.min(left, piece);
                controller.enqueue(size === piece ? bytes : bytes.subarray(0, size));
                left -= size;
                if (left === 0) {
                    controller.close();
                }
            },
        });
        return { name: `s0${i}.kvdsp`, lastModified: new Date(1980, 0, 1), input };
    };
    const zip = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'srtx-zip64-')), 'all.zip');
    try {
        await pipeline(Readable.fromWeb(downloadZip([0, 1, 2].map(member)).body), fs.createWriteStream(zip));
        const check = `
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    infos = z.infolist()
    print([(i.filename, i.file_size, i.compress_type) for i in infos])
    with z.open(infos[2]) as f:
        total, byte = 0, set()
        while chunk := f.read(1 << 24):
            total += len(chunk)
            byte |= set(chunk[:1] + chunk[-1:])
    print(z.start_dir > 2**32, total, sorted(byte))`;
        assert.equal(execFileSync('python3', ['-c', check, zip]).toString(),
            `[('s00.kvdsp', ${memberSize}, 0), ('s01.kvdsp', ${memberSize}, 0), ('s02.kvdsp', ${memberSize}, 0)]\n` +
            `True ${memberSize} [3]\n`);
    } finally {
        fs.rmSync(path.dirname(zip), { recursive: true, force: true });
    }
});
