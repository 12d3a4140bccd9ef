// The page's whole state and the one function that changes it: update(state,
// event) gives the next state and the effects to run, as tagged data
// ({ type: 'start', job }, { type: 'abort', job }, ...), and changes nothing
// it is given. Every job is in the state's table while it runs: an answer
// of a job not there (an older choice's, a cancelled one's) changes
// nothing. No DOM and no Worker here: it runs as it is in Node.
import { digitsOf, isContainer, isData, pathOf } from './names.js';
import { dumpPlan, joined, pairUp, streamPlan, summaryOf } from './plan.js';
import { Rows } from './rows.js';
import { choiceWords, copyWords, dumpWords, errorWords, goToWords, tabSeparated } from './words.js';

export const streamsPerPage = 200;

export function initial() {
    return {
        generation: 0,
        // null; { kind: 'files', container, ssds, pairs }; or { kind:
        // 'folder', name, containers, summaries, pairs, forced, open,
        // walking, checked, checkEnd }. pairs: each .ssd File and its
        // stream's digits, or null. checkEnd: null while the check runs,
        // then {}, { cancelled: true } or { failed, walk }.
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
        // The map of the listing in view: the bytes it shows ([start, end],
        // or null for the whole file) and the line saying what is pointed at.
        map: { view: null, status: '' },
        // The control the keyboard goes back to, asked anew each time serial grows.
        focus: { to: null, serial: 0 },
        // Serial of the times the page was asked to select the listing's text.
        selected: 0,
        // What the page's service worker told: null, 'ready' (every file
        // kept for offline use), 'waiting' (a new version waits for Reload)
        // or 'elsewhere' (another tab's Reload made it the one in use).
        update: null,
        // What the last dump into the folder wrote, skipped and left out,
        // by path: null, or { written, skipped, leftOut }.
        wrote: null,
        // Go to stream: the stream marked, and what the field says.
        goTo: { stream: null, note: '' },
    };
}

const jobOf = (state, id) => state.jobs.find((job) => job.id === id) || null;
export const running = (state, kind) => state.jobs.find((job) => job.kind === kind) || null;
const without = (state, job) => ({ ...state, jobs: state.jobs.filter((each) => each !== job) });
const say = (state, where, text) => ({ ...state, said: { ...state.said, [where]: text } });
const focusOn = (state, to) => ({ ...state, focus: { to, serial: state.focus.serial + 1 } });
// Where a dump's word goes: the folder's status for the folder's Dump all,
// else the listing's summary.
const placeOf = (plan) => (plan.folder ? 'folder' : 'view');

function start(state, effects, kind, fields) {
    const job = { id: state.nextJob, generation: state.generation, kind, ...fields };
    effects.push({ type: 'start', job });
    // Stryker disable next-line ArithmeticOperator: counting down keeps the jobs apart as well
    return { ...state, nextJob: state.nextJob + 1, jobs: [...state.jobs, job] };
}

// The container whose listing is in view, and its .ssd files.
export function inView({ choice }) {
    if (!choice) {
        return { container: null, ssds: [] };
    }
    if (choice.kind === 'files') {
        return { container: choice.container, ssds: choice.ssds };
    }
    // Stryker disable next-line ConditionalExpression: containers[null] is undefined, no container as null is
    const open = choice.open === null ? null : choice.containers[choice.open];
    return { container: open ? open.file : null, ssds: open ? open.ssds : [] };
}

// A listing of the container in view, replacing any listing still running.
function listing(state, effects) {
    const { container } = inView(state);
    const earlier = running(state, 'list');
    if (earlier) {
        effects.push({ type: 'abort', job: earlier.id });
        state = without(state, earlier);
    }
    state = start(state, effects, 'list', { container });
    return {
        ...state, listing: { container, done: false }, page: 0, said: { ...state.said, view: null }, forceView: false,
        map: { view: null, status: '' }, goTo: { stream: null, note: '' },
    };
}

