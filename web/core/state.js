// The page's whole state and the one function that changes it: update(state,
// event) gives the next state and the effects to start and to abort, as
// data. Every choice of files or of a folder has a generation, and every job
// carries the generation of the choice it was started for: an answer of a
// job no longer running (an older choice's, a cancelled one's) changes
// nothing. present(state) is what the page shows, which the view writes
// out. No DOM and no Worker here: it runs as it is in Node.
import { explain, failedStep } from '../listing_reader.js';
import { closer, digitsOf, dumpPlan, isContainer, isData, outputName, pairUp, pairedStream, pathOf } from './names.js';

export const streamsPerPage = 200;
export const containersPerPage = 200;
// Outputs this large have a progress bar.
export const progressFrom = 50 << 20;

export function initial() {
    return {
        generation: 0,
        // null; { kind: 'files', container, ssds, pairs }; or { kind:
        // 'folder', name, containers, pairs, forced, open, walking,
        // checked, checkEnd }. pairs: each .ssd File and its stream's digits,
        // or null.
        choice: null,
        notes: '',
        // The listing of the container in view: { container, done: false }
        // while it runs, then the tool's words, text and reads.
        listing: null,
        page: 0,
        folderPage: 0,
        failuresFirst: false,
        // { id, generation, kind: 'list' | 'walk' | 'check' | 'dump', ... }
        jobs: [],
        nextJob: 1,
        // The last word on what the user asked, where it is shown.
        said: { view: null, folder: null },
        // "dump anyway" beside the single container's Dump all.
        forceView: false,
        // The folder outputs go into, by its name, once chosen; a dump's
        // question of files already there: { job, names }.
        outputFolder: null,
        question: null,
        readsInPage: false,
        problems: [],
    };
}

const count = (n) => n.toLocaleString('en-US');
const plural = (n, one) => `${count(n)} ${one}${n === 1 ? '' : 's'}`;
// A message as a sentence: one period at its end, whatever it ended in.
export const sentence = (text) => text.replace(/[.\s]*$/, '.');
// A list of names for a note: the first few, then how many more.
const named = (items) => items.slice(0, 10).map((item) => item.path || item.name).join(', ') +
    (items.length > 10 ? ` and ${count(items.length - 10)} more` : '');

const jobOf = (state, id) => state.jobs.find((job) => job.id === id) || null;
const running = (state, kind) => state.jobs.find((job) => job.kind === kind) || null;

function start(state, kind, fields) {
    const job = { id: state.nextJob, generation: state.generation, kind, ...fields };
    return [{ ...state, nextJob: state.nextJob + 1, jobs: [...state.jobs, job] }, { start: job }];
}

function without(state, job) {
    return { ...state, jobs: state.jobs.filter((each) => each !== job) };
}

// The container whose listing is in view, and its .ssd files.
function inView(state) {
    const { choice } = state;
    if (!choice) {
        return { container: null, ssds: [] };
    }
    if (choice.kind === 'files') {
        return { container: choice.container, ssds: choice.ssds };
    }
    const open = choice.open === null ? null : choice.containers[choice.open];
    return { container: open ? open.file : null, ssds: open ? open.ssds : [] };
}

// A listing of the container in view, replacing any listing still running.
function listing(state, effects) {
    const { container } = inView(state);
    const earlier = running(state, 'list');
    if (earlier) {
        effects.push({ abort: earlier.id });
        state = without(state, earlier);
    }
    if (!container) {
        return { ...state, listing: null };
    }
    let effect;
    [state, effect] = start(state, 'list', { container });
    effects.push(effect);
    return { ...state, listing: { container, done: false }, page: 0, said: { ...state.said, view: null }, forceView: false };
}

// A new choice: everything of the one before, its jobs too, is let go of.
function fresh(state, choice, notes, effects) {
    for (const job of state.jobs) {
        effects.push({ abort: job.id });
    }
    return {
        ...state, generation: state.generation + 1, choice, notes, listing: null, page: 0, folderPage: 0,
        jobs: [], said: { view: null, folder: null }, forceView: false, question: null,
    };
}

