// Builds the page folder with esbuild: the page's modules as one classic
// script (app.js), which a page opened from disk can load. The worker's
// source (the srtx module's JavaScript, then the worker's own) goes into it
// as one string, with the WebAssembly as base64, since such a page may start
// a worker only from a Blob, not from a file. Last comes the service worker,
// sw.js, which names every other file of the folder and a hash of their
// contents. Or, with "reader", the listing reader as the CommonJS file the
// Node library requires; with "service-worker", sw.js written anew for a
// folder's files as they are.
//   node web/build.cjs page SRTX_WEB_JS ZIP_LICENSE OUTPUT_FOLDER
//   node web/build.cjs reader OUTPUT_FILE
//   node web/build.cjs service-worker FOLDER
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');

const sources = __dirname;
const bundle = (entry, options) => require('esbuild').buildSync({
    entryPoints: [path.join(sources, entry)], bundle: true, write: false, charset: 'utf8', legalComments: 'inline',
    target: ['chrome110', 'firefox115', 'safari16', 'node18'], ...options,
}).outputFiles[0].text;

const [what, ...args] = process.argv.slice(2);
function serviceWorker(folder) {
    const files = fs.readdirSync(folder, { recursive: true, withFileTypes: true })
        .filter((entry) => entry.isFile())
        .map((entry) => path.relative(folder, path.join(entry.parentPath || entry.path, entry.name)).split(path.sep).join('/'))
        .filter((file) => file !== 'sw.js').sort();
    const hash = crypto.createHash('sha256');
    files.forEach((file) => hash.update(`${file}\0`).update(fs.readFileSync(path.join(folder, file))));
    fs.writeFileSync(path.join(folder, 'sw.js'), `const files = ${JSON.stringify(files)};\n` +
        `const version = '${hash.digest('hex').slice(0, 16)}';\n` + fs.readFileSync(path.join(sources, 'service-worker.js'), 'utf8'));
}

if (what === 'service-worker') {
    serviceWorker(args[0]);
} else if (what === 'reader') {
    fs.mkdirSync(path.dirname(args[0]), { recursive: true });
    fs.writeFileSync(args[0], bundle('listing_reader.js', { format: 'cjs', platform: 'node' }));
} else {
    const [moduleFile, zipLicense, output] = args;
    fs.rmSync(output, { recursive: true, force: true });
    fs.mkdirSync(output, { recursive: true });
    for (const name of ['index.html', 'style.css', 'manifest.webmanifest', 'icons/icon.svg', 'icons/icon-maskable.svg',
        'icons/icon-192.png', 'icons/icon-512.png']) {
        fs.mkdirSync(path.dirname(path.join(output, name)), { recursive: true });
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
    serviceWorker(output);
}
