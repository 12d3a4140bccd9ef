// Names and pairings, from file names alone: which .ssd file goes with which
// container and stream, what each output is called, what a listing's run
// said in a summary row, and what a folder's "Dump all" dumps. Nothing here
// reads the format: every fact comes from a name or from what srtx printed.
import { parse, failedStep, explain } from '../listing_reader.js';

export const isContainer = (path) => /\.srt$/i.test(path);
export const isData = (path) => /\.ssd$/i.test(path);
// A file's path as the browser gives it: from a chosen folder's own name,
// from the top of a dropped folder, or its name alone.
export const pathOf = (file) => file.webkitRelativePath || file.name;
export const folderOf = (path) => path.slice(0, path.lastIndexOf('/') + 1);
const byPath = (a, b) => (a.path < b.path ? -1 : a.path > b.path ? 1 : 0);
export const sortByPath = (items) => [...items].sort(byPath);

// A stream number is kept as its digits, which reach the tool exactly so:
// no JavaScript number stands between (1e21 would be "1e+21", read as 1).
export const digitsOf = (text) => (/^\d+$/.test(text) ? text : null);
const fromName = (digits) => digits.replace(/^0+(?=\d)/, '');

// c00.ssd goes with stream 0: the base name ends in the stream number,
// written with two digits at least.
export function pairedStream(name) {
    const match = /(\d{2,})\.ssd$/i.exec(name);
    return match ? fromName(match[1]) : null;
}

// Of two .ssd files that give one output name, the one whose name before
// its digits is the container's own, letter case and all, wins (c00.ssd over
// C00.SSD for c.srt); where neither or both are, the first chosen.
export const closer = (ssdName, containerName) =>
    ssdName.replace(/\d*\.ssd$/i, '') === containerName.replace(/\.srt$/i, '');

// The output is named after its .ssd file, with .kvdsp in place of .ssd.
export const outputName = (ssdName) => ssdName.replace(/\.ssd$/i, '') + '.kvdsp';

// Pairs each .ssd file with the container in its folder whose name it
// continues with the stream number, two digits at least (c00.ssd is
// stream 0 of c.srt), letter case aside; of two containers that could
// claim it (c1.srt and c10.srt for c1000.ssd), the longer name wins.
// Gives the containers in path order, each with its .ssd files; pairs,
// each paired .ssd File and its stream (changeable later; null: none);
// the .ssd files no container claims; those left aside because another
// in their folder gives the same output name; and the other files.
export function pairUp(items) {
    const sorted = sortByPath(items);
    const containers = [];
    const named = new Map();
    for (const item of sorted.filter((each) => isContainer(each.path))) {
        const container = { ...item, ssds: [], summary: null };
        containers.push(container);
        named.set(item.path.slice(0, -4).toLowerCase(), container);
    }
    const pairs = new Map();
    const strays = [];
    const sameOutput = [];
    const outputs = new Map();
    for (const item of sorted.filter((each) => isData(each.path))) {
        const stem = item.path.slice(0, -4).toLowerCase();
        const digits = /\d*$/.exec(stem)[0].length;
        let claimed = null;
        let stream = null;
        for (let kept = 2; kept <= digits && !claimed; ++kept) {
            claimed = named.get(stem.slice(0, stem.length - kept)) || null;
            stream = claimed ? fromName(stem.slice(stem.length - kept)) : null;
        }
        if (!claimed) {
            strays.push(item);
            continue;
        }
        const output = folderOf(item.path).toLowerCase() + outputName(item.file.name).toLowerCase();
        const kept = outputs.get(output);
        if (kept && !(closer(item.file.name, claimed.file.name) && !closer(kept.file.name, claimed.file.name))) {
            sameOutput.push(item);
            continue;
        }
        if (kept) {
            sameOutput.push(kept);
            claimed.ssds.splice(claimed.ssds.indexOf(kept.file), 1);
            pairs.delete(kept.file);
        }
        outputs.set(output, item);
        claimed.ssds.push(item.file);
        pairs.set(item.file, stream);
    }
    const others = sorted.filter((each) => !isContainer(each.path) && !isData(each.path));
    return { containers, pairs, strays, sameOutput, others };
}

// What the summary keeps of a listing: its status, stream count (null
// where none was printed), BAD SIZE warnings and failed step.
export function summarize(result, name) {
    const listing = parse(result.stdout, name);
    const stderr = new TextDecoder().decode(result.stderr);
    const step = failedStep(stderr);
    return {
        status: result.status,
        count: listing.count,
        warnings: listing.badSize.size + (listing.badEnd ? 1 : 0),
        step,
        said: step ? `${step} failed: ${explain(step)}` : result.status === 0 ? 'ok' : stderr.trim().split('\n').pop(),
    };
}

// A run that could not be made at all, in a summary row.
export const notListed = (message) => ({ status: null, count: null, warnings: 0, step: null, said: `not listed: ${message}` });

// The summary as tab-separated text, a header line first; a tab, line
// break or backslash in a path is written as \t, \n, \r or \\.
export function tabSeparated(containers) {
    const field = (value) => String(value ?? '').replace(/[\\\t\n\r]/g,
        (c) => ({ '\\': '\\\\', '\t': '\\t', '\n': '\\n', '\r': '\\r' })[c]);
    const lines = [['container', 'streams', 'BAD SIZE warnings', 'exit status', 'result']];
    for (const { path, summary } of containers) {
        lines.push(summary ? [path, summary.count, summary.warnings, summary.status, summary.said]
            : [path, '', '', '', 'not checked']);
    }
    return lines.map((line) => line.map(field).join('\t')).join('\n') + '\n';
}

// The dumps of "Dump all", of one container or a folder's: every paired
// .ssd file of each container listed well (or asked for: "dump anyway"), as
// outputs at the paths the files were chosen at; the rest left out, each
// with why, a .ssd file paired with no stream or one past the last too.
// forced: the indices of the failed containers to dump anyway.
export function dumpPlan(containers, pairs, forced) {
    const dumps = [];
    const leftOut = [];
    for (const [index, container] of containers.entries()) {
        const { summary, ssds } = container;
        const at = folderOf(container.path);
        if (ssds.length > 0 && (!summary || (summary.status !== 0 && !forced.has(index)))) {
            leftOut.push(`${container.path} (${summary ? summary.said : 'not checked'})`);
            continue;
        }
        for (const ssd of ssds) {
            const stream = pairs.get(ssd);
            if (stream === null) {
                leftOut.push(`${at}${ssd.name} (paired with no stream)`);
            } else if (summary.count !== null && BigInt(stream) >= BigInt(Math.max(0, summary.count))) {
                leftOut.push(`${at}${ssd.name} (${container.path} has no stream ${stream})`);
            } else {
                dumps.push({ container: container.file, stream, ssd, name: at + outputName(ssd.name) });
            }
        }
    }
    return { dumps, leftOut };
}