function chooseFiles(state, items, effects) {
    const files = items.map((item) => item.file);
    const containers = files.filter((file) => isContainer(file.name));
    const ssds = files.filter((file) => isData(file.name));
    const ignored = files.filter((file) => !containers.includes(file) && !ssds.includes(file));
    const { choice } = state;
    const notes = [];
    let target;
    if (containers.length > 0 || !choice) {
        target = { kind: 'files', container: containers[0] || null, ssds: [], pairs: new Map() };
    } else if (choice.kind === 'files') {
        target = { ...choice, ssds: [...choice.ssds], pairs: new Map(choice.pairs) };
    } else if (choice.open !== null) {
        // .ssd files alone join the container open in the folder's view.
        const containersNow = [...choice.containers];
        const open = { ...containersNow[choice.open], ssds: [...containersNow[choice.open].ssds] };
        containersNow[choice.open] = open;
        target = { ...choice, containers: containersNow, pairs: new Map(choice.pairs), open: choice.open };
        target.joining = open.ssds;
    } else {
        return { ...state, notes: `Open a container of the folder for these .ssd files to join it; left aside: ${named(ssds)}.` };
    }
    const joined = target.joining || target.ssds;
    delete target.joining;
    // Two outputs of one name would overwrite each other, or be two ZIP
    // members of one name.
    const sameOutput = [];
    const owner = target.kind === 'files' ? target.container : target.containers[target.open].file;
    const output = (ssd) => outputName(ssd.name).toLowerCase();
    for (const ssd of ssds) {
        // The same file chosen again (edited or put back since) takes the
        // earlier one's place and pairing.
        const earlier = joined.findIndex((file) => file.name === ssd.name);
        if (earlier >= 0) {
            target.pairs.set(ssd, target.pairs.get(joined[earlier]));
            target.pairs.delete(joined[earlier]);
            joined[earlier] = ssd;
            continue;
        }
        const kept = joined.findIndex((file) => output(file) === output(ssd));
        if (kept >= 0 && !(owner && closer(ssd.name, owner.name) && !closer(joined[kept].name, owner.name))) {
            sameOutput.push(ssd);
            continue;
        }
        if (kept >= 0) {
            sameOutput.push(joined[kept]);
            target.pairs.delete(joined[kept]);
            joined.splice(kept, 1);
        }
        joined.push(ssd);
        target.pairs.set(ssd, pairedStream(ssd.name));
    }
    if (target.kind === 'files') {
        if (target.container) {
            notes.push(`Container: ${target.container.name} (${count(target.container.size)} bytes).`);
        }
        if (target.ssds.length > 0) {
            notes.push(`${plural(target.ssds.length, '.ssd file')}.`);
        }
    } else {
        notes.push(`${plural(ssds.length - sameOutput.length, '.ssd file')} joined ${target.containers[target.open].path}.`);
    }
    if (sameOutput.length > 0) {
        notes.push(`Left aside, as another .ssd file gives the same output name: ${named(sameOutput)}.`);
    }
    if (ignored.length > 0) {
        notes.push(`Not .srt or .ssd, left aside: ${named(ignored)}.`);
    }
    if (containers.length > 0 || !choice) {
        state = fresh(state, target, notes.join(' '), effects);
        return containers.length > 0 ? listing(state, effects) : state;
    }
    return { ...state, choice: target, notes: notes.join(' ') };
}

// A folder's choice: every container in it listed in the background, its
// row filled as its listing ends.
function chooseFolder(state, items, effects, walked = false) {
    const { containers, pairs, strays, sameOutput, others } = pairUp(items);
    const tops = new Set(containers.map((container) => container.path.split('/')[0]));
    const notes = [`${plural(containers.length, 'container')}, ${plural(pairs.size, '.ssd file')} paired with them.`];
    if (strays.length > 0) {
        notes.push(`Paired with no container: ${named(strays)}.`);
    }
    if (sameOutput.length > 0) {
        notes.push(`Left aside, as another .ssd file beside it gives the same output name: ${named(sameOutput)}.`);
    }
    if (others.length > 0) {
        notes.push(`Not .srt or .ssd, left aside: ${named(others)}.`);
    }
    const name = tops.size === 1 && containers[0].path.includes('/') ? [...tops][0] : 'containers';
    const folder = {
        kind: 'folder', name, containers, pairs, forced: new Set(), open: null, walking: false, checked: 0, checkEnd: null,
    };
    if (walked) {
        // The walk's answer fills the choice it was started for.
        state = { ...state, choice: folder, notes: notes.join(' ') };
    } else {
        state = fresh(state, folder, notes.join(' '), effects);
    }
    let effect;
    [state, effect] = start(state, 'check', { containers });
    effects.push(effect);
    return state;
}

