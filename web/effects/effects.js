// The effects the core asks for, as data: listings, a folder's walk and
// check, and dumps, each a job with an AbortSignal of its own; the answer to
// a dump's question; the folder chooser; Copy and Save. Every job checks its
// signal after each await on its way to new work and says nothing once it
// is aborted; what it says goes back to the core as an event, which decides
// what it means. Every output's bytes are the tool's own, written by its run
// in the worker and handed over in pieces.
import { downloadZip } from 'client-zip';
import { parse, failedStep } from '../listing_reader.js';
import { sortByPath } from '../core/names.js';
import { notListed, summarize } from '../core/plan.js';
import { errorWords } from '../core/words.js';
import { cancelled, profiled, refusal, run, runMany } from './bridge.js';
import { countedPieces, giveBack, intoDownload, release, saveText } from './outputs.js';
import { existing, intoFolderFile, outputFolder } from './folder.js';
import { reload } from './offline.js';

// Runs srtx CONTAINER N DATA.ssd OUTPUT in the worker, OUTPUT the file name
// of the output's path; resolves to the run's result, the output given to
// onPiece in pieces as it is written (onPiece's promise kept when the piece
// is taken) and onProgress told the bytes written so far.
function dumpOne({ container, stream, ssd, name }, signal, onProgress, onPiece) {
    let written = 0;
    const output = name.split('/').pop();
    return run({
        args: [container.name, String(stream), ssd.name, output],
        files: container.name === ssd.name ? [container] : [container, ssd],
        outputs: [output],
        bytesOut: 144 + ssd.size,
        onPiece: (_, bytes) => {
            written += bytes.length;
            onProgress(written);
            return onPiece(bytes);
        },
        signal,
    });
}

// A member's date is its .ssd file's, in local time as ZIP dates are; one
// before 1980, which a ZIP cannot hold, is 1980-01-01.
const zipDate = (at) => new Date(Math.max(Number(at) || 0, new Date(1980, 0, 1).getTime()));

// One ZIP of these dumps (name: each member's path), stored (the streams
// are not compressed again) and in ZIP64 where it needs to be, as a stream
// of its bytes. Each dump starts when the ZIP writer comes to its member and
// its pieces go in as the tool writes them. A dump that fails or is
// cancelled breaks the stream, so no half archive passes for a whole one;
// failures then holds the failed dump.
function zipAll(dumps, onDump, signal) {
    const failures = [];
    function member(index, each) {
        const input = countedPieces();
        dumpOne(each, signal, (written) => onDump(index, written), input.put)
            .then((result) => {
                if (result.status === 0) {
                    input.close();
                } else {
                    failures.push({ ...each, result });
                    input.fail(new Error(`the dump of stream ${each.stream} failed`));
                }
            }, (error) => input.fail(error));
        return { name: each.name, lastModified: zipDate(each.ssd.lastModified), input: input.stream };
    }
    function* members() {
        for (const [index, each] of dumps.entries()) {
            yield member(index, each);
        }
    }
    return { zip: downloadZip(members()).body, failures };
}

// A download of the whole output, where the page reads the files itself
// only while they fit.
function downloadTarget({ plan, total, inputs }) {
    release();
    const refused = refusal(inputs + total);
    if (refused) {
        throw Object.assign(new Error(refused), { started: false, page: true });
    }
    return intoDownload(plan.name, total);
}

// What an error says to the core: the page's own words where it has them
// (said, a whole sentence, or message), else the error's kind, which the
// core names.
const known = new Set(['QuotaExceededError', 'NotAllowedError', 'SecurityError', 'NotFoundError',
    'NoModificationAllowedError', 'InvalidStateError', 'NotReadableError', 'AbortError']);
export function toldOf(error) {
    if (error && error.said) {
        return { said: error.said, started: error.started, gone: error.gone };
    }
    if (error && error.page) {
        return { message: error.message, started: error.started };
    }
    const kind = error && (error.kind || error.name);
    return known.has(kind) ? { message: errorWords(kind), started: error.started } : { kind: kind || 'Error' };
}