// A new choice: everything of the one before, its jobs too, is let go of.
function fresh(state, choice, notes, effects) {
    for (const job of state.jobs) {
        effects.push({ type: 'abort', job: job.id });
    }
    // Stryker disable next-line ArithmeticOperator: counting down keeps the choices apart as well
    const generation = state.generation + 1;
    return {
        ...state, generation, choice, notes, listing: null, page: 0, folderPage: 0,
        jobs: [], said: { view: null, folder: null }, forceView: false, question: null, wrote: null,
    };
}

function chooseFiles(state, items, effects) {
    const files = items.map((item) => item.file);
    const containers = files.filter((file) => isContainer(file.name));
    const ssds = files.filter((file) => isData(file.name));
    const ignored = files.filter((file) => !isContainer(file.name) && !isData(file.name));
    const { choice } = state;
    if (containers.length > 0 || !choice) {
        const container = containers[0] || null;
        const join = joined(container, [], new Map(), ssds);
        const next = { kind: 'files', container, ssds: join.ssds, pairs: join.pairs };
        state = fresh(state, next, choiceWords.files({ container, ssds: join.ssds, aside: join.aside, ignored }), effects);
        return container ? listing(state, effects) : state;
    }
    if (choice.kind === 'files') {
        const join = joined(choice.container, choice.ssds, choice.pairs, ssds);
        return { ...state, choice: { ...choice, ssds: join.ssds, pairs: join.pairs },
            notes: choiceWords.files({ container: choice.container, ssds: join.ssds, aside: join.aside, ignored }) };
    }
    if (choice.open === null) {
        return { ...state, notes: choiceWords.noContainer(ssds) };
    }
    // .ssd files alone join the container open in the folder's view.
    const open = choice.containers[choice.open];
    const join = joined(open.file, open.ssds, choice.pairs, ssds);
    const containersNow = choice.containers.map((each, index) => (index === choice.open ? { ...open, ssds: join.ssds } : each));
    return { ...state, choice: { ...choice, containers: containersNow, pairs: join.pairs },
        notes: choiceWords.joined({ added: ssds.length - join.aside.length, into: open.path, aside: join.aside, ignored }) };
}

// A folder's choice: every container in it listed in the background, its
// row filled as its listing ends. walked: the walk's answer fills the
// choice it was started for.
function chooseFolder(state, items, effects, walked = false) {
    const { containers, pairs, strays, sameOutput, others } = pairUp(items);
    const tops = new Set(containers.map((container) => container.path.split('/')[0]));
    const notes = choiceWords.folder({ containers: containers.length, paired: pairs.size, strays, aside: sameOutput, others });
    const name = tops.size === 1 && containers[0].path.includes('/') ? [...tops][0] : 'containers';
    const folder = {
        kind: 'folder', name, containers, summaries: Rows.empty(containers.length), pairs, forced: new Set(),
        open: null, walking: false, checked: 0, checkEnd: null,
    };
    state = walked ? { ...state, choice: folder, notes } : fresh(state, folder, notes, effects);
    return start(state, effects, 'check', { containers });
}

// A dump plan: what is dumped, whether into the chosen folder (named files,
// Dump all's as a tree) or as downloads (Dump all's as one ZIP), and what is
// left out and why; null where there is nothing to plan.
function planOf(state, event) {
    const { choice } = state;
    const { container, ssds } = inView(state);
    const into = event.folders ? 'folder' : 'download';
    if (event.type === 'dump') {
        const ssd = ssds.find((file) => choice.pairs.get(file) !== null && Number(choice.pairs.get(file)) === event.stream);
        if (!container || !ssd) {
            return null;
        }
        const plan = streamPlan(container, choice.pairs.get(ssd), ssd);
        return { into, zip: false, name: plan.dumps.length ? plan.dumps[0].name : null, ...plan };
    }
    if (event.type === 'dump-all') {
        if (!container) {
            return null;
        }
        // (The listing, where there is one, is always the container in view's.)
        const { dumps, leftOut } = dumpPlan([{ path: container.name, file: container, ssds }], () => summaryOf(state.listing),
            choice.pairs, new Set(state.forceView ? [0] : []));
        dumps.sort((a, b) => Number(a.stream) - Number(b.stream) || a.ssd.name.localeCompare(b.ssd.name));
        return { into, all: true, zip: into === 'download', name: `${container.name.replace(/\.srt$/i, '')}-streams.zip`,
            dumps, leftOut };
    }
    if (choice.kind !== 'folder') {
        return null;
    }
    const { dumps, leftOut } = dumpPlan(choice.containers, (index) => choice.summaries.at(index), choice.pairs, choice.forced);
    return { into, all: true, zip: into === 'download', folder: true, name: `${choice.name}-streams.zip`, dumps, leftOut };
}

