// The page's core against a small model, over random sequences of every event
// it takes, jobs answering in any order, late ones of earlier choices too.
// Beside the model, a small reference of the dump plan: which .ssd file goes
// with which container (by exact path) and stream, and what is left out and
// why. After each step: what is shown is the latest choice's; the jobs
// running are the core's, of the latest choice; every dump started writes
// what the reference says; the rows, pairings, progress, question, map line
// and focus are what the user did and the jobs said; a failed or cancelled
// dump is never told as done. Each choice's files carry its number
// (k3_c.srt), which is how the test tells whose a name is.
//   SRTX_MODEL_RUNS=50000 node --test tests/web/core.test.mjs
import assert from 'node:assert/strict';
import { test } from 'node:test';
import fc from 'fast-check';
import { initial, update } from '../../web/core/update.js';
import { containersPerPage, present, progressFrom, streamsPerPage } from '../../web/core/present.js';
import { notListed, summarize } from '../../web/core/plan.js';
import { namesShown } from '../../web/core/words.js';

const text = (s) => new TextEncoder().encode(s);
const nameOf = (path) => path.slice(path.lastIndexOf('/') + 1);
const dirOf = (path) => path.slice(0, path.lastIndexOf('/') + 1);
const stemOf = (path) => path.replace(/\.(srt|ssd)$/i, '');
const item = (path, size = 100) => ({ file: { name: nameOf(path), size, path }, path });
// As the folder chooser gives them: no path beside the file, its own webkitRelativePath.
const chosenItem = (path, size) => ({ file: { name: nameOf(path), size, path, webkitRelativePath: path } });
const tags = (value, found = new Set(), seen = new Set()) => {
    if (typeof value === 'string') {
        for (const [, n] of value.matchAll(/k(\d+)_/g)) found.add(Number(n));
    } else if (value && typeof value === 'object' && !seen.has(value) && !ArrayBuffer.isView(value)) {
        seen.add(value);
        for (const each of value instanceof Map ? [...value.keys(), ...value.values()] : Object.values(value)) {
            tags(each, found, seen);
        }
    }
    return found;
};

// The reference: each .ssd file's container is the one in its own folder
// whose name it extends by two digits or more, named so letter for letter
// before one that differs in case, the longer name before the shorter; of
// two .ssd files of one container with one output (case aside), the first
// whose name before its digits is the container's own wins, else the first.
function owners(paths) {
    const containers = paths.filter((p) => /\.srt$/i.test(p)).sort();
    const found = new Map();
    for (const ssd of paths.filter((p) => /\.ssd$/i.test(p)).sort()) {
        const stem = nameOf(stemOf(ssd));
        const fits = containers.filter((c) => dirOf(c) === dirOf(ssd)).map((c) => ({ c, base: nameOf(stemOf(c)) }))
            .filter(({ base }) => /^\d{2,}$/.test(stem.slice(base.length)) && stem.slice(0, base.length).toLowerCase() === base.toLowerCase())
            .sort((a, b) => b.base.length - a.base.length);
        const exact = fits.filter(({ base }) => stem.startsWith(base));
        const pick = (exact.length ? exact : fits)[0];
        pick && found.set(ssd, { container: pick.c, stream: String(BigInt(stem.slice(pick.base.length))) });
    }
    for (const [ssd, { container }] of found) {
        const output = (p) => `${found.get(p).container}:${nameOf(stemOf(p)).toLowerCase()}`;
        const group = [...found.keys()].filter((p) => output(p) === output(ssd));
        const own = group.filter((p) => nameOf(p).replace(/\d*\.ssd$/i, '') === nameOf(stemOf(container)));
        (own[0] || group[0]) === ssd || found.delete(ssd);
    }
    return found;
}
// What Dump all writes of these containers ({ path, summary, forced, ssds:
// [{ path, stream }] }), and what it leaves out, by kind.
function reference(containers) {
    const dumps = [];
    const leftOut = [];
    const outputs = new Set();
    // Why a folder cannot hold a name: a character, its end, or a device's name.
    const unheld = (name) => (/[\\\x00-\x1f]/.test(name) ? 'holds' : /[. ]$/.test(name) ? 'ends in a dot' : /^con$/i.test(name) ? 'for a device' : null);
    for (const { path, summary, forced, ssds } of containers) {
        if (ssds.length > 0 && !(summary && (summary.status === 0 || forced))) {
            leftOut.push(`${path} listing`);
            continue;
        }
        for (const ssd of ssds) {
            const output = `${stemOf(ssd.path)}.kvdsp`;
            const why = ssd.stream === null ? 'unpaired' : summary.count !== null && BigInt(ssd.stream) >= BigInt(Math.max(0, summary.count))
                ? 'past' : output.split('/').map(unheld).find(Boolean) || (outputs.has(output.toLowerCase()) ? 'same-output' : null);
            why ? leftOut.push(`${ssd.path} ${why}`) : dumps.push(`${path} ${ssd.stream} ${ssd.path} ${output}`);
            why || outputs.add(output.toLowerCase());
        }
    }
    return { dumps: dumps.sort(), leftOut: leftOut.sort() };
}
// (A single container's Dump all names its files by their names alone.)
const planned = (plan, at = (file) => (plan.folder ? file.path : file.name)) => ({
    dumps: plan.dumps.map((d) => `${at(d.container)} ${d.stream} ${dirOf(d.name)}${d.ssd.name} ${d.name}`).sort(),
    leftOut: plan.leftOut.map(({ path, why }) => `${path} ${why.kind === 'name' ? { end: 'ends in a dot', device: 'for a device' }[why.why] || 'holds'
        : why.kind}`).sort() });

