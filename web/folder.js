// A folder of containers at once: the files a folder gives (chosen, dropped,
// or many files chosen together), each .ssd file paired with the container
// beside it, every container listed by the tool, one run each, and what each
// listing said in a row of the summary. Nothing here reads the format: every
// fact comes from what srtx printed.
'use strict';

const srtxFolder = (() => {
    const decoder = new TextDecoder();
    const isContainer = (path) => /\.srt$/i.test(path);
    const isData = (path) => /\.ssd$/i.test(path);
    // A file's path as the browser gives it: from a chosen folder's own name,
    // from the top of a dropped folder, or its name alone.
    const pathOf = (file) => file.webkitRelativePath || file.name;
    const folderOf = (path) => path.slice(0, path.lastIndexOf('/') + 1);
    const byPath = (a, b) => (a.path < b.path ? -1 : a.path > b.path ? 1 : 0);

    // The files of a drop, walking into the folders in it, as { file, path };
    // null when it holds no folder. The entries are taken at once: a drop's
    // items are gone once its event has been handled.
    function dropped(dataTransfer) {
        const entries = [...dataTransfer.items]
            .map((item) => (typeof item.webkitGetAsEntry === 'function' ? item.webkitGetAsEntry() : null))
            .filter(Boolean);
        return entries.some((entry) => entry.isDirectory) ? walk(entries) : null;
    }

    async function walk(entries) {
        const found = [];
        const visit = async (entry) => {
            if (entry.isFile) {
                const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
                found.push({ file, path: entry.fullPath.replace(/^\/+/, '') });
                return;
            }
            // A folder gives its entries a batch at a time, until an empty one.
            const reader = entry.createReader();
            for (;;) {
                const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
                if (batch.length === 0) {
                    return;
                }
                await Promise.all(batch.map(visit));
            }
        };
        await Promise.all(entries.map(visit));
        return found.sort(byPath);
    }

    // Pairs each .ssd file with the container in its folder whose name it
    // continues with the stream number, two digits at least (c00.ssd is
    // stream 0 of c.srt), letter case aside; of two containers that could
    // claim it (c1.srt and c10.srt for c1000.ssd), the longer name wins.
    // Gives the containers in path order, each with its .ssd files; pairs,
    // each paired .ssd File and its stream (changeable later; null: none);
    // the .ssd files no container claims; those left aside because another
    // in their folder gives the same output name; and the other files.
    function pairUp(items) {
        const sorted = [...items].sort(byPath);
        const containers = [];
        const named = new Map();
        for (const item of sorted.filter((each) => isContainer(each.path))) {
            const container = { ...item, ssds: [] };
            containers.push(container);
            named.set(item.path.slice(0, -4).toLowerCase(), container);
        }
        const pairs = new Map();
        const strays = [];
        const sameOutput = [];
        const outputs = new Set();
        for (const item of sorted.filter((each) => isData(each.path))) {
            const stem = item.path.slice(0, -4).toLowerCase();
            const digits = /\d*$/.exec(stem)[0].length;
            let claimed = null;
            for (let kept = 2; kept <= digits && !claimed; ++kept) {
                claimed = named.get(stem.slice(0, stem.length - kept)) || null;
                if (claimed) {
                    item.stream = Number(stem.slice(stem.length - kept));
                }
            }
            if (!claimed) {
                strays.push(item);
                continue;
            }
            const output = folderOf(item.path).toLowerCase() + srtxDump.outputName(item.file.name).toLowerCase();
            if (outputs.has(output)) {
                sameOutput.push(item);
                continue;
            }
            outputs.add(output);
            claimed.ssds.push(item.file);
            pairs.set(item.file, item.stream);
        }
        const others = sorted.filter((each) => !isContainer(each.path) && !isData(each.path));
        return { containers, pairs, strays, sameOutput, others };
    }

    // What the summary keeps of a listing: its status, stream count (null
    // where none was printed), BAD SIZE warnings and failed step, or why the
    // run could not be made.
    function summarize(result, name) {
        const listing = srtxListingReader.parse(result.stdout, name);
        const stderr = decoder.decode(result.stderr);
        const step = srtxListingReader.failedStep(stderr);
        return {
            status: result.status,
            count: listing.count,
            warnings: listing.badSize.size + (listing.badEnd ? 1 : 0),
            step,
            said: step ? `${step} failed: ${srtxListingReader.explain(step)}`
                : result.status === 0 ? 'ok' : stderr.trim().split('\n').pop(),
        };
    }

    // A small container goes to its run as bytes, read up to 32 containers
    // ahead (32 MiB at most) while the runs before it go on: in Chromium the
    // worker's synchronous read of a File waits about 1.5 ms a call, where
    // reads in the page overlap. A larger one, or one the page cannot read,
    // goes as the File, mounted in place.
    const readAheadBelow = 1 << 20;
    const readAheadFiles = 32;
    function readAhead(file) {
        return file.size > readAheadBelow ? Promise.resolve(file)
            : file.arrayBuffer().then((contents) => ({ name: file.name, size: file.size, contents }), () => file);
    }

    // Lists every container, as many at once as the machine has cores (four
    // at most), calling onResult(index, summary) as each ends, until all are
    // done or the signal is aborted (its AbortError rethrown).
    async function check(containers, signal, onResult) {
        const lanes = Math.max(1, Math.min(4, navigator.hardwareConcurrency || 1, containers.length));
        const reads = [];
        let next = 0;
        const lane = async () => {
            while (next < containers.length) {
                signal.throwIfAborted();
                const index = next++;
                for (let ahead = index; ahead < Math.min(containers.length, index + readAheadFiles); ++ahead) {
                    reads[ahead] = reads[ahead] || readAhead(containers[ahead].file);
                }
                const given = await reads[index];
                reads[index] = null;
                const { name } = containers[index].file;
                let summary;
                try {
                    summary = summarize(await srtxBridge.run({ args: [name], files: [given], signal }), name);
                } catch (error) {
                    if (error.name === 'AbortError') {
                        throw error;
                    }
                    summary = { status: null, count: null, warnings: 0, step: null, said: `not listed: ${error.message}` };
                }
                onResult(index, summary);
            }
        };
        await Promise.all(Array.from({ length: lanes }, lane));
    }

    // The summary as tab-separated text, a header line first; a tab, line
    // break or backslash in a path is written as \t, \n, \r or \\.
    function tabSeparated(containers) {
        const field = (value) => String(value ?? '').replace(/[\\\t\n\r]/g,
            (c) => ({ '\\': '\\\\', '\t': '\\t', '\n': '\\n', '\r': '\\r' })[c]);
        const lines = [['container', 'streams', 'BAD SIZE warnings', 'exit status', 'result']];
        for (const { path, summary } of containers) {
            lines.push(summary ? [path, summary.count, summary.warnings, summary.status, summary.said]
                : [path, '', '', '', 'not checked']);
        }
        return lines.map((line) => line.map(field).join('\t')).join('\n') + '\n';
    }

    // The dumps of a folder's "Dump all": every paired .ssd file of each
    // container listed well (or asked for on its row), as ZIP members at the
    // paths the files were chosen at; the rest left out, each with why.
    function dumpPlan(containers, pairs, forced) {
        const dumps = [];
        const leftOut = [];
        for (const container of containers) {
            const { summary } = container;
            const paired = container.ssds.filter((ssd) => pairs.get(ssd) !== null);
            if (paired.length === 0) {
                continue;
            }
            if (!summary || (summary.status !== 0 && !forced.has(container))) {
                leftOut.push(`${container.path} (${summary ? summary.said : 'not checked'})`);
                continue;
            }
            for (const ssd of paired) {
                const stream = pairs.get(ssd);
                const name = folderOf(container.path) + srtxDump.outputName(ssd.name);
                if (summary.count !== null && stream >= summary.count) {
                    leftOut.push(`${folderOf(container.path)}${ssd.name} (${container.path} has no stream ${stream})`);
                    continue;
                }
                dumps.push({ container: container.file, stream, ssd, name });
            }
        }
        return { dumps, leftOut };
    }

    return { pathOf, dropped, walk, pairUp, check, tabSeparated, dumpPlan, isContainer };
})();
