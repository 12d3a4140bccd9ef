// Dumps: which .ssd file goes with which stream, one stream's file as a
// download, and "Dump all" as one ZIP (client-zip's downloadZip). Every output's bytes are the tool's
// own, written by its run in the worker and handed over in pieces.
'use strict';

const srtxDump = (() => {
    // c00.ssd goes with stream 0: the base name ends in the stream number,
    // written with two digits at least.
    function pairedStream(name) {
        const match = /(\d{2,})\.ssd$/i.exec(name);
        return match ? Number(match[1]) : null;
    }

    // The output is named after its .ssd file, with .kvdsp in place of .ssd.
    function outputName(ssdName) {
        return ssdName.replace(/\.ssd$/i, '') + '.kvdsp';
    }

    // Runs srtx CONTAINER N DATA.ssd OUTPUT as a job of the run controller;
    // resolves to the run's result, its output Blob among result.outputs, or
    // given to onPiece in pieces.
    function dumpOne(container, stream, ssd, signal, onProgress, onPiece = null) {
        const output = outputName(ssd.name);
        return srtxBridge.run({
            args: [container.name, String(stream), ssd.name, output],
            files: container.name === ssd.name ? [container] : [container, ssd],
            outputs: [output],
            onProgress,
            onPiece: onPiece && ((name, bytes) => onPiece(bytes)),
            signal,
        });
    }

    // One ZIP of the dumps of every pair, stored (the streams are not
    // compressed again) and in ZIP64 where it needs to be, as a stream of its
    // bytes. Each dump starts when the ZIP writer comes to its member and its
    // pieces go in as the tool writes them. A dump that fails or is cancelled
    // breaks the stream, so no half archive passes for a whole one; failures
    // then holds the failed dump.
    function zipAll(container, pairs, onDump, signal) {
        const failures = [];
        function member(index, { stream, ssd }) {
            let input;
            const body = new ReadableStream({ start: (controller) => { input = controller; } });
            dumpOne(container, stream, ssd, signal, (written) => onDump(index, written), (bytes) => input.enqueue(bytes))
                .then((result) => {
                    if (result.status === 0) {
                        input.close();
                    } else {
                        failures.push({ stream, ssd, result });
                        input.error(new Error(`the dump of stream ${stream} failed`));
                    }
                }, (error) => input.error(error));
            return { name: outputName(ssd.name), lastModified: new Date(1980, 0, 1), input: body };
        }
        function* members() {
            for (const [index, pair] of pairs.entries()) {
                yield member(index, pair);
            }
        }
        return { zip: downloadZip(members()).body, failures };
    }

    function download(blob, name) {
        const link = document.createElement('a');
        link.href = URL.createObjectURL(blob);
        link.download = name;
        document.body.appendChild(link);
        link.click();
        link.remove();
        setTimeout(() => URL.revokeObjectURL(link.href), 60000);
    }

    return { pairedStream, outputName, dumpOne, zipAll, download };
})();