function dumpLabel(job) {
    return job.plan.all ? 'Dump all' : 'The dump';
}

// Where a dump's word goes: the folder's status for the folder's Dump all,
// else the listing's summary.
const placeOf = (plan) => (plan.folder ? 'folder' : 'view');

function say(state, where, text) {
    return { ...state, said: { ...state.said, [where]: text } };
}

function failedDump({ stream, ssd, result }) {
    const decoder = new TextDecoder();
    const step = failedStep(decoder.decode(result.stderr));
    // Without a failed step, the tool's last line says why (a stream
    // number past the last stream).
    const said = step ? `${step} failed: ${explain(step)}` : decoder.decode(result.stdout).trim().split('\n').pop();
    return `The dump of stream ${stream} with ${ssd.name} failed (${said.replace(/\.$/, '')}).`;
}

// What the summary of a folder's row says of the container in view, from
// its listing: the one rule of what Dump all leaves out holds for both.
function summaryOf(listing) {
    if (!listing || !listing.done) {
        return null;
    }
    const said = listing.failed ? `not listed: ${listing.failed}` : listing.step
        ? `${listing.step} failed: ${explain(listing.step)}` : listing.status === 0 ? 'ok' : 'the listing failed';
    return { status: listing.failed ? null : listing.status, count: listing.failed ? null : listing.count, said };
}

// A dump plan: what is dumped, whether into the chosen folder (named files,
// Dump all's as a tree) or as downloads (Dump all's as one ZIP), and what is
// left out and why.
function dumpJob(state, event) {
    const { choice } = state;
    const { container, ssds } = inView(state);
    const pairs = choice.pairs;
    const into = event.folders ? 'folder' : 'download';
    if (event.type === 'dump') {
        const ssd = ssds.find((file) => pairs.get(file) !== null && Number(pairs.get(file)) === event.stream);
        if (!container || !ssd) {
            return null;
        }
        const name = outputName(ssd.name);
        return { into, zip: false, name, dumps: [{ container, stream: pairs.get(ssd), ssd, name }], leftOut: [] };
    }
    if (event.type === 'dump-all') {
        if (!container) {
            return null;
        }
        const listed = state.listing && state.listing.container === container ? state.listing : null;
        const { dumps, leftOut } = dumpPlan([{ path: container.name, file: container, ssds, summary: summaryOf(listed) }],
            pairs, new Set(state.forceView ? [0] : []));
        dumps.sort((a, b) => Number(a.stream) - Number(b.stream) || a.ssd.name.localeCompare(b.ssd.name));
        return { into, all: true, zip: into === 'download', name: `${container.name.replace(/\.srt$/i, '')}-streams.zip`,
            dumps, leftOut };
    }
    const { dumps, leftOut } = dumpPlan(choice.containers, pairs, choice.forced);
    return { into, all: true, zip: into === 'download', folder: true, name: `${choice.name}-streams.zip`, dumps, leftOut };
}

const leftOutWords = (plan) => (plan.leftOut.length ? ` Left out: ${plan.leftOut.join('; ')}.` : '');

function dump(state, event, effects) {
    if (!state.choice || running(state, 'dump') || (event.type === 'dump-folder' && state.choice.kind !== 'folder') ||
        (event.type === 'dump-folder' && running(state, 'check'))) {
        return state;
    }
    const plan = dumpJob(state, event);
    if (!plan) {
        return state;
    }
    if (plan.dumps.length === 0) {
        return say(state, placeOf(plan), 'Nothing was dumped' +
            (plan.leftOut.length ? `; left out: ${plan.leftOut.join('; ')}.` : ': no .ssd file is paired.'));
    }
    const total = plan.dumps.reduce((sum, each) => sum + 144 + each.ssd.size, 0);
    const inputs = Math.max(0, ...plan.dumps.map((each) => each.container.size)) +
        plan.dumps.reduce((sum, each) => sum + each.ssd.size, 0);
    let effect;
    [state, effect] = start(state, 'dump', { plan, total, inputs, written: 0, stream: event.stream ?? null });
    effects.push(effect);
    return state;
}