// The dumps into the chosen folder, one file each, in turn; files already
// there replaced or skipped as the user answers ask(paths), asked once. A
// failed or cancelled run removes the file it was writing, and the folders
// it made that are still empty.
async function intoFolder({ plan }, signal, progress, { ask, told }) {
    const top = await outputFolder(signal);
    signal.throwIfAborted();
    told(top.name);
    const there = await existing(top, plan.dumps.map((each) => each.name), signal);
    signal.throwIfAborted();
    const skipped = there.length > 0 && (await ask(there)) === 'skip' ? there : [];
    signal.throwIfAborted();
    const written = [];
    const made = [];
    let done = 0;
    try {
        for (const each of plan.dumps.filter((one) => !skipped.includes(one.name))) {
            const target = await intoFolderFile(top, each.name, signal, made);
            const index = plan.dumps.indexOf(each);
            const result = await dumpOne(each, signal, (bytes) => progress(done + bytes, index), target.write)
                .catch(async (error) => {
                    await target.finish(false).catch(() => {});
                    throw error;
                });
            await target.finish(result.status === 0);
            signal.throwIfAborted();
            if (result.status !== 0) {
                await removeEmpty(made);
                return { result: { failure: { ...each, result }, written } };
            }
            written.push(each.name);
            done += 144 + each.ssd.size;
        }
    } catch (error) {
        await removeEmpty(made);
        throw Object.assign(error, { written: written.length });
    }
    return { result: { status: 0, written, skipped } };
}
// The folders a run made, deepest first, each removed where it is empty
// (one that holds a file written before stays).
async function removeEmpty(made) {
    for (const { at, name } of made.reverse()) {
        await at.removeEntry(name).catch(() => {});
    }
}

// The files of a drop, walking into the folders in it, as { file, path },
// until the signal is aborted. A folder gives its entries a batch at a time,
// until an empty one.
export async function walk(entries, signal) {
    const found = [];
    const visit = async (entry) => {
        signal.throwIfAborted();
        if (entry.isFile) {
            const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
            signal.throwIfAborted();
            found.push({ file, path: entry.fullPath.replace(/^\/+/, '') });
            return;
        }
        const reader = entry.createReader();
        for (;;) {
            const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
            signal.throwIfAborted();
            if (batch.length === 0) {
                return;
            }
            await Promise.all(batch.map(visit));
        }
    };
    await Promise.all(entries.map(visit));
    return sortByPath(found);
}

// A small container goes to its run as bytes, read up to 32 containers
// ahead (32 MiB at most) while the runs before it go on: in Chromium the
// worker's synchronous read of a File waits about 1.5 ms a call, where reads
// in the page overlap. A larger one, or one the page cannot read, goes as
// the File, mounted in place.
const readAheadBelow = 1 << 20;
const readAheadFiles = 32;
function readAhead(file) {
    const reading = performance.now();
    return file.size > readAheadBelow ? Promise.resolve(file) : file.arrayBuffer().then((contents) => {
        profiled('read', reading, performance.now() - reading);
        return { name: file.name, size: file.size, contents };
    }, () => file);
}

// Lists every container, in four lanes (their time is mostly the page's
// and the worker's waiting on each other), calling onResult(index, summary)
// as each ends, until all are done or the signal is aborted (its
// AbortError rethrown). A lane takes the next few containers at once: read
// ahead as bytes, they go to one worker in one message; a larger one runs
// on its own.
const perMessage = 16;
async function check(containers, signal, onResult) {
    const lanes = Math.max(1, Math.min(4, containers.length));
    const reads = [];
    let next = 0;
    const summaryOf = (name, result, error) => {
        if (error) {
            signal.throwIfAborted();
            const told = toldOf(error);
            return notListed(told.said || told.message || errorWords(told.kind));
        }
        const reading = performance.now();
        const summary = summarize(result, name);
        profiled('reader', reading, performance.now() - reading);
        return summary;
    };
    const lane = async () => {
        while (next < containers.length) {
            const from = next;
            const to = Math.min(containers.length, from + perMessage);
            next = to;
            for (let ahead = from; ahead < Math.min(containers.length, to + readAheadFiles); ++ahead) {
                reads[ahead] = reads[ahead] || readAhead(containers[ahead].file);
            }
            const given = await Promise.all(reads.slice(from, to));
            given.forEach((_, k) => { reads[from + k] = null; });
            signal.throwIfAborted();
            const bytes = given.filter((each) => !(each instanceof Blob)).length === given.length;
            if (bytes) {
                await runMany({ runs: given.map((each) => ({ args: [each.name], files: [each] })), signal,
                    onResult: (k, result, error) => onResult(from + k, summaryOf(given[k].name, result, error)) });
                signal.throwIfAborted();
                continue;
            }
            for (const [k, each] of given.entries()) {
                const ran = await run({ args: [each.name], files: [each], signal }).then((result) => [result], (error) => [null, error]);
                signal.throwIfAborted();
                onResult(from + k, summaryOf(each.name, ...ran));
            }
        }
    };
    await Promise.all(Array.from({ length: lanes }, lane));
}

// The tool's text as bytes: what it printed, then the exit status.
function textOf(result) {
    const status = new TextEncoder().encode(`exit status ${result.status}\n`);
    const text = new Uint8Array(result.stdout.length + result.stderr.length + status.length);
    text.set(result.stdout);
    text.set(result.stderr, result.stdout.length);
    text.set(status, result.stdout.length + result.stderr.length);
    return text;
}