// The page as the test drives it: the core, the jobs its effects started
// (each kept, with the choice it was started under, until answered), and
// what the user gave and the jobs said, for the reference.
class Page {
    constructor() {
        Object.assign(this, { state: initial(), jobs: new Map(), choice: 0, finished: {}, world: null, effects: [],
            failuresFirst: false, readsInPage: false, problems: 0 });
    }
    send(event) {
        const before = this.state;
        const { state, effects } = update(before, event);
        assert.notEqual(state, undefined);
        // A job ends silently only with its choice, on Cancel, or a listing
        // for the one that replaces it; no job's answer makes a new choice.
        const quiet = state.generation !== before.generation || event.type === 'cancel' || event.answer === 'cancel';
        const listing = effects.some((effect) => effect.type === 'start' && effect.job.kind === 'list');
        for (const { job } of effects.filter((effect) => effect.type === 'abort')) {
            assert.ok(quiet || (listing && this.jobs.get(job).job.kind === 'list'), `${event.type} ended a job unasked`);
            this.jobs.get(job).live = false;
        }
        event.job === undefined || assert.equal(state.generation, before.generation, 'a job\'s answer made a new choice');
        this.state = state;
        this.effects = effects;
        for (const effect of effects.filter((each) => each.type === 'start')) {
            this.jobs.set(effect.job.id, { job: effect.job, live: true, tag: this.choice });
            assert.deepEqual([...tags(effect.job)].filter((n) => n !== this.choice), [], 'an output of another choice');
        }
        return effects;
    }
    // The containers as the reference sees them, with what the jobs said.
    inView() {
        const { world } = this;
        if (!world) return null;
        if (world.kind === 'files') return world.container;
        return world.open === null ? null : world.containers[world.open].file;
    }
}

const choose = (page, world) => {
    page.finished = {};
    world.forceView = false;
    page.world = world;
    return world;
};
const streamOf = (page, file, fallback) => (page.world.typed.has(file) ? page.world.typed.get(file) : fallback);

// The folder's containers, for the reference: each with its row's summary,
// its "dump anyway" and its .ssd files and their streams.
function folderContainers(page) {
    const { world } = page;
    return world.containers.map((container, index) => ({
        path: container.path, summary: world.rows.get(index) || null, forced: world.forced.has(index),
        ssds: world.ssds.filter((ssd) => world.owners.get(ssd.file).container === container.path)
            .map((ssd) => ({ path: ssd.path, file: ssd.file, stream: streamOf(page, ssd.file, world.owners.get(ssd.file).stream) })),
    }));
}
// The container in view's .ssd files and their streams, as the reference has them.
function viewSsds(page) {
    const { world } = page;
    if (!world) return [];
    if (world.kind === 'folder') {
        return world.open === null ? [] : folderContainers(page)[world.open].ssds;
    }
    return world.ssds.map((file) => ({ path: file.name, file, stream: streamOf(page, file, /(\d{2,})\.ssd$/i.exec(file.name)?.[1].replace(/^0+(?=\d)/, '') ?? null) }));
}

const folderPaths = (k, pick) => [`k${k}_d/A/c.srt`, `k${k}_d/a/c.srt`, `k${k}_d/a/C.srt`, `k${k}_d/a/c1.srt`,
    `k${k}_d/A/c00.ssd`, `k${k}_d/a/c00.ssd`, `k${k}_d/a/C00.ssd`, `k${k}_d/a/c01.SSD`, `k${k}_d/a/c100.ssd`,
    `k${k}_d/a/c1002.ssd`, `k${k}_d/b/c00.ssd`, `k${k}_d/con/c02.ssd`, `k${k}_d/con/c.srt`, `k${k}_d/a/n.srt.txt`,
    `k${k}_d/e./c.srt`, `k${k}_d/e./c01.ssd`, `k${k}_d/a/c.ssd02.ssd`, `k${k}_d/icon/c.srt`, `k${k}_d/icon/c04.ssd`]
    .filter((_, n) => pick & (1 << n))
    .sort((a, b) => (pick & (1 << 20) ? (a < b ? 1 : -1) : 0));
// (c01's dump is as large as the progress bar's threshold: 144 bytes and its .ssd.)
const sizes = (path) => (/c01\.SSD$|c01\.ssd$/.test(path) ? progressFrom - 144 : 100);