function ended(state, job, event, effects) {
    state = without(state, job);
    if (job.kind === 'list') {
        return { ...state, listing: { container: job.container, done: true, ...event.result } };
    }
    if (job.kind === 'walk') {
        return chooseFolder(state, event.items, effects, true);
    }
    if (job.kind === 'check') {
        return { ...state, choice: { ...state.choice, checkEnd: 'ok' } };
    }
    const { plan } = job;
    const { result } = event;
    state = { ...state, question: null };
    // (Into a folder, the files of Dump all written before a failed one
    // stay: each is whole.)
    const written = result.written ? result.written.length : 0;
    const before = plan.into === 'folder' && plan.all && written ? ` ${plural(written, 'file')} before it stay written.` : '';
    const failure = result.failure || (result.status !== 0 && plan.dumps.length === 1 ? { ...plan.dumps[0], result } : null);
    if (failure || result.status !== 0) {
        return say(state, placeOf(plan), (failure ? failedDump(failure) : `${dumpLabel(job)} did not finish.`) + before +
            leftOutWords(plan));
    }
    const skipped = result.skipped && result.skipped.length
        ? ` Already there, so skipped: ${result.skipped.join(', ')}.` : '';
    const into = plan.into === 'folder' ? ` in ${state.outputFolder}` : '';
    if (!plan.all) {
        return say(state, placeOf(plan), written === 0 && skipped ? `Nothing was written.${skipped}`
            : `Dumped stream ${plan.dumps[0].stream} into ${plan.name}${into}.`);
    }
    const dumped = plan.dumps.length - (result.skipped ? result.skipped.length : 0);
    const containers = new Set(plan.dumps.map((each) => each.container)).size;
    return say(state, placeOf(plan), `Dumped ${plural(dumped, 'stream')}` +
        (plan.folder ? ` of ${plural(containers, 'container')}` : '') +
        (plan.into === 'folder' ? ` into ${state.outputFolder}.` : ` into ${plan.name}.`) + skipped + leftOutWords(plan));
}

function failed(state, job, event) {
    state = without(state, job);
    const { message } = event;
    if (job.kind === 'list') {
        return { ...state, listing: { container: job.container, done: true, failed: message } };
    }
    if (job.kind === 'walk') {
        return { ...state, choice: { ...state.choice, walking: false, checkEnd: sentence(`The folder could not be read: ${message}`) } };
    }
    if (job.kind === 'check') {
        return { ...state, choice: { ...state.choice, checkEnd: sentence(`The check did not finish: ${message}`) } };
    }
    // The page's own words for what the browser said, where it has them.
    return say({ ...state, question: null }, placeOf(job.plan), event.said ||
        sentence(`${dumpLabel(job)} ${event.started === false ? 'was not started' : 'did not finish'}: ${message}`));
}

// The events: what the user did, and what a job said.
export function update(state, event) {
    const effects = [];
    const next = step(state, event, effects);
    return { state: next, effects };
}

