// Where an output's pieces go, in order, as the tool writes them: into a file
// the user chose, or into a download, a Blob the browser builds from a
// stream of the pieces and keeps on disk. Neither holds an output whole:
// write(bytes) gives a promise kept once the destination has taken the
// piece, and the worker writes no further ahead of that than a few pieces
// (where the engine lets it wait; see worker.js). The promise gives a spare:
// a piece the destination is done with (this one, or one before it), whose
// memory the worker can fill again, so that a long dump moves a few pieces
// round and round instead of leaving hundreds for the collectors, which run
// seldom while a page only passes pieces on.
'use strict';

const srtxOutputs = (() => {
    // The most pieces that ever waited in the page for a destination to take
    // them: for the tests and the benchmark, as the page's memory follows it.
    const measured = { waiting: 0 };
    // A download's URL lives until the next one or a few seconds after it
    // starts, whichever comes first.
    const urlLife = 10000;
    let url = null;

    // Gives a spare's memory back at once, where no worker takes it again,
    // by detaching it. Blink's transfer(0) keeps the memory under an empty
    // buffer its collector no longer counts (measured: a 1.5 GiB download
    // then held all of it), so there the collector is left to do it;
    // navigator.userAgentData is Blink's alone.
    const detachFrees = !('userAgentData' in navigator);
    const giveBack = (spare) => detachFrees && spare && spare.buffer.transfer?.(0);

    function cancelled() {
        return new DOMException('cancelled', 'AbortError');
    }

    // A stream that hands on the pieces put into it when its reader asks for
    // them; put(bytes) is kept when the reader has the piece. With recycle,
    // for a reader that copies what it reads (a Response's body), it gives
    // the piece handed on before as a spare: a reader asks again only once it
    // is done with the last piece.
    function pieceStream({ recycle = false } = {}) {
        const waiting = [];
        let asked = null;
        let closing = false;
        let input;
        let handed = null;
        const handOn = () => {
            const { bytes, taken } = waiting.shift();
            const spare = recycle ? handed : null;
            handed = bytes;
            input.enqueue(bytes);
            taken(spare);
            if (closing && waiting.length === 0) {
                input.close();
            }
        };
        const stream = new ReadableStream({
            start: (controller) => { input = controller; },
            pull: () => {
                if (waiting.length > 0) {
                    handOn();
                    return null;
                }
                return new Promise((resolve) => { asked = resolve; });
            },
        }, { highWaterMark: 0 });
        return {
            stream,
            put(bytes) {
                const taken = new Promise((resolve) => waiting.push({ bytes, taken: resolve }));
                measured.waiting = Math.max(measured.waiting, waiting.length);
                if (asked) {
                    asked();
                    asked = null;
                    handOn();
                }
                return taken;
            },
            // Closes the stream once the pieces still waiting are read.
            close() {
                closing = true;
                if (waiting.length === 0) {
                    input.close();
                }
            },
            fail: (error = cancelled()) => input.error(error),
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
        const pieces = pieceStream({ recycle: true });
        const blob = new Response(pieces.stream).blob();
        blob.catch(() => {});
        return {
            write: (bytes) => pieces.put(bytes),
            async finish(whole, signal) {
                if (!whole || signal.aborted) {
                    pieces.fail();
                    signal.throwIfAborted();
                    return;
                }
                pieces.close();
                download(await blob, name);
            },
        };
    }

    function intoFile(file) {
        let writes = Promise.resolve();
        let waiting = 0;
        return {
            write(bytes) {
                measured.waiting = Math.max(measured.waiting, ++waiting);
                writes = writes.then(() => file.write(bytes)).finally(() => { waiting -= 1; });
                // A failed write is told by finish(), which awaits the chain;
                // the writes after it are skipped.
                writes.catch(() => {});
                return writes.then(() => bytes, () => null);
            },
            // The chosen file changes only when all is written: a failed or
            // cancelled run, or a write that failed (a full disk), leaves it
            // as it was, even when Cancel comes while the last pieces are
            // still on their way to the disk.
            async finish(whole, signal) {
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

    // The tool's whole text (its bytes, or a string), as a download.
    function saveText(text, name) {
        download(new Blob([text], { type: 'text/plain' }), name);
    }

    return { pieceStream, intoDownload, intoFile, giveBack, detachFrees, release, saveText, measured };
})();
