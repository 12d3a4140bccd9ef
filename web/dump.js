// Dumps: which .ssd file goes with which stream, one stream's dump, and
// "Dump all" as one ZIP (client-zip's downloadZip). Every output's bytes are
// the tool's own, written by its run in the worker and handed over in pieces.
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

    // Runs srtx CONTAINER N DATA.ssd OUTPUT in the worker; resolves to the
    // run's result, the output given to onPiece in pieces as it is written
    // (onPiece's promise kept when the piece is taken) and onProgress told
    // the bytes written so far.
    function dumpOne(container, stream, ssd, signal, onProgress, onPiece) {
        const output = outputName(ssd.name);
        let written = 0;
        return srtxBridge.run({
            args: [container.name, String(stream), ssd.name, output],
            files: container.name === ssd.name ? [container] : [container, ssd],
            outputs: [output],
            bytesOut: 144 + ssd.size,
            onPiece: (name, bytes) => {
                written += bytes.length;
                onProgress(written);
                return onPiece(bytes);
            },
            signal,
        });
    }

    // One ZIP of these dumps ({ container, stream, ssd, name }: name is the
    // member's path), stored (the streams are not compressed again) and in
    // ZIP64 where it needs to be, as a stream of its bytes. Each dump starts
    // when the ZIP writer comes to its member and its pieces go in as the
    // tool writes them. A dump that fails or is cancelled breaks the stream,
    // so no half archive passes for a whole one; failures then holds the
    // failed dump.
    function zipAll(dumps, onDump, signal) {
        const failures = [];
        function member(index, { container, stream, ssd, name }) {
            const input = srtxOutputs.pieceStream();
            dumpOne(container, stream, ssd, signal, (written) => onDump(index, written), input.put)
                .then((result) => {
                    if (result.status === 0) {
                        input.close();
                    } else {
                        failures.push({ stream, ssd, result });
                        input.fail(new Error(`the dump of stream ${stream} failed`));
                    }
                }, (error) => input.fail(error));
            return { name, lastModified: new Date(1980, 0, 1), input: input.stream };
        }
        function* members() {
            for (const [index, each] of dumps.entries()) {
                yield member(index, each);
            }
        }
        return { zip: downloadZip(members()).body, failures };
    }

    return { pairedStream, outputName, dumpOne, zipAll };
})();