async function listing({ container }, signal) {
    const result = await run({ args: [container.name], files: [container], signal });
    signal.throwIfAborted();
    const reading = performance.now();
    const { count, words, badSize, badEnd } = parse(result.stdout, container.name);
    profiled('reader', reading, performance.now() - reading);
    const step = failedStep(new TextDecoder().decode(result.stderr));
    return { result: { count, words, badSize, badEnd, step, status: result.status, trace: result.trace, text: textOf(result) } };
}

async function dump(job, signal, progress, talk) {
    const { plan } = job;
    if (plan.into === 'folder') {
        return intoFolder(job, signal, progress, talk);
    }
    const target = downloadTarget(job);
    if (!plan.zip) {
        const result = await dumpOne(plan.dumps[0], signal, progress, target.write).catch(async (error) => {
            await target.finish(false, signal).catch(() => {});
            throw error;
        });
        await target.finish(result.status === 0, signal);
        return { result: { status: result.status, stdout: result.stdout, stderr: result.stderr } };
    }
    // Progress in bytes written of all the dumps.
    let done = 0;
    let current = -1;
    let currentWritten = 0;
    const onDump = (index, written) => {
        if (index !== current) {
            done += currentWritten;
            current = index;
        }
        currentWritten = written;
        progress(done + written, index);
    };
    const { zip, failures } = zipAll(plan.dumps, onDump, signal);
    try {
        const reader = zip.getReader();
        for (let piece = await reader.read(); !piece.done; piece = await reader.read()) {
            // The ZIP's pieces come from several workers, none of them
            // waiting for spares.
            giveBack(await target.write(piece.value));
            signal.throwIfAborted();
        }
    } catch (error) {
        await target.finish(false, signal).catch(() => {});
        signal.throwIfAborted();
        if (failures.length > 0) {
            return { result: { failure: failures[0] } };
        }
        throw error;
    }
    await target.finish(true, signal);
    return { result: { status: 0 } };
}

// perform(effect) runs what the core asked for; dispatch(event) hears the
// answers. It runs within the call that gave it the effect, so an effect
// the core gives for a click (a dialog, the clipboard, a download) runs
// within that click.
export function createEffects(dispatch) {
    const controls = new Map();
    // The dumps waiting for the user's answer, by job.
    const answers = new Map();
    const bodies = {
        list: listing,
        dump,
        walk: async ({ entries }, signal) => ({ items: await walk(entries, signal) }),
        check: async (job, signal) => {
            await check(job.containers, signal, (index, summary) => signal.aborted ||
                dispatch({ type: 'row', job: job.id, index, summary }));
            return {};
        },
    };
    function start(job) {
        const control = new AbortController();
        controls.set(job.id, control);
        const { signal } = control;
        const progress = (written, index = 0) => signal.aborted ||
            dispatch({ type: 'progress', job: job.id, written, index, at: performance.now() });
        const talk = {
            ask: (names) => new Promise((resolve) => {
                answers.set(job.id, resolve);
                dispatch({ type: 'asked', job: job.id, names });
            }),
            told: (name) => dispatch({ type: 'output-folder', name }),
        };
        bodies[job.kind](job, signal, progress, talk).then((answer) => {
            controls.delete(job.id);
            signal.aborted || dispatch({ type: 'ended', job: job.id, ...answer });
        }, (error) => {
            controls.delete(job.id);
            if (!signal.aborted) {
                dispatch({ type: 'failed', job: job.id, ...toldOf(error), written: error && error.written });
            }
        });
    }
    function abort(id) {
        if (controls.has(id)) {
            // A dump waiting for the user's answer hears Cancel.
            answers.get(id)?.('cancel');
            answers.delete(id);
            controls.get(id).abort(cancelled());
            controls.delete(id);
        }
    }
    const kinds = {
        start: ({ job }) => start(job),
        abort: ({ job }) => abort(job),
        answer({ job, value }) {
            answers.get(job)?.(value);
            answers.delete(job);
        },
        'choose-folder': () => outputFolder(null, true).then((top) => dispatch({ type: 'output-folder', name: top.name }), () => {}),
        save: ({ text, name }) => saveText(text, name),
        reload,
        copy({ what, text, generation }) {
            const said = (ok) => dispatch({ type: 'copied', what, ok, generation });
            navigator.clipboard.writeText(typeof text === 'string' ? text : new TextDecoder().decode(text))
                .then(() => said(true), () => said(false));
        },
    };
    return (effect) => kinds[effect.type](effect);
}