// [name, weight, arbitrary of its data, act(page, data)]
const commands = [
    ['container', 3, fc.subarray(['c00.ssd', 'C00.SSD', 'c01.ssd', 'c02.ssd', 'p\\q02.ssd', 'q\u000102.ssd', 'x.ssd', 'n.srt.txt',
        'c02.ssd5.ssd', 'c.ssd02.ssd', 'c00.ssd.bak']).chain((names) => fc.tuple(fc.constant(names), fc.boolean())), (page, [names, launched]) => {
        const k = ++page.choice;
        const items = [item(`k${k}_c.srt`), ...names.map((name) => item(`k${k}_${name}`, sizes(name)))];
        // (The system's launch of the installed page is a choice too.)
        page.send(launched ? { type: 'launched', files: items.map((each) => each.file) } : { type: 'chosen', items });
        choose(page, { kind: 'files', container: items[0].file, ssds: page.state.choice.ssds, typed: new Map(), listing: null, page: 0 });
        assert.equal(/Not \.srt or \.ssd, left aside: (.*)\.$/.exec(page.state.notes)?.[1] ?? null,
            names.filter((name) => !/\.s(rt|sd)$/i.test(name)).map((name) => `k${k}_${name}`).join(', ') || null);
        assert.match(page.state.notes, new RegExp(`^Container: k${k}_c\\.srt \\(100 bytes\\)\\.`));
        // Of two with one output, the one named as the container is kept.
        page.state.choice.ssds.some((file) => file.name === `k${k}_C00.SSD`) && assert.ok(!names.includes('c00.ssd'), 'C00.SSD kept');
        const files = items.slice(1).map((each) => each.file).filter((file) => /\.ssd$/i.test(file.name));
        const outputs = page.state.choice.ssds.map((file) => file.name.replace(/\.ssd$/i, '').toLowerCase());
        assert.equal(new Set(outputs).size, outputs.length, 'two .ssd files in view give one output');
        for (const file of files) {
            page.state.choice.ssds.includes(file) || assert.ok(page.state.notes.includes(file.name), `${file.name} neither in view nor named`);
        }
    }],
    // .ssd files alone join the current choice (or make the first one).
    ['.ssd files', 1, fc.subarray(['c10.ssd', 'c11.ssd', 'c00.ssd']), (page, names) => {
        if (names.length === 0) return;
        page.world || choose(page, { kind: 'files', container: null, ssds: [], typed: new Map(), listing: null, page: 0 }) && ++page.choice;
        const container = page.inView();
        const before = viewSsds(page);
        const items = names.map((name) => item(`k${page.choice}_${name}`));
        page.send({ type: 'chosen', items });
        const { world } = page;
        // Each joins the container in view, or is named as left aside.
        const joinedTo = world.kind === 'files' ? page.state.choice.ssds : container ? page.state.choice.containers[world.open].ssds : [];
        items.forEach(({ file }) => assert.ok(joinedTo.includes(file) || page.state.notes.includes(file.name), `${file.name} lost`));
        world.kind === 'folder' && container && assert.match(page.state.notes, new RegExp(`joined ${world.containers[world.open].path}\\.`));
        // The same name chosen again takes the earlier file's place and pairing.
        for (const { file } of items) {
            const earlier = before.find((each) => each.file.name === file.name);
            earlier && world.typed.has(earlier.file) && world.typed.set(file, world.typed.get(earlier.file));
        }
        if (world.kind === 'files') {
            world.ssds = page.state.choice.ssds;
        } else if (container) {
            // (Which of two with one output stays is the files' rule, checked there.)
            const open = world.containers[world.open];
            const now = page.state.choice.containers[world.open].ssds;
            world.ssds = world.ssds.filter((ssd) => world.owners.get(ssd.file).container !== open.path || now.includes(ssd.file));
            for (const file of now.filter((each) => !world.ssds.some((ssd) => ssd.file === each))) {
                world.ssds.push({ path: dirOf(open.path) + file.name, file });
                world.owners.set(file, { container: open.path, stream: /(\d{2,})\.ssd$/i.exec(file.name)[1].replace(/^0+(?=\d)/, '') });
            }
        }
    }],
    ['folder', 3, fc.integer({ min: 1, max: (1 << 21) - 1 }), (page, pick) => {
        const k = ++page.choice;
        // (A large one, of several pages of rows, now and then.)
        const paths = pick % 16 === 0 ? Array.from({ length: 462 }, (_, n) => `k${k}_d/z/c${n}.${n < 450 ? 'srt' : 'txt'}`) : folderPaths(k, pick);
        const items = paths.map((path) => (pick & 2 ? chosenItem : item)(path, sizes(path)));
        page.send({ type: 'chosen', items, folder: true });
        const found = owners(paths);
        const all = items.map((each) => ({ ...each, path: each.file.path }));
        const containers = all.filter((each) => /\.srt$/.test(each.path)).sort((a, b) => (a.path < b.path ? -1 : 1));
        const ssds = all.filter((each) => found.has(each.path));
        // Every .ssd file not paired, and every other file, is named.
        const unpaired = all.filter((each) => !/\.srt$/.test(each.path) && !found.has(each.path));
        unpaired.forEach((each, n) => assert.equal(page.state.notes.includes(`${each.path},`) || page.state.notes.includes(`${each.path} `) ||
            page.state.notes.includes(`${each.path}.`), n < namesShown, `${each.path} named or not`));
        unpaired.length > namesShown && assert.match(page.state.notes, new RegExp(` and ${unpaired.length - namesShown} more\\.`));
        choose(page, { kind: 'folder', containers, owners: new Map(ssds.map((each) => [each.file, found.get(each.path)])), ssds,
            typed: new Map(), rows: new Map(), forced: new Set(), open: null, listing: null, page: 0, folderPage: 0 });
        assert.match(page.state.notes, new RegExp(`^${containers.length} containers?, ${ssds.length} \\.ssd files? paired`));
    }],
    ['dropped folder', 1, fc.constant(0), (page) => {
        page.choice += 1;
        const entries = [{ fullPath: `/k${page.choice}_d` }];
        const [started] = page.send({ type: 'dropped-folder', entries }).filter((effect) => effect.type === 'start');
        assert.equal(started.job.entries, entries);
        assert.match(present(page.state).folder.status, /^Reading the dropped folder/);
        choose(page, { kind: 'folder', containers: [], owners: new Map(), ssds: [], typed: new Map(), rows: new Map(),
            forced: new Set(), open: null, listing: null, page: 0, folderPage: 0 });
    }],
    ['open row', 2, fc.nat(5), (page, index) => {
        page.send({ type: 'opened', index });
        if (page.world && page.world.kind === 'folder' && index < page.world.containers.length) {
            Object.assign(page.world, { open: index, listing: null, page: 0, forceView: false });
        }
    }],
    // A pairing typed, of a .ssd file in view or (ignored) of another.
    ['pairing', 2, fc.tuple(fc.nat(5), fc.constantFrom('0', '1', '2', '', '-1', '7', '1e3', '10', ' 2 '), fc.boolean()), (page, [at, value, other]) => {
        if (!page.world) return;
        const ssds = (other && page.world.kind === 'folder' ? page.world.ssds : viewSsds(page)).map((each) => each.file);
        if (ssds.length === 0) return;
        const ssd = ssds[at % ssds.length];
        const inView = viewSsds(page).some((each) => each.file === ssd);
        page.send({ type: 'paired', ssd, value });
        inView && page.world.typed.set(ssd, /^\d+$/.test(value.trim()) ? value.trim() : null);
    }],
    ['dump anyway', 2, fc.tuple(fc.nat(5), fc.boolean(), fc.boolean()), (page, [index, on, view]) => {
        page.send(view ? { type: 'force-view', on } : { type: 'forced', index, on });
        view && page.world && (page.world.forceView = on);
        if (!view && page.world && page.world.kind === 'folder' && index < page.world.containers.length) {
            on ? page.world.forced.add(index) : page.world.forced.delete(index);
        }
    }],
    ['pages and order', 1, fc.tuple(fc.constantFrom('folder', 'streams'), fc.constantFrom(-1, 1), fc.boolean()), (page, [table, by, first]) => {
        page.send({ type: 'paged', table, by });
        page.send({ type: 'failures-first', on: first });
        page.failuresFirst = first;
        const key = table === 'folder' ? 'folderPage' : 'page';
        page.world && (page.world[key] = Math.max(0, page.world[key] + by));
    }],
    ['dump', 6, fc.tuple(fc.constantFrom('dump', 'dump-all', 'dump-folder'), fc.nat(3), fc.boolean(), fc.nat(3)), (page, [type, stream, folders, then]) => {
        const busy = page.state.jobs.some((job) => job.kind === 'dump' || job.kind === (type === 'dump-folder' ? 'check' : 'list'));
        const effects = page.send({ type, stream, folders, from: type === 'dump' ? `stream:${stream}` : type });
        const started = effects.find((effect) => effect.type === 'start');
        // Nothing dumps while a dump runs, nor what is checked or listed meanwhile.
        busy && assert.equal(started, undefined, 'a dump while another job runs');
        const shown = present(page.state);
        const said = type === 'dump-folder' ? shown.folder?.status : shown.result?.summary;
        if (type === 'dump') {
            // The first .ssd file in view paired with the stream, as its row's Dump shows it.
            const first = (shown.result?.pairs || []).find((pair) => pair.stream !== null && Number(pair.stream) === stream);
            const expected = busy || !page.inView() ? undefined : first?.ssd;
            assert.equal(started?.job.plan.dumps[0].ssd ?? (/^Nothing was dumped; left out: /.test(said) ? expected : undefined),
                expected, 'the dump of another .ssd file, or none');
            started && assert.equal(started.job.plan.dumps[0].container, page.inView());
        } else if (!busy && (type === 'dump-folder' ? page.world?.kind === 'folder' : page.inView())) {
            const containers = type === 'dump-folder' ? folderContainers(page) : [{ path: page.inView().name,
                ssds: viewSsds(page).map((each) => ({ ...each, path: nameOf(each.path) })), forced: page.world.forceView, summary: page.world.listing }];
            const expected = reference(containers);
            started ? assert.deepEqual(planned(started.job.plan), expected) : assert.deepEqual(expected.dumps, []);
            // What is left out is named, each once.
            started || assert.match(said, /^Nothing was dumped/);
            // What is left out is named, with why.
            const why = { listing: '', unpaired: 'paired with no stream', past: 'has no stream', 'same-output': 'letter case' };
            expected.leftOut.forEach((left) => started || assert.ok(said.includes(`${left.split(' ')[0]} (`) &&
                said.includes(why[left.split(' ')[1]] ?? left.split(' ').slice(1).join(' ')), `${left} not named: ${said}`));
        }
        if (!started) return;
        const { job } = started;
        assert.deepEqual([job.plan.into, job.plan.zip, job.from], [folders ? 'folder' : 'download', type !== 'dump' && !folders,
            type === 'dump' ? `stream:${stream}` : type]);
        assert.equal(job.total, job.plan.dumps.reduce((sum, each) => sum + 144 + each.ssd.size, 0));
        assert.equal(job.inputs, Math.max(...job.plan.dumps.map((each) => each.container.size)) +
            job.plan.dumps.reduce((sum, each) => sum + each.ssd.size, 0));
        // A container's Dump all goes in stream order.
        type === 'dump-all' && assert.deepEqual(job.plan.dumps.map((each) => Number(each.stream)),
            job.plan.dumps.map((each) => Number(each.stream)).sort((a, b) => a - b));
        // Its first answers: how far it has got, and a question of files already there.
        // (Its time left comes from two words 2 s apart, half of it written.)
        const half = Math.floor(job.total / 2);
        page.send({ job: job.id, type: 'progress', written: 0, index: 0, at: 1000 });
        page.send({ job: job.id, type: 'progress', written: half, index: 0, at: 3000 });
        const { bar, text: words } = present(page.state).progress;
        assert.equal(bar, job.total >= progressFrom ? half / job.total : null);
        assert.match(words, new RegExp(`^Writing ${job.plan.dumps[0].name.replace(/[.\\]/g, '\\$&')}` +
            `${job.plan.dumps.length > 1 ? ` \\((file|stream) 1 of ${job.plan.dumps.length}\\)` : ''}: .* \\(${Math.floor((half * 100) / job.total)} %\\), about [23] s left$`));
        then && folders && page.send({ job: job.id, type: 'asked', names: Array.from({ length: then }, (_, n) => `k${page.choice}_x${n}.kvdsp`) });
        then && folders && assert.match(present(page.state).question, then === 1 ? /^Already in .*\. Replace it, / : /^Already in .*\. Replace them, /);
    }],
    ['cancel', 1, fc.constantFrom('dump', 'check'), (page, kind) => {
        const job = page.state.jobs.find((each) => each.kind === kind);
        page.send({ type: 'cancel', kind });
        const shown = present(page.state);
        if (job && kind === 'dump') {
            page.finished[job.plan.folder ? 'folder' : 'view'] = 'cancelled';
            assert.equal(page.state.focus.to, job.from, 'the focus goes back to the control that started the dump');
            assert.match(job.plan.folder ? shown.folder.status : shown.result.summary, /did not finish: cancelled\.$/);
        }
        job && kind === 'check' && assert.match(shown.folder.status, /^Cancelled: checked /);
    }],
    ['answer the question', 1, fc.constantFrom('replace', 'skip', 'cancel'), (page, answer) => {
        const { question } = page.state;
        const job = question && page.state.jobs.find((each) => each.id === question.job);
        const effects = page.send({ type: 'answered', answer });
        if (!job) return;
        assert.equal(page.state.question, null);
        const to = effects.find((effect) => effect.job === job.id);
        assert.equal(to && to.type, answer === 'cancel' ? 'abort' : 'answer');
        assert.equal(page.state.jobs.includes(job), answer !== 'cancel', 'Cancel in the question ends its dump');
        answer === 'cancel' && (page.finished[job.plan.folder ? 'folder' : 'view'] = 'cancelled');
    }],
    ['copy and save', 1, fc.tuple(fc.constantFrom('text', 'summary'), fc.boolean(), fc.boolean()), (page, [what, ok, late]) => {
        const effects = page.send({ type: 'copy', what });
        const [save] = page.send({ type: 'save', what });
        const copy = effects.find((effect) => effect.type === 'copy');
        // The summary: a header, then a line a container; the text: the listing's.
        const folder = page.world?.kind === 'folder';
        const text = what === 'summary' ? folder && save.text.split('\n').length === page.world.containers.length + 2 &&
            save.text.split('\n').slice(1, -1).every((line, index) => line.startsWith(`${page.world.containers[index].path}\t`))
            : Boolean(page.state.listing?.done && !page.state.listing.failed && save.text === page.state.listing.text);
        assert.equal(Boolean(copy), what === 'summary' ? folder : Boolean(page.state.listing?.done && page.state.listing.text));
        copy && assert.ok(text && save.name.endsWith(what === 'summary' ? `${page.world.containers.length ? `k${page.choice}_d` : 'containers'}-summary.tsv` : `${page.inView().name.slice(0, -4)}-listing.txt`), save.name);
        if (!copy) return;
        const before = present(page.state);
        page.send({ type: 'copied', what, ok, generation: copy.generation - (late ? 1 : 0) });
        const said = (shown) => (what === 'text' ? shown.result?.summary : shown.folder?.status);
        late ? assert.equal(said(present(page.state)), said(before), 'a word of an earlier choice was heard')
            : assert.match(said(present(page.state)), /cop|select/);
        assert.equal(page.state.selected > before.selected, !late && !ok && what === 'text');
    }],
    // Go to stream: a listed one's page, marked and focused; else why not.
    ['go to stream', 1, fc.constantFrom('0', '3', '199', '200', '449', '1000000', 'x', ' 7 ', ''), (page, value) => {
        page.send({ type: 'go-to', value });
        const { listing } = page.state;
        const shown = present(page.state).result;
        if (!listing?.done || !listing.words) return;
        const stream = /^\d+$/.test(value.trim()) ? Number(value) : null;
        const listed = listing.words.length;
        if (stream !== null && stream < listed) {
            page.world.page = Math.floor(stream / streamsPerPage);
            assert.deepEqual([shown.goTo.stream, shown.first <= stream && stream < shown.last, page.state.focus.to], [stream, true, `row:${stream}`]);
        } else {
            assert.match(shown.goTo.note, stream === null ? /digits only/ : stream < listing.count ? new RegExp(`^Stream ${stream} is not listed: the walk stopped at ${listed}\\.$`)
                : (listing.count ?? listed) === 0 ? /^There are no streams\.$/
                    : new RegExp(`^There is no stream ${stream.toLocaleString('en-US')}: the last is ${(listing.count ?? listed) - 1}\\.$`));
        }
    }],
    ['map', 1, fc.tuple(fc.boolean(), fc.constantFrom('DSP entry, bytes 544\u2013687', 'SRT entry')), (page, [zoom, words]) => {
        page.send(zoom ? { type: 'map-zoomed', view: [0, 10], text: words } : { type: 'map-pointed', text: words });
        const map = present(page.state).result?.map;
        map && assert.equal(map.status, words);
    }],
    ['the page itself', 1, fc.constantFrom('problem', 'reads-in-page', 'change-folder'), (page, type) => {
        const effects = page.send({ type, message: 'x went wrong' });
        const shown = present(page.state);
        page.problems += type === 'problem' ? 1 : 0;
        page.readsInPage ||= type === 'reads-in-page';
        assert.deepEqual([shown.problems.split('x went wrong').length - 1, shown.readsInPage, effects.map((effect) => effect.type)],
            [page.problems, page.readsInPage, type === 'change-folder' ? ['choose-folder'] : []]);
    }],
    // The service worker's news; Reload is taken only when a new version
    // waits, and no job runs.
    ['new version', 1, fc.constantFrom(null, 'ready', 'waiting', 'elsewhere'), (page, news) => {
        news && page.send({ type: 'service-worker', news });
        page.update = news || page.update || null;
        const idle = page.state.jobs.length === 0;
        assert.deepEqual(page.send({ type: 'reload' }).map((effect) => effect.type), page.update === 'waiting' && idle ? ['reload'] : []);
        assert.equal(present(page.state).update?.reload ?? null, page.update && page.update === 'waiting');
    }],
    ['output folder', 1, fc.constantFrom('out', 'elsewhere'), (page, name) => {
        page.send({ type: 'output-folder', name });
        assert.match(present(page.state).outputFolder, new RegExp(name));
    }],
    // Any job started, running or not, answers: progress, a question, a
    // row, an end, a failure.
    ['job answer', 8, fc.tuple(fc.nat(), fc.constantFrom('ok', 'status', 'failed', 'gone', 'progress', 'row', 'asked')), (page, [pick, how]) => {
        const all = [...page.jobs.values()];
        const running = all.filter((each) => each.live);
        const from = running.length && pick % 4 ? running : all;
        if (from.length === 0) return;
        const { job, live } = from[pick % from.length];
        const answer = (fields) => page.send({ job: job.id, ...fields });
        const status = how === 'ok' ? 0 : 1;
        const printed = { status, stdout: text(status ? 'bad stream number\n' : ''), stderr: text('') };
        const world = live ? page.world : null;
        if (how === 'failed' || how === 'gone') {
            const told = how === 'gone' ? { said: 'The folder is gone.', gone: true } : pick % 2 ? { message: 'the disk is full', written: pick % 3 }
                : { kind: 'TypeError', started: pick % 3 ? undefined : false };
            answer({ type: 'failed', ...told });
            const words = present(page.state);
            const place = live && (job.kind === 'dump' ? (job.plan.folder ? words.folder.status : words.result.summary)
                : job.kind === 'list' ? words.result.summary : words.folder.status);
            live && assert.ok(place.includes(told.said || told.message || 'TypeError'), `${job.kind} failed unsaid: ${place}`);
            // What was written is said; where the page has no words for the error, that nothing was.
            const all = job.plan?.all && job.plan.into === 'folder';
            live && job.kind === 'dump' && !told.said && assert.equal([/before it stay written/.test(place), /Nothing was written/.test(place),
                /was not started/.test(place)].join(), [Boolean(all && told.written > 0), Boolean(told.kind), told.started === false].join(), place);
            live && ['walk', 'check'].includes(job.kind) && assert.match(place, job.kind === 'walk' ? /^The folder could not be read/ : /^The check did not/);
            live && job.kind === 'list' && (world.listing = { status: null, count: null });
            how === 'gone' && live && job.kind === 'dump' && assert.equal(page.state.outputFolder, null);
        } else if (how === 'progress') {
            answer({ type: 'progress', written: pick % 1000, at: pick });
            const shown = present(page.state).progress;
            live && job.kind === 'dump' && assert.equal(shown.bar, job.total >= progressFrom ? Math.min(1, (pick % 1000) / job.total) : null);
        } else if (how === 'asked') {
            const before = page.state.question;
            answer({ type: 'asked', names: [`k${page.choice}_x.kvdsp`] });
            live && job.kind === 'dump' ? assert.match(present(page.state).question, /x\.kvdsp/, 'a question not asked')
                : assert.equal(page.state.question, before, 'a question of a job not dumping');
        } else if (how === 'row') {
            // What the tool printed of the container, or why it could not run.
            const index = pick % Math.max(1, job.containers?.length || 1);
            const name = job.containers?.[index]?.file.name;
            const [status, count, warnings, step] = [pick % 2, pick % 3, pick % 5 === 2 ? 1 : 0, pick % 6 === 1 ? 'read SRT entry' : null];
            const summary = pick % 7 === 3 ? notListed('the disk is full') : summarize({ status, stdout: text(`${name}...\n${count} streams\n` +
                'BAD SIZE\n'.repeat(warnings)), stderr: text(step ? `error: ${step} failed\n` : status ? 'at odds\n' : '') }, name);
            answer({ type: 'row', index, summary });
            const said = summary.failed ? 'not listed: the disk is full' : step ? 'read SRT entry failed' : status ? 'at odds' : 'ok';
            live && job.kind === 'check' && index < job.containers.length && !world.rows.has(index) && world.rows.set(index, { ...summary, said,
                count: summary.failed ? null : count, status: summary.failed ? null : status, warnings: summary.failed ? 0 : warnings });
        } else if (job.kind === 'list') {
            // (A count line missing, or BAD SIZE at the end, now and then.)
            const count = pick % 5 === 4 ? 450 : pick % 4;
            const counted = status && pick % 3 === 0 ? null : count;
            answer({ type: 'ended', result: { count: counted, words: Int32Array.from({ length: count }, (_, n) => n), badSize: new Set(),
                badEnd: pick % 7 === 1, step: status ? 'read DSP entry' : null, status, trace: [], text: text(`${job.container.name}...\n`) } });
            live && (world.listing = { status, count: counted });
        } else if (job.kind === 'walk') {
            const paths = folderPaths(page.choice, pick % (1 << 14) || 1);
            const items = paths.map((path) => item(path));
            answer({ type: 'ended', items });
            if (live) {
                const found = owners(paths);
                const ssds = items.filter((each) => found.has(each.path));
                Object.assign(world, { containers: items.filter((each) => /\.srt$/.test(each.path)).sort((a, b) => (a.path < b.path ? -1 : 1)),
                    owners: new Map(ssds.map((each) => [each.file, found.get(each.path)])), ssds });
            }
        } else if (job.kind === 'dump') {
            // Into the folder, each output by its path; Save list gives them all.
            const names = job.plan.dumps.map((each) => each.name);
            const into = job.plan.into === 'folder' && !status;
            answer({ type: 'ended', result: job.plan.zip && status && job.plan.dumps.length ? { failure: { ...job.plan.dumps[0], result: printed } }
                : into ? { ...printed, written: names, skipped: [] } : printed });
            const words = present(page.state);
            if (live && into) {
                const listed = (title, paths) => [`${title} (${paths.length}):`, paths.slice(0, namesShown), paths.length > namesShown ? `and ${paths.length - namesShown} more` : null];
                const left = job.plan.leftOut.map((each) => each.path);
                assert.deepEqual(words.wrote.groups.map((group) => [group.title, group.paths, group.more]),
                    [listed('Written', names), ...(left.length ? [listed('Left out', left)] : [])]);
                assert.equal(page.send({ type: 'save', what: 'written' })[0].text, names.map((name) => `${name}\n`).join(''));
            }
            live && status && (job.plan.zip || job.plan.dumps.length === 1) && assert.match(job.plan.folder ? words.folder.status
                : words.result.summary, new RegExp(`^The dump of stream ${job.plan.dumps[0].stream} with .* failed \\(bad stream number\\)`));
        } else {
            // A check ends once every row is in.
            job.containers.forEach((_, index) => page.send({ job: job.id, type: 'row', index, summary: notListed('gone') }));
            live && job.containers.forEach((_, index) => world.rows.has(index) ||
                world.rows.set(index, { status: null, count: null, warnings: 0, said: 'not listed: gone' }));
            answer({ type: 'ended' });
        }
        if (['ok', 'status', 'failed', 'gone'].includes(how)) {
            page.jobs.delete(job.id);
            if (live && job.kind === 'dump') {
                page.finished[job.plan.folder ? 'folder' : 'view'] = how === 'ok' ? 'ok' : 'failed';
                assert.equal(page.state.focus.to, job.from);
                const shown = present(page.state);
                const words = job.plan.folder ? shown.folder.status : shown.result.summary;
                const n = job.plan.dumps.length;
                how === 'ok' && job.plan.all && assert.match(words, new RegExp(`^Dumped ${n} stream${n === 1 ? '' : 's'}` +
                    (job.plan.folder ? ` of ${new Set(job.plan.dumps.map((each) => each.container)).size} container` : '')));
                how === 'ok' && !job.plan.all && assert.match(words, new RegExp(`^Dumped stream ${job.plan.dumps[0].stream} `));
                job.plan.leftOut.length && how === 'ok' && assert.match(words, /Left out: /);
            }
        }
    }],
];