// Nothing dumps while a dump runs, the folder while its check runs, nor the
// container in view while its listing runs.
function dump(state, event, effects) {
    if (!state.choice || running(state, 'dump') || running(state, event.type === 'dump-folder' ? 'check' : 'list')) {
        return state;
    }
    const plan = planOf(state, event);
    if (!plan) {
        return state;
    }
    if (plan.dumps.length === 0) {
        return say(state, placeOf(plan), dumpWords.nothing(plan));
    }
    const total = plan.dumps.reduce((sum, each) => sum + 144 + each.ssd.size, 0);
    const inputs = Math.max(0, ...plan.dumps.map((each) => each.container.size)) +
        plan.dumps.reduce((sum, each) => sum + each.ssd.size, 0);
    // from: the control that asked, which has the keyboard back at the end.
    return start({ ...state, wrote: null }, effects, 'dump', { plan, total, inputs, written: 0, from: event.from ?? null });
}

// A dump's end, whichever way: its word said, the keyboard back on the
// control that started it.
const dumpOver = (state, job, text) => focusOn(say({ ...without(state, job), question: null }, placeOf(job.plan), text), job.from);

function ended(state, job, event, effects) {
    if (job.kind === 'list') {
        return { ...without(state, job), listing: { container: job.container, done: true, ...event.result } };
    }
    if (job.kind === 'walk') {
        return chooseFolder(without(state, job), event.items, effects, true);
    }
    if (job.kind === 'check') {
        return say({ ...without(state, job), choice: { ...state.choice, checkEnd: {} } }, 'folder', null);
    }
    const { plan } = job;
    const { result } = event;
    const written = result.written ? result.written.length : 0;
    state = plan.into === 'folder' ? { ...state, wrote: { written: result.written || [], skipped: result.skipped || [],
        leftOut: plan.leftOut.map((each) => each.path) } } : state;
    const failure = result.failure || (result.status !== 0 && plan.dumps.length === 1 ? { ...plan.dumps[0], result } : null);
    if (failure) {
        return dumpOver(state, job, dumpWords.failedRun(failure, plan, written));
    }
    if (result.status !== 0) {
        return dumpOver(state, job, dumpWords.unfinished(plan, written));
    }
    return dumpOver(state, job, dumpWords.done(plan, { written, skipped: result.skipped || [] }, state.outputFolder));
}

function failed(state, job, event) {
    const message = event.said ? null : event.message || errorWords(event.kind);
    if (job.kind === 'list') {
        return { ...without(state, job), listing: { container: job.container, done: true, failed: message || event.said } };
    }
    if (job.kind === 'walk' || job.kind === 'check') {
        return say({ ...without(state, job),
            choice: { ...state.choice, walking: false, checkEnd: { failed: message || event.said, walk: job.kind === 'walk' } } }, 'folder', null);
    }
    // A folder that is gone is forgotten: the next output asks for one.
    state = event.gone ? { ...state, outputFolder: null } : state;
    return dumpOver(state, job, event.said ||
        dumpWords.failed(job.plan, message, event.started, event.written || 0, !event.message && !event.said));
}

