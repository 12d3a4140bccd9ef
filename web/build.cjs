// Builds the page folder with esbuild: the page's modules as one classic
// script (app.js), which a page opened from disk can load. The worker's
// source (the srtx module's JavaScript, then the worker's own) goes into it
// as one string, with the WebAssembly as base64, since such a page may start
// a worker only from a Blob, not from a file. Or, with "reader",
// the listing reader as the CommonJS file the Node library requires.
//   node web/build.cjs page SRTX_WEB_JS ZIP_LICENSE OUTPUT_FOLDER
//   node web/build.cjs reader OUTPUT_FILE
'use strict';
const esbuild = require('esbuild');
const fs = require('fs');
const path = require('path');

const sources = __dirname;
const bundle = (entry, options) => esbuild.buildSync({
    entryPoints: [path.join(sources, entry)], bundle: true, write: false, charset: 'utf8', legalComments: 'inline',
    target: ['chrome110', 'firefox115', 'safari16', 'node18'], ...options,
}).outputFiles[0].text;

const [what, ...args] = process.argv.slice(2);
if (what === 'reader') {
    fs.mkdirSync(path.dirname(args[0]), { recursive: true });
    fs.writeFileSync(args[0], bundle('listing_reader.js', { format: 'cjs', platform: 'node' }));
} else {
    const [moduleFile, zipLicense, output] = args;
    fs.rmSync(output, { recursive: true, force: true });
    fs.mkdirSync(output, { recursive: true });
    for (const name of ['index.html', 'style.css']) {
        fs.copyFileSync(path.join(sources, name), path.join(output, name));
    }
    // The ZIP library, bundled into app.js, has its MIT licence beside it.
    fs.copyFileSync(zipLicense, path.join(output, 'client-zip-LICENSE.txt'));
    // The worker, as the module 'srtx-worker' that the bridge imports.
    const wasm = fs.readFileSync(moduleFile.replace(/\.js$/, '.wasm')).toString('base64');
    const workerSource = fs.readFileSync(moduleFile, 'utf8') + '\n' + bundle('effects/worker.js', { format: 'iife' });
    const workerModule = path.join(path.dirname(output), 'srtx-worker.js');
    fs.writeFileSync(workerModule, `export const workerSource = ${JSON.stringify(workerSource)};\n` +
        `export const wasmBase64 = ${JSON.stringify(wasm)};\n`);
    // The page's modules; what the entry exports is srtxPage, for the tests
    // and the benchmark.
    fs.writeFileSync(path.join(output, 'app.js'), bundle('main.js', {
        format: 'iife', globalName: 'srtxPage', alias: { 'srtx-worker': workerModule },
    }));
}