function check(page) {
    const shown = present(page.state);
    const { state, world } = page;
    // What is shown is the latest choice's.
    assert.deepEqual([...tags(shown)].filter((n) => n !== page.choice), [], 'something shown of an earlier choice');
    // The jobs running are exactly those the core keeps, all of this choice.
    const live = [...page.jobs.values()].filter((each) => each.live);
    assert.deepEqual(live.map((each) => each.job.id).sort(), state.jobs.map((job) => job.id).sort(), 'jobs running');
    for (const each of live) {
        assert.equal(each.job.generation, state.generation, 'a job of an earlier choice still running');
        assert.equal(each.tag, page.choice);
    }
    // A dump not done is never told as done.
    for (const [place, words] of [['view', shown.result?.summary], ['folder', shown.folder?.status]]) {
        /^Dumped /.test(words) && assert.equal(page.finished[place], 'ok', `told as done: ${words}`);
    }
    // One job of each kind at a time; the controls follow the jobs.
    const kinds = new Set(live.map((each) => each.job.kind));
    assert.equal(kinds.size, live.length, 'two jobs of one kind');
    assert.equal(shown.dumping, kinds.has('dump'));
    kinds.has('dump') || assert.equal(shown.progress, null);
    kinds.has('dump') && assert.equal(shown.wrote, null, 'an earlier dump\'s outputs beside this one\'s');
    kinds.has('dump') || assert.equal(shown.question, null, 'a question outlives its dump');
    shown.update && assert.equal(shown.update.canReload, live.length === 0, 'Reload under a job');
    if (shown.result) assert.equal(shown.result.canDump, !kinds.has('dump') && !kinds.has('list'));
    if (shown.folder) {
        assert.equal(shown.folder.checking, kinds.has('check'));
        assert.equal(shown.folder.canDump, !kinds.has('dump') && !kinds.has('check') && !kinds.has('walk'));
    }
    if (!world) return;
    // The listing shown is the one of the container in view, as its job said.
    const container = page.inView();
    assert.equal(shown.result?.container ?? null, container);
    const listing = shown.result?.listing;
    if (listing) {
        assert.equal(listing.container, container, 'another container\'s listing');
        listing.done && !listing.failed && assert.deepEqual({ status: listing.status, count: listing.count }, world.listing);
    }
    world.listing && !listing?.done && assert.fail('a listing that ended is not shown');
    shown.result && assert.deepEqual([shown.result.busy, shown.result.map !== null], [Boolean(listing && !listing.done),
        Boolean(listing?.done && !listing.failed)]);
    // Every sentence shown is one: no "1 streams", no "2 stream", no empty list.
    for (const words of [shown.notes, shown.result?.summary, shown.folder?.status, shown.question]) {
        assert.doesNotMatch(words || '', /(^|\D)1 (stream|container|file|\.ssd file)s\b|(^|[^\d,])([02-9]|\d\d+) (stream|container|file|\.ssd file)\b(?!s)|: \.|; \./);
    }
    // The page of streams, and each stream's Dump with the first .ssd file paired with it.
    if (listing && listing.done && !listing.failed) {
        const { first, last, pages, dumpFor, range } = shown.result;
        const count = listing.words.length;
        assert.deepEqual([first, last, pages], [shown.result.page * streamsPerPage, Math.min(count, (shown.result.page + 1) * streamsPerPage),
            Math.max(1, Math.ceil(count / streamsPerPage))]);
        assert.equal(shown.result.page, Math.min(world.page, pages - 1));
        count ? assert.match(range, new RegExp(`^streams ${first}\u2013${last - 1} of ${count}$`)) : assert.equal(range, 'no streams listed');
        const ssds = viewSsds(page);
        assert.ok([...dumpFor.keys()].every((stream) => stream >= first && stream < last), 'a Dump off its page');
        for (let stream = first; stream < last; ++stream) {
            const paired = ssds.filter((each) => each.stream !== null && Number(each.stream) === stream).map((each) => each.file);
            paired.length ? assert.ok(paired.includes(dumpFor.get(stream))) : assert.equal(dumpFor.has(stream), false);
        }
        assert.equal(shown.result.failed, listing.status !== 0);
        state.said.view || assert.match(shown.result.summary, listing.count === null ? /: no stream count\.$/ : new RegExp(`^${container.name}: ` +
            `${listing.count} streams?${listing.step ? `, ${count} listed [^;.]*` : ''}${listing.badEnd ? '; 1 BAD SIZE warning \\(one because' : '\\.'}`));
    }
    // The pairings shown are what the names give and the user typed.
    if (shown.result) {
        const expected = viewSsds(page);
        assert.deepEqual(shown.result.pairs.map((pair) => `${pair.ssd.path} ${pair.stream}`).sort(),
            expected.map((each) => `${each.file.path} ${each.stream}`).sort(), 'pairings');
    }
    // The rows are the folder's containers, as their checks said, in the
    // order asked for.
    if (world.kind === 'folder' && shown.folder) {
        const failed = (index) => Boolean(world.rows.get(index) && world.rows.get(index).status !== 0);
        const all = world.containers.map((_, index) => index);
        const order = page.failuresFirst ? [...all.filter(failed), ...all.filter((index) => !failed(index))] : all;
        const at = shown.folder.page * containersPerPage;
        const summaryShown = (summary) => (summary ? [summary.status, summary.count, summary.warnings] : null);
        assert.deepEqual(shown.folder.rows.map((row) => [row.path, summaryShown(row.summary), row.forced, row.said ? row.said.split(':')[0] : null,
            row.canForce]), order.slice(at, at + containersPerPage).map((index) => {
            const row = world.rows.get(index);
            const own = world.ssds.some((ssd) => world.owners.get(ssd.file).container === world.containers[index].path);
            return [world.containers[index].path, summaryShown(row), world.forced.has(index), row ? row.said.split(':')[0] : null, failed(index) && own];
        }), 'rows');
        assert.equal(shown.folder.checked, world.rows.size);
        const ended = state.choice.checkEnd && !state.said.folder && !shown.folder.checking;
        const bad = [...world.rows.values()].filter((row) => row.status !== 0).length;
        const warned = [...world.rows.values()].filter((row) => row.warnings > 0).length;
        ended && !state.choice.checkEnd.failed && !state.choice.checkEnd.cancelled && assert.equal(shown.folder.status, `Checked ${world.rows.size} of ${world.containers.length} ` +
            `container${world.containers.length === 1 ? '' : 's'}: ${world.rows.size - bad} listed to the end, ${bad} failed${warned ? `, ${warned} with BAD SIZE warnings.` : '.'}`);
        assert.equal(shown.folder.pages, Math.max(1, Math.ceil(world.containers.length / containersPerPage)));
        assert.equal(shown.folder.page, Math.min(world.folderPage, shown.folder.pages - 1));
        assert.match(shown.folder.range, new RegExp(`^containers ${at + 1}\u2013${at + shown.folder.rows.length} of ${world.containers.length.toLocaleString('en-US')}$`));
    }
    // A new listing starts with the whole map and nothing pointed at.
    if (listing && !listing.done) assert.deepEqual(state.map, { view: null, status: '' });
}

test('the page core keeps to the latest choice and dumps what the reference says, over random sequences', () => {
    const runs = commands.flatMap(([name, weight, data, act]) => Array(weight).fill(data.map((value) => ({
        check: () => true,
        run: (model, page) => {
            act(page, value);
            check(page);
        },
        toString: () => `${name} ${JSON.stringify(value)}`,
    }))));
    fc.assert(fc.property(fc.commands(runs, { maxCommands: 60, size: 'max' }), (sequence) => {
        fc.modelRun(() => ({ model: {}, real: new Page() }), sequence);
    }), { numRuns: Number(process.env.SRTX_MODEL_RUNS || 500), seed: process.env.SRTX_MODEL_SEED && Number(process.env.SRTX_MODEL_SEED),
        includeErrorInReport: true });
});