// The events: what the user did, and what a job said.
export function update(state, event) {
    const effects = [];
    const next = (handlers[event.type] || answer)(state, event, effects);
    return { state: next, effects };
}

const folderOpen = (choice, index) => choice && choice.kind === 'folder' && index >= 0 && index < choice.containers.length;

const handlers = {
    // A choice that holds more than one container, or comes from the
    // folder chooser, is a folder's.
    chosen(state, { items, folder }, effects) {
        if (folder || items.filter((item) => isContainer(item.file.name)).length > 1) {
            return chooseFolder(state, items.map((item) => ({ file: item.file, path: item.path || pathOf(item.file) })), effects);
        }
        return chooseFiles(state, items, effects);
    },
    'dropped-folder'(state, { entries }, effects) {
        state = fresh(state, { kind: 'folder', name: 'containers', containers: [], summaries: Rows.empty(0), pairs: new Map(),
            forced: new Set(), open: null, walking: true, checked: 0, checkEnd: null }, choiceWords.walking, effects);
        return start(state, effects, 'walk', { entries });
    },
    opened(state, { index }, effects) {
        return folderOpen(state.choice, index) ? listing({ ...state, choice: { ...state.choice, open: index } }, effects) : state;
    },
    paired(state, { ssd, value }) {
        if (!inView(state).ssds.includes(ssd)) {
            return state;
        }
        const pairs = new Map(state.choice.pairs);
        pairs.set(ssd, digitsOf(String(value).trim()));
        return { ...state, choice: { ...state.choice, pairs } };
    },
    forced(state, { index, on }) {
        if (!folderOpen(state.choice, index)) {
            return state;
        }
        const forced = new Set(state.choice.forced);
        on ? forced.add(index) : forced.delete(index);
        return { ...state, choice: { ...state.choice, forced } };
    },
    paged: (state, { table, by }) => (table === 'folder' ? { ...state, folderPage: Math.max(0, state.folderPage + by) }
        : { ...state, page: Math.max(0, state.page + by) }),
    // Go to stream: its page shown, its row marked and given the keyboard;
    // else the field says why not.
    'go-to'(state, { value }) {
        const { listing } = state;
        if (!listing || !listing.done || !listing.words) {
            return state;
        }
        const digits = digitsOf(String(value).trim());
        const listed = listing.words.length;
        const stream = digits === null ? null : Number(digits);
        if (stream !== null && stream < listed) {
            return focusOn({ ...state, page: Math.floor(stream / streamsPerPage), goTo: { stream, note: '' } }, `row:${stream}`);
        }
        const note = stream === null ? goToWords.digits : stream < listing.count ? goToWords.notListed(stream, listed)
            : goToWords.past(stream, listing.count ?? listed);
        return { ...state, goTo: { stream: state.goTo.stream, note } };
    },
    'failures-first': (state, { on }) => ({ ...state, failuresFirst: on }),
    'force-view': (state, { on }) => ({ ...state, forceView: on }),
    'output-folder': (state, { name }) => ({ ...state, outputFolder: name }),
    'change-folder'(state, event, effects) {
        effects.push({ type: 'choose-folder' });
        return state;
    },
    // Replace, skip, or cancel: the dump waiting on it goes on or ends.
    answered(state, { answer: value }, effects) {
        const job = state.question && jobOf(state, state.question.job);
        if (!job) {
            return state;
        }
        if (value === 'cancel') {
            return handlers.cancel({ ...state, question: null }, { kind: 'dump' }, effects);
        }
        effects.push({ type: 'answer', job: job.id, value });
        return { ...state, question: null };
    },
    dump,
    'dump-all': dump,
    'dump-folder': dump,
    cancel(state, { kind = 'dump' }, effects) {
        const job = running(state, kind);
        if (!job) {
            return state;
        }
        effects.push({ type: 'abort', job: job.id });
        if (job.kind === 'check') {
            return focusOn(say({ ...without(state, job), choice: { ...state.choice, checkEnd: { cancelled: true } } }, 'folder', null),
                'folder-status');
        }
        return dumpOver(state, job, dumpWords.cancelled(job.plan));
    },
    // Copy and Save take the text as it is now: the listing's, or the
    // folder's summary.
    copy(state, { what }, effects) {
        const text = textOf(state, what);
        text === null || effects.push({ type: 'copy', what, text, generation: state.generation });
        return state;
    },
    save(state, { what }, effects) {
        const text = textOf(state, what);
        if (text !== null) {
            const name = what === 'written' ? 'written.txt' : what === 'summary' ? `${state.choice.name}-summary.tsv`
                : `${state.listing.container.name.replace(/\.srt$/i, '')}-listing.txt`;
            effects.push({ type: 'save', text, name });
        }
        return state;
    },
    // (A word about an earlier choice's text is not heard.) Where the
    // browser refused, the listing's text is selected for the keyboard.
    copied(state, { what, ok, generation }) {
        if (generation !== state.generation) {
            return state;
        }
        state = what === 'text' && !ok ? { ...state, selected: state.selected + 1 } : state;
        return say(state, what === 'text' ? 'view' : 'folder', copyWords[what][ok ? 'done' : 'refused']);
    },
    // (The map is there only once its listing has ended.)
    'map-pointed': (state, { text }) => (state.listing && state.listing.done ? { ...state, map: { ...state.map, status: text } } : state),
    'map-zoomed': (state, { view, text }) => (state.listing && state.listing.done ? { ...state, map: { view, status: text } } : state),
    'reads-in-page': (state) => ({ ...state, readsInPage: true }),
    // Files the system opened the page with, as if chosen.
    launched: (state, { files }, effects) => handlers.chosen(state, { items: files.map((file) => ({ file, path: file.name })) }, effects),
    'service-worker': (state, { news }) => ({ ...state, update: news }),
    // The new version takes over only when asked, and never under a job.
    reload(state, event, effects) {
        state.update === 'waiting' && state.jobs.length === 0 && effects.push({ type: 'reload' });
        return state;
    },
    problem: (state, { message }) => ({ ...state, problems: [...state.problems, message] }),
};