function step(state, event, effects) {
    const { choice } = state;
    switch (event.type) {
    case 'chosen': {
        // A choice that holds more than one container, or comes from the
        // folder chooser, is a folder's.
        const items = event.items;
        if (event.folder || items.filter((item) => isContainer(item.file.name)).length > 1) {
            return chooseFolder(state, items.map((item) => ({ file: item.file, path: item.path || pathOf(item.file) })), effects);
        }
        return chooseFiles(state, items, effects);
    }
    case 'dropped-folder': {
        state = fresh(state, { kind: 'folder', name: 'containers', containers: [], pairs: new Map(), forced: new Set(),
            open: null, walking: true, checked: 0, checkEnd: null }, 'Reading the dropped folder\u2026', effects);
        let effect;
        [state, effect] = start(state, 'walk', { entries: event.entries });
        effects.push(effect);
        return state;
    }
    case 'opened':
        if (!choice || choice.kind !== 'folder' || !choice.containers[event.index]) {
            return state;
        }
        return listing({ ...state, choice: { ...choice, open: event.index } }, effects);
    case 'paired': {
        const { ssds } = inView(state);
        if (!ssds.includes(event.ssd)) {
            return state;
        }
        const pairs = new Map(choice.pairs);
        pairs.set(event.ssd, digitsOf(String(event.value).trim()));
        return { ...state, choice: { ...choice, pairs } };
    }
    case 'forced': {
        if (!choice || choice.kind !== 'folder' || !choice.containers[event.index]) {
            return state;
        }
        const forced = new Set(choice.forced);
        event.on ? forced.add(event.index) : forced.delete(event.index);
        return { ...state, choice: { ...choice, forced } };
    }
    case 'paged':
        return event.table === 'folder' ? { ...state, folderPage: Math.max(0, state.folderPage + event.by) }
            : { ...state, page: Math.max(0, state.page + event.by) };
    case 'failures-first':
        return { ...state, failuresFirst: event.on };
    case 'force-view':
        return { ...state, forceView: event.on };
    case 'output-folder':
        return { ...state, outputFolder: event.name };
    case 'change-folder':
        effects.push({ choose: 'folder' });
        return state;
    case 'answered': {
        // Replace, skip, or cancel: the dump waiting on it goes on or ends.
        const job = state.question && jobOf(state, state.question.job);
        if (!job) {
            return state;
        }
        if (event.answer === 'cancel') {
            return step({ ...state, question: null }, { type: 'cancel', kind: 'dump' }, effects);
        }
        effects.push({ answer: job.id, value: event.answer });
        return { ...state, question: null };
    }
    case 'dump':
    case 'dump-all':
    case 'dump-folder':
        return dump(state, event, effects);
    case 'cancel': {
        const job = running(state, event.kind || 'dump');
        if (!job) {
            return state;
        }
        effects.push({ abort: job.id });
        state = { ...without(state, job), question: null };
        if (job.kind === 'check') {
            return { ...state, choice: { ...state.choice, checkEnd: 'Cancelled' } };
        }
        return say(state, placeOf(job.plan), `${dumpLabel(job)} did not finish: cancelled.`);
    }
    case 'note':
        // (A word about an earlier choice's text is not heard.)
        return event.generation === state.generation ? say(state, event.where, event.text) : state;
    case 'reads-in-page':
        return { ...state, readsInPage: true };
    case 'problem':
        return { ...state, problems: [...state.problems, event.message] };
    default:
        break;
    }
    // A job's answer: only a job still running is heard.
    const job = jobOf(state, event.job);
    if (!job || job.generation !== state.generation) {
        return state;
    }
    switch (event.type) {
    case 'progress':
        return { ...state, jobs: state.jobs.map((each) => (each === job ? { ...job, written: event.written } : each)) };
    case 'asked':
        return { ...state, question: { job: job.id, names: event.names } };
    case 'row': {
        // The one list of a folder's containers is kept, its row replaced in
        // place: a copy of a thousand for each row would be garbage that
        // the page holds until its collector runs. (No earlier state is
        // ever read again.)
        const { containers } = choice;
        containers[event.index] = { ...containers[event.index], summary: event.summary };
        return { ...state, choice: { ...choice, checked: choice.checked + 1 } };
    }
    case 'ended':
        return ended(state, job, event, effects);
    case 'failed':
        return failed(state, job, event);
    default:
        return state;
    }
}

function listingSummary(listing) {
    if (!listing.done) {
        return `Listing ${listing.container.name}\u2026`;
    }
    const { container } = listing;
    if (listing.failed) {
        return sentence(`The listing did not finish: ${listing.failed}`);
    }
    if (listing.count === null) {
        return `${container.name}: no stream count.`;
    }
    const warnings = listing.badSize.size + (listing.badEnd ? 1 : 0);
    return `${container.name}: ${count(listing.count)} streams` +
        (listing.step ? `, ${count(listing.words.length)} listed before the walk stopped` : '') +
        (warnings ? `; ${plural(warnings, 'BAD SIZE warning')}` +
            (listing.badEnd ? ' (one because the file does not end after the last DSP entry)' : '') : '') + '.';
}

