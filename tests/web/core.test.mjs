// The page's core against a small model, over random sequences of what a
// user does and of jobs that answer in any order, late ones of earlier
// choices too. After each step: what is shown and every output named is the
// latest choice's; the jobs running are the core's and the latest choice's;
// a failed or cancelled dump is never told as done; the controls follow the
// jobs. Each choice's files carry its number (k3_c.srt), which is how the
// test tells whose a name is.
//   SRTX_MODEL_RUNS=50000 node --test tests/web/core.test.mjs
import assert from 'node:assert/strict';
import { test } from 'node:test';
import fc from 'fast-check';
import { initial, present, progressFrom, update } from '../../web/core/state.js';

const file = (name, size = 100) => ({ name, size });
const text = (s) => new TextEncoder().encode(s);
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

// The page as the test drives it: the core, and the jobs its effects
// started, each kept (with the choice it was started under) until answered.
class Page {
    constructor() {
        Object.assign(this, { state: initial(), jobs: new Map(), choice: 0 });
    }
    send(event) {
        const { state, effects } = update(this.state, event);
        // A job ends silently only with its choice, on Cancel, or a listing
        // for the one that replaces it.
        const quiet = state.generation !== this.state.generation || event.type === 'cancel';
        const listing = effects.some((effect) => effect.start && effect.start.kind === 'list');
        for (const { abort } of effects.filter((effect) => !effect.start)) {
            assert.ok(quiet || (listing && this.jobs.get(abort).job.kind === 'list'), `${event.type} ended a job unasked`);
        }
        this.state = state;
        for (const effect of effects) {
            if (effect.start) {
                this.jobs.set(effect.start.id, { job: effect.start, live: true, tag: this.choice });
                assert.deepEqual([...tags(effect.start)].filter((n) => n !== this.choice), [], 'an output of another choice');
            } else {
                assert.ok(this.jobs.has(effect.abort), 'abort of a job never started');
                this.jobs.get(effect.abort).live = false;
            }
        }
    }
}

// What the model keeps: how many choices were made, and for each place a
// dump's word goes (the view, the folder's status), how its latest dump of
// this choice ended.
const choose = (page, model) => {
    model.finished = {};
    return (page.choice = ++model.choices);
};
const dumpEnded = (model, job, outcome) => {
    model.finished[job.plan.folder ? 'folder' : 'view'] = outcome;
};
const items = (paths) => paths.map((path) => ({ file: file(path.split('/').pop(), /01\.ssd$/.test(path) ? progressFrom : 100), path }));

