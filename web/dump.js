// Dumps: which .ssd file goes with which stream, one stream's file as a
// download, and "Dump all" as one ZIP. Every output's bytes are the tool's
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

    // Runs srtx CONTAINER N DATA.ssd OUTPUT; resolves to the run's result,
    // its output Blob among result.outputs, or given to onPiece in pieces.
    function dumpOne(container, stream, ssd, onProgress, onPiece = null) {
        const output = outputName(ssd.name);
        return srtxBridge.run({
            args: [container.name, String(stream), ssd.name, output],
            files: container.name === ssd.name ? [container] : [container, ssd],
            outputs: [output],
            onProgress,
            onPiece: onPiece && ((name, bytes) => onPiece(bytes)),
        });
    }

    // One ZIP of the dumps of every pair, stored (the streams are not
    // compressed again), each dump's pieces going into it as they come. The
    // ZIP's own pieces go to sink, or without one into a Blob.
    // control.cancel() ends it.
    async function zipAll(container, pairs, onDump, control, sink = null) {
        let parts = [];
        let pending = 0;
        let failure = null;
        const zip = new fflate.Zip((error, chunk) => {
            if (error) {
                failure = error;
            } else if (sink) {
                sink(chunk);
            } else {
                parts.push(chunk);
                pending += chunk.length;
                if (pending >= 64 << 20) {
                    // Folded into a Blob, which the browser may keep out of this page's memory.
                    parts = [new Blob(parts)];
                    pending = 0;
                }
            }
        });
        for (const [index, { stream, ssd }] of pairs.entries()) {
            if (control.cancelled) {
                throw new Error('cancelled');
            }
            const entry = new fflate.ZipPassThrough(outputName(ssd.name));
            entry.mtime = new Date(1980, 0, 1);
            zip.add(entry);
            control.run = dumpOne(container, stream, ssd, (written) => onDump(index, written),
                (piece) => entry.push(piece));
            const result = await control.run.done;
            if (result.status !== 0) {
                return { failed: { stream, ssd, result } };
            }
            entry.push(new Uint8Array(0), true);
        }
        zip.end();
        if (failure) {
            throw failure;
        }
        return { zip: sink ? null : new Blob(parts, { type: 'application/zip' }) };
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
