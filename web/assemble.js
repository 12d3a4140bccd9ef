// Assembles the page folder: the page's own files, the ZIP library, and the
// worker's source (the srtx module's JavaScript, then worker.js) as one
// string in a classic script beside its WebAssembly as base64, since a page opened from disk
// may start a worker only from a Blob, not from a file.
//   node web/assemble.js WEB_SOURCES SRTX_WEB_JS ZIP_LIBRARY OUTPUT_FOLDER
'use strict';
const fs = require('fs');
const path = require('path');

const [sources, moduleFile, zipLibrary, output] = process.argv.slice(2);
fs.rmSync(output, { recursive: true, force: true });
fs.mkdirSync(output, { recursive: true });
for (const name of ['index.html', 'style.css', 'bridge.js', 'listing_reader.js', 'listing.js', 'map.js', 'outputs.js', 'dump.js', 'folder.js', 'app.js']) {
    fs.copyFileSync(path.join(sources, name), path.join(output, name));
}
fs.copyFileSync(zipLibrary, path.join(output, 'client-zip.js'));
// Its MIT licence travels with it.
fs.copyFileSync(path.join(path.dirname(zipLibrary), 'LICENSE.txt'), path.join(output, 'client-zip-LICENSE.txt'));
const wasm = fs.readFileSync(moduleFile.replace(/\.js$/, '.wasm')).toString('base64');
const workerSource = fs.readFileSync(moduleFile, 'utf8') + '\n' + fs.readFileSync(path.join(sources, 'worker.js'), 'utf8');
fs.writeFileSync(path.join(output, 'worker-source.js'),
    '// The worker: the srtx module\'s JavaScript, then its message handler; and\n' +
    '// its WebAssembly, which the page compiles once and hands to every run.\n' +
    'var SRTX_WORKER_SOURCE = ' + JSON.stringify(workerSource) + ';\n' +
    'var SRTX_WASM = ' + JSON.stringify(wasm) + ';\n');