function folderStatus(folder) {
    if (folder.walking) {
        return 'Reading the dropped folder\u2026';
    }
    const { containers, checked, checkEnd } = folder;
    if (checkEnd === null) {
        return `Checking ${count(containers.length)} containers\u2026`;
    }
    if (checkEnd !== 'ok' && checkEnd !== 'Cancelled') {
        return checkEnd;
    }
    const failed = containers.filter((container) => container.summary && container.summary.status !== 0).length;
    const warned = containers.filter((container) => container.summary && container.summary.warnings > 0).length;
    return (checkEnd === 'Cancelled' ? 'Cancelled: checked ' : 'Checked ') +
        `${count(checked)} of ${count(containers.length)} containers: ` +
        `${count(checked - failed)} listed to the end, ${count(failed)} failed` +
        (warned ? `, ${count(warned)} with BAD SIZE warnings.` : '.');
}

// What the page shows, as plain values: the view writes exactly this.
export function present(state) {
    const { choice, listing } = state;
    const dumpJobNow = running(state, 'dump');
    const checking = running(state, 'check') !== null;
    const shown = {
        generation: state.generation,
        notes: state.notes,
        readsInPage: state.readsInPage,
        problems: state.problems,
        dumping: dumpJobNow !== null,
        progress: dumpJobNow && dumpJobNow.total >= progressFrom ? Math.min(1, dumpJobNow.written / dumpJobNow.total) : null,
        outputFolder: state.outputFolder,
        question: state.question && { names: state.question.names, folder: state.outputFolder },
        folder: null,
        result: null,
    };
    if (choice && choice.kind === 'folder') {
        const { containers } = choice;
        const failed = (index) => Boolean(containers[index].summary && containers[index].summary.status !== 0);
        // The page's rows by their containers' indices, failures first where asked.
        const pages = Math.max(1, Math.ceil(containers.length / containersPerPage));
        const page = Math.min(state.folderPage, pages - 1);
        const at = page * containersPerPage;
        let shownIndices = Array.from({ length: Math.max(0, Math.min(containersPerPage, containers.length - at)) }, (_, k) => at + k);
        if (state.failuresFirst) {
            const all = containers.map((_, index) => index);
            shownIndices = [...all.filter(failed), ...all.filter((index) => !failed(index))].slice(at, at + containersPerPage);
        }
        const rows = shownIndices.map((index) => ({
            index, path: containers[index].path, summary: containers[index].summary,
            forced: choice.forced.has(index), canForce: failed(index) && containers[index].ssds.length > 0,
        }));
        shown.folder = {
            status: state.said.folder || folderStatus(choice),
            checking,
            checked: choice.checked,
            total: choice.containers.length,
            failuresFirst: state.failuresFirst,
            rows,
            page,
            range: `containers ${count(page * containersPerPage + 1)}\u2013${count(page * containersPerPage + rows.length)} ` +
                `of ${count(containers.length)}`,
            pages,
            canDump: !shown.dumping && !checking && !choice.walking,
        };
    }
    const { container, ssds } = inView(state);
    if (container || ssds.length > 0) {
        const words = listing && listing.done && listing.words ? listing.words : new Int32Array(0);
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
        shown.result = {
            listing: listing && listing.container === container ? listing : null,
            container,
            busy: Boolean(listing && !listing.done),
            summary: state.said.view || (listing && listing.container === container ? listingSummary(listing) : ''),
            pairs: ssds.map((ssd) => ({ ssd, stream: choice.pairs.get(ssd), output: outputName(ssd.name) })),
            page, pages, first, last, dumpFor,
            range: words.length ? `streams ${count(first)}\u2013${count(last - 1)} of ${count(words.length)}` : 'no streams listed',
            // A failed listing's container is dumped only when asked.
            failed: Boolean(listing && listing.container === container && listing.done && (listing.failed || listing.status !== 0)),
            forced: state.forceView,
            canDump: !shown.dumping && !(listing && !listing.done),
        };
    }
    return shown;
}
