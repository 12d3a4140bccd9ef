// Where an output's pieces go, in order, as the tool writes them: into a file
// the user chose, or into a download. Neither holds an output whole. A
// download is a Blob built from a stream of the pieces, which the browser
// keeps on disk; a chosen file takes the pieces as fast as its disk does, and
// while it is behind, those it has not taken wait in such a Blob, not in the
// page.
'use strict';

const srtxOutputs = (() => {
    // Pieces a chosen file may have waiting in memory; past them, the rest
    // waits on disk until the file has caught up.
    const waitingPieces = 4;
    // The most pieces that ever waited in memory: for a chosen file, and in
    // the stream a disk-backed Blob is built from. For the tests and the
    // benchmark: the page's memory depends on them.
    const measured = { fileWaiting: 0, blobWaiting: 0 };
    // A download's URL lives until the next one or a few seconds after it
    // starts, whichever comes first.
    const urlLife = 10000;
    let url = null;

    function cancelled() {
        return new DOMException('cancelled', 'AbortError');
    }

    // A Blob of the pieces put into it, made by the browser from a stream so
    // that it may keep the bytes on disk; close() gives the Blob.
    function diskBlob() {
        let input;
        const stream = new ReadableStream({ start: (controller) => { input = controller; } });
        const blob = new Response(stream).blob();
        blob.catch(() => {});
        return {
            put(bytes) {
                input.enqueue(bytes);
                measured.blobWaiting = Math.max(measured.blobWaiting, 1 - input.desiredSize);
            },
            close() {
                input.close();
                return blob;
            },
            fail: () => input.error(cancelled()),
        };
    }

    function download(blob, name) {
        release();
        const link = document.createElement('a');
        url = link.href = URL.createObjectURL(blob);
        link.download = name;
        document.body.appendChild(link);
        link.click();
        link.remove();
        setTimeout(() => release(link.href), urlLife);
    }

    // Revokes the current download's URL (only if it is still `which`).
    function release(which = url) {
        if (url !== null && url === which) {
            URL.revokeObjectURL(url);
            url = null;
        }
    }

    // Each destination: write(bytes) as pieces come, then finish(whole,
    // signal): a whole output is completed; one that is not, or whose signal
    // was aborted, is dropped and leaves nothing behind (a chosen file stays
    // as it was), the abort rethrown.
    function intoDownload(name) {
        const blob = diskBlob();
        return {
            write: (bytes) => blob.put(bytes),
            async finish(whole, signal) {
                if (!whole || signal.aborted) {
                    blob.fail();
                    signal.throwIfAborted();
                    return;
                }
                download(await blob.close(), name);
            },
        };
    }

    function intoFile(file) {
        let writes = Promise.resolve();
        let waiting = 0;
        let spill = null;
        const put = (data) => {
            const inMemory = data instanceof Uint8Array;
            waiting += 1;
            if (inMemory) {
                measured.fileWaiting = Math.max(measured.fileWaiting, waiting);
            }
            writes = writes.then(async () => file.write(await data)).finally(() => {
                waiting -= 1;
                if (waiting === 0 && spill) {
                    put(spill.close());
                    spill = null;
                }
            });
            // A failed write is told by finish(), which awaits the chain;
            // the writes after it are skipped.
            writes.catch(() => {});
        };
        return {
            write(bytes) {
                if (spill === null && waiting < waitingPieces) {
                    put(bytes);
                } else {
                    spill = spill || diskBlob();
                    spill.put(bytes);
                }
            },
            // The chosen file changes only when all is written: a failed or
            // cancelled run, or a write that failed (a full disk), leaves it
            // as it was, even when Cancel comes while the last pieces are
            // still on their way to the disk.
            async finish(whole, signal) {
                if (spill) {
                    whole ? put(spill.close()) : spill.fail();
                    spill = null;
                }
                const aborted = new Promise((resolve) => signal.addEventListener('abort', resolve, { once: true }));
                await Promise.race([writes.catch(() => {}), aborted]);
                if (whole && !signal.aborted) {
                    try {
                        await writes;
                    } catch (error) {
                        await file.abort().catch(() => {});
                        throw error;
                    }
                    await file.close();
                } else {
                    await file.abort();
                    signal.throwIfAborted();
                }
            },
        };
    }

    return { intoDownload, intoFile, release, measured };
})();
