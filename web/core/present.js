// What the page shows, as plain values, from the state alone: the view
// writes exactly this and keeps nothing else.
import { outputName } from './names.js';
import { inView, running, streamsPerPage } from './update.js';
import { folderWords, listingWords, outputFolderWords, problemWords, progressWords, wroteWords, questionWords, rangeWords, summarySaid, updateWords } from './words.js';

export { streamsPerPage };
export const containersPerPage = 200;
// Outputs this large have a progress bar.
export const progressFrom = 50 << 20;

const failedRow = (summary) => Boolean(summary && summary.status !== 0);

function folderShown(state, choice, dumping, checking) {
    const { containers, summaries } = choice;
    const indices = containers.map((_, index) => index);
    // The page's rows by their containers' indices, failures first where asked.
    const ordered = state.failuresFirst ? [...indices.filter((index) => failedRow(summaries.at(index))),
        ...indices.filter((index) => !failedRow(summaries.at(index)))] : indices;
    const pages = Math.max(1, Math.ceil(containers.length / containersPerPage));
    const page = Math.min(state.folderPage, pages - 1);
    const at = page * containersPerPage;
    const rows = ordered.slice(at, at + containersPerPage).map((index) => {
        const summary = summaries.at(index);
        return { index, path: containers[index].path, summary, said: summary && summarySaid(summary),
            forced: choice.forced.has(index), canForce: failedRow(summary) && containers[index].ssds.length > 0 };
    });
    let failed = 0;
    let warned = 0;
    for (const index of indices) {
        const summary = summaries.at(index);
        failed += failedRow(summary) ? 1 : 0;
        warned += summary && summary.warnings > 0 ? 1 : 0;
    }
    return {
        status: state.said.folder || folderWords({ walking: choice.walking, total: containers.length, checked: choice.checked,
            checkEnd: choice.checkEnd, failed, warned }),
        checking,
        checked: choice.checked,
        total: containers.length,
        failuresFirst: state.failuresFirst,
        rows,
        page,
        range: rangeWords('containers', at + 1, at + rows.length, containers.length),
        pages,
        canDump: !dumping && !checking && !choice.walking,
    };
}

function resultShown(state, container, ssds, dumping) {
    const { choice } = state;
    const { listing } = state; // (always the container in view's)
    const done = Boolean(listing && listing.done);
    const words = done && listing.words ? listing.words : new Int32Array(0);
    const pages = Math.max(1, Math.ceil(words.length / streamsPerPage));
    const page = Math.min(state.page, pages - 1);
    const first = page * streamsPerPage;
    const last = Math.min(first + streamsPerPage, words.length);
    // Each stream on the page and the .ssd file that goes with it.
    const dumpFor = new Map();
    for (const ssd of ssds) {
        const stream = choice.pairs.get(ssd) === null ? -1 : Number(choice.pairs.get(ssd));
        if (stream >= first && stream < last && !dumpFor.has(stream)) {
            dumpFor.set(stream, ssd);
        }
    }
    return {
        listing,
        container,
        busy: Boolean(listing && !done),
        summary: state.said.view || (listing ? listingWords(listing) : ''),
        pairs: ssds.map((ssd) => ({ ssd, stream: choice.pairs.get(ssd), output: outputName(ssd.name) })),
        page, pages, first, last, dumpFor,
        range: words.length ? rangeWords('streams', first, last - 1, words.length) : 'no streams listed',
        // A failed listing's container is dumped only when asked.
        failed: done && Boolean(listing.failed || listing.status !== 0),
        forced: state.forceView,
        goTo: state.goTo,
        canDump: !dumping && !(listing && !done),
        map: done && listing.trace ? { fileSize: container.size, trace: listing.trace, step: listing.step,
            view: state.map.view, status: state.map.status } : null,
    };
}

export function present(state) {
    const { choice } = state;
    const dumpJob = running(state, 'dump');
    const checking = running(state, 'check') !== null;
    const dumping = dumpJob !== null;
    const { container, ssds } = inView(state);
    return {
        generation: state.generation,
        notes: state.notes,
        readsInPage: state.readsInPage,
        problems: problemWords(state.problems),
        update: state.update && { text: updateWords[state.update], reload: state.update === 'waiting', canReload: state.jobs.length === 0 },
        dumping,
        progress: dumpJob && { bar: dumpJob.total >= progressFrom ? Math.min(1, dumpJob.written / dumpJob.total) : null,
            ...progressWords(dumpJob) },
        outputFolder: outputFolderWords(state.outputFolder),
        question: state.question && questionWords(state.question.names, state.outputFolder),
        focus: state.focus,
        wrote: state.wrote && { of: state.wrote, groups: wroteWords(state.wrote), canSave: state.wrote.written.length > 0 },
        selected: state.selected,
        folder: choice && choice.kind === 'folder' ? folderShown(state, choice, dumping, checking) : null,
        result: container || ssds.length > 0 ? resultShown(state, container, ssds, dumping) : null,
    };
}