function textOf(state, what) {
    if (what === 'written') {
        return state.wrote && state.wrote.written.length ? state.wrote.written.map((path) => `${path}\n`).join('') : null;
    }
    if (what === 'summary') {
        const { choice } = state;
        return choice && choice.kind === 'folder'
            ? tabSeparated(choice.containers.map((container, index) => ({ path: container.path, summary: choice.summaries.at(index) })))
            : null;
    }
    return state.listing && state.listing.done && state.listing.text ? state.listing.text : null;
}

// A job's answer: only a job still running is heard.
function answer(state, event, effects) {
    const job = jobOf(state, event.job);
    if (!job) {
        return state;
    }
    switch (event.type) {
    case 'progress': {
        // What is shown of it changes at most four times a second, and at
        // the end; the time left is reckoned from its first word on.
        const { written, index = 0, at } = event;
        const shown = job.shown && at - job.shown.at < 250 && written < job.total ? job.shown : { written, index, at };
        const next = { ...job, written, shown, started: job.started ?? at };
        return { ...state, jobs: state.jobs.map((each) => (each === job ? next : each)) };
    }
    case 'asked':
        return job.kind !== 'dump' ? state : { ...state, question: { job: job.id, names: event.names } };
    case 'row': {
        const { choice } = state;
        if (job.kind !== 'check' || !folderOpen(choice, event.index) || choice.summaries.at(event.index)) {
            return state;
        }
        return { ...state, choice: { ...choice, summaries: choice.summaries.with(event.index, event.summary), checked: choice.checked + 1 } };
    }
    case 'ended':
        return ended(state, job, event, effects);
    case 'failed':
        return failed(state, job, event);
    default:
        return state;
    }
}