// [name, weight, arbitrary of its data, act(page, model, data)]
const commands = [
    ['container', 3, fc.nat(3), (page, model, ssds) => {
        const k = choose(page, model);
        page.send({ type: 'chosen', items: items([`k${k}_c.srt`, ...Array.from({ length: ssds }, (_, s) => `k${k}_c0${s}.ssd`)]) });
    }],
    // .ssd files alone join the current choice (or make the first one).
    ['.ssd files', 1, fc.integer({ min: 1, max: 2 }), (page, model, ssds) => {
        const k = page.state.choice ? page.choice : choose(page, model);
        page.send({ type: 'chosen', items: items(Array.from({ length: ssds }, (_, s) => `k${k}_c1${s}.ssd`)) });
    }],
    ['folder', 2, fc.integer({ min: 1, max: 3 }), (page, model, n) => {
        const k = choose(page, model);
        const paths = Array.from({ length: n }, (_, c) => [`k${k}_d/k${k}_${c}.srt`, `k${k}_d/k${k}_${c}01.ssd`]).flat();
        page.send({ type: 'chosen', items: items(paths), folder: true });
    }],
    ['dropped folder', 1, fc.constant(0), (page, model) => {
        choose(page, model);
        page.send({ type: 'dropped-folder', entries: [] });
    }],
    ['open row', 2, fc.nat(3), (page, model, index) => page.send({ type: 'opened', index })],
    ['pairing', 1, fc.tuple(fc.nat(3), fc.constantFrom('0', '1', '2', '', '-1', '7')), (page, model, [at, value]) => {
        const pairs = present(page.state).result?.pairs || [];
        pairs.length && page.send({ type: 'paired', ssd: pairs[at % pairs.length].ssd, value });
    }],
    ['dump', 3, fc.constantFrom('dump', 'dump-all', 'dump-folder'), (page, model, type) => page.send({ type, stream: 1 })],
    ['cancel', 1, fc.constantFrom('dump', 'check'), (page, model, kind) => {
        const job = page.state.jobs.find((each) => each.kind === kind);
        page.send({ type: 'cancel', kind });
        job && kind === 'dump' && dumpEnded(model, job, 'cancelled');
    }],
    // Any job started, running or not, answers: progress, a row, an end, a failure.
    ['answer', 6, fc.tuple(fc.nat(), fc.constantFrom('ok', 'status', 'failed', 'progress', 'row')), (page, model, [pick, how]) => {
        // Mostly a job still running; a late one now and then.
        const all = [...page.jobs.values()];
        const running = all.filter((each) => each.live);
        const from = running.length && pick % 4 ? running : all;
        if (from.length === 0) return;
        const { job, live, tag } = from[pick % from.length];
        const answer = (fields) => page.send({ job: job.id, ...fields });
        const status = how === 'ok' ? 0 : 1;
        const printed = { status, stdout: text(status ? 'bad stream number\n' : ''), stderr: text('') };
        if (how === 'failed') {
            answer({ type: 'failed', message: 'the disk is full' });
        } else if (how === 'progress') {
            answer({ type: 'progress', written: 1 << 20 });
        } else if (how === 'row') {
            job.kind === 'check' && answer({ type: 'row', index: pick % job.containers.length,
                summary: { status: pick % 2, count: 3, warnings: 0, step: null, said: pick % 2 ? 'x' : 'ok' } });
        } else if (job.kind === 'list') {
            answer({ type: 'ended', result: { count: 3, words: Int32Array.of(7, 1, -2), badSize: new Set(), badEnd: false,
                step: status ? 'read DSP entry' : null, status, trace: [], text: text(`${job.container.name}...\n3 streams\n`) } });
        } else if (job.kind === 'walk') {
            answer({ type: 'ended', items: items([`k${tag}_w/k${tag}_a.srt`, `k${tag}_w/k${tag}_a02.ssd`]) });
        } else if (job.kind === 'dump') {
            answer({ type: 'ended', result: job.plan.zip && status && job.plan.dumps.length ? { failure: { ...job.plan.dumps[0], result: printed } } : printed });
        } else {
            answer({ type: 'ended' });
        }
        if (how !== 'progress' && how !== 'row') {
            page.jobs.delete(job.id);
            live && job.kind === 'dump' && dumpEnded(model, job, how === 'ok' ? 'ok' : 'failed');
        }
    }],
];

function check(page, model) {
    const shown = present(page.state);
    const { state } = page;
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
        /^Dumped /.test(words) && assert.equal(model.finished[place], 'ok', `told as done: ${words}`);
    }
    // One job of each kind at a time; the controls follow the jobs.
    const kinds = new Set(live.map((each) => each.job.kind));
    assert.equal(kinds.size, live.length, 'two jobs of one kind');
    assert.equal(shown.dumping, kinds.has('dump'));
    assert.equal(shown.progress !== null, kinds.has('dump') && state.jobs.find((job) => job.kind === 'dump').total >= progressFrom);
    if (shown.result) assert.equal(shown.result.canDump, !kinds.has('dump') && !kinds.has('list'));
    if (shown.folder) {
        assert.equal(shown.folder.checking, kinds.has('check'));
        assert.equal(shown.folder.canDump, !kinds.has('dump') && !kinds.has('check') && !kinds.has('walk'));
    }
}

test('the page core keeps to the latest choice over random sequences', () => {
    const runs = commands.flatMap(([name, weight, data, act]) => Array(weight).fill(data.map((value) => ({
        check: () => true,
        run: (model, page) => {
            act(page, model, value);
            check(page, model);
        },
        toString: () => `${name} ${JSON.stringify(value)}`,
    }))));
    fc.assert(fc.property(fc.commands(runs, { maxCommands: 60, size: 'max' }), (sequence) => {
        fc.modelRun(() => ({ model: { choices: 0, finished: {} }, real: new Page() }), sequence);
    }), { numRuns: Number(process.env.SRTX_MODEL_RUNS || 500) });
});
