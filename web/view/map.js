// The container map: the file drawn to scale from the reads the tool itself
// made during the listing (its read trace), headers, indexes and entries on
// their own lanes, the read where the walk failed marked with its step. The
// scale is the file's size: a read past its end is drawn beyond the marked
// end of the file, on an axis broken there. What the drawn scale cannot show
// apart is grouped into bands; a click or Enter zooms into a band or a run,
// where its entries show one by one. The legend, the axis and the failure's
// caption are the page's own text beside the drawing, so that they keep
// their size at any width (at a narrow one, the axis shortens its numbers).
import { count as grouped } from '../core/words.js';

const svgNs = 'http://www.w3.org/2000/svg';
const width = 1000;
const gutter = 64; // lane names on the left
const laneTop = [28, 58, 88];
const laneHeight = 22;
const laneNames = ['headers', 'indexes', 'entries'];
const mostItemsPerLane = 400;
const mostEntriesShown = 400;
// On a broken axis, the file ends here, and what was read past it is drawn
// from breakGap on.
const fileShare = 0.72;
const breakGap = 24;
const compact = new Intl.NumberFormat('en-US', { notation: 'compact', maximumFractionDigits: 1 });

// A trace run: [step, start, size, count]; count -1 is the read attempted last.
function classify(step) {
    let match;
    if (step === 'read header') {
        return { lane: 0, block: 'file', what: 'file header' };
    }
    if ((match = /^read (\w+) block header\s*$/.exec(step))) {
        return { lane: 0, block: match[1].toLowerCase(), what: `${match[1]} block header` };
    }
    if ((match = /^read (\w+) entry index$/.exec(step))) {
        return { lane: 1, block: match[1].toLowerCase(), what: `${match[1]} index slot` };
    }
    if ((match = /^read (\w+) entry$/.exec(step))) {
        return { lane: 2, block: match[1].toLowerCase(), what: `${match[1]} entry` };
    }
    return null;
}

const bytes = (start, end) => `bytes ${grouped(start)}\u2013${grouped(end - 1)}`;

function element(name, attributes, parent) {
    const node = document.createElementNS(svgNs, name);
    for (const [key, value] of Object.entries(attributes)) {
        node.setAttribute(key, String(value));
    }
    parent.appendChild(node);
    return node;
}

// Draws into figure (an element holding an <svg>, an axis, a caption, a
// status line and a "whole file" button) what show({ fileSize, trace, step, view, status })
// gives: the view ([start, end], or null for the whole file) and the status
// line live in the page's state, and what the user points at or zooms to
// goes there as an event.
export function createMap(figure, dispatch) {
    const svg = figure.querySelector('svg');
    const axis = figure.querySelector('.map-axis');
    const caption = figure.querySelector('.map-caption');
    const status = figure.querySelector('.map-status');
    const reset = figure.querySelector('.map-reset');
    let model = null;
    let shown = null;
    let view = [0, 1];

    reset.addEventListener('click', () => dispatch({ type: 'map-zoomed', view: null, text: '' }));

    function show({ fileSize, trace, step: failedStep, view: asked, status: said }) {
        if (!shown || shown.trace !== trace) {
            const runs = [];
            let last = null;
            for (const [step, start, size, count] of trace) {
                const kind = classify(step);
                if (count < 0) {
                    last = step ? { step, start, end: start + size, kind } : null;
                } else if (kind) {
                    runs.push({ ...kind, step, start, size, count, end: start + size * count });
                }
            }
            runs.sort((a, b) => a.start - b.start);
            // What was read past the file's end: [from, end], or null.
            const past = [...runs, ...(last ? [last] : [])].filter((read) => read.end > fileSize);
            const beyond = past.length ? [Math.max(fileSize, Math.min(...past.map((read) => read.start))),
                Math.max(...past.map((read) => read.end))] : null;
            model = { fileSize: Math.max(fileSize, 1), end: beyond ? beyond[1] : Math.max(fileSize, 1), beyond, runs, last, failedStep };
        }
        if (!shown || shown.trace !== trace || shown.view !== asked) {
            view = asked || [0, model.end];
            draw();
        }
        if (status.textContent !== said) {
            status.textContent = said;
        }
        shown = { trace, view: asked };
    }

    // Where a position is drawn: zoomed in, to the view's scale; the whole
    // file, to its size, and past its end beyond the break.
    const broken = () => model.beyond !== null && view[0] === 0 && view[1] === model.end;
    const split = gutter + fileShare * (width - gutter);
    function x(position) {
        if (!broken()) {
            return gutter + ((position - view[0]) / (view[1] - view[0])) * (width - gutter);
        }
        const [from, end] = model.beyond;
        return position <= model.fileSize ? gutter + (position / model.fileSize) * (split - gutter)
            : split + breakGap + ((Math.max(position, from) - from) / Math.max(1, end - from)) * (width - split - breakGap);
    }

    // The items of one lane in view: runs, entries of a run when few
    // enough show, or bands of neighbours too close to tell apart.
    function itemsOf(lane) {
        const items = [];
        for (const run of model.runs) {
            if (run.lane !== lane || run.end <= view[0] || run.start >= view[1]) {
                continue;
            }
            const shownFrom = Math.max(0, Math.floor((view[0] - run.start) / run.size));
            const shownTo = Math.min(run.count, Math.ceil((view[1] - run.start) / run.size));
            const perEntry = (run.size / (view[1] - view[0])) * (width - gutter);
            if (run.count > 1 && shownTo - shownFrom <= mostEntriesShown && perEntry >= 3) {
                for (let k = shownFrom; k < shownTo; ++k) {
                    const start = run.start + k * run.size;
                    items.push({ ...run, start, end: start + run.size, count: 1 });
                }
            } else {
                items.push(run);
            }
        }
        if (items.length <= mostItemsPerLane) {
            return items;
        }
        const bands = [];
        const gap = ((view[1] - view[0]) / (width - gutter)) * 2;
        for (const item of items) {
            const band = bands[bands.length - 1];
            if (band && item.start - band.end <= gap) {
                band.end = Math.max(band.end, item.end);
                band.reads += item.count;
                band.runs += 1;
            } else {
                bands.push({ ...item, band: true, reads: item.count, runs: 1 });
            }
        }
        return bands;
    }

    function describe(item) {
        if (item.band) {
            return `${grouped(item.reads)} reads in ${grouped(item.runs)} runs, ${bytes(item.start, item.end)}` +
                ' (click to zoom in)';
        }
        if (item.count > 1) {
            return `${grouped(item.count)} \u00d7 ${item.what} of ${item.size} bytes, ${bytes(item.start, item.end)}` +
                ' (click to zoom in)';
        }
        return `${item.what}, ${bytes(item.start, item.end)}`;
    }

    function draw() {
        svg.replaceChildren();
        const fileEnd = Math.min(width, x(Math.min(model.fileSize, view[1])));
        element('rect', { x: gutter, y: 24, width: Math.max(0, fileEnd - gutter), height: 90, class: 'map-file' }, svg);
        laneNames.forEach((name, lane) => {
            element('text', { x: 4, y: laneTop[lane] + 15, class: 'map-lane' }, svg).textContent = name;
            for (const item of itemsOf(lane)) {
                const left = Math.max(gutter, x(item.start));
                const right = Math.min(width, x(item.end));
                const rect = element('rect', {
                    x: left, y: laneTop[lane], width: Math.max(1.5, right - left), height: laneHeight,
                    class: `map-item ${item.block}${item.band ? ' band' : ''}`, tabindex: 0,
                }, svg);
                const text = describe(item);
                rect.setAttribute('aria-label', text);
                element('title', {}, rect).textContent = text;
                const say = () => dispatch({ type: 'map-pointed', text });
                rect.addEventListener('mouseenter', say);
                rect.addEventListener('focus', say);
                const zoom = () => {
                    if (item.band || item.count > 1) {
                        const margin = (item.end - item.start) * 0.05;
                        const to = [Math.max(0, item.start - margin), Math.min(model.end, item.end + margin)];
                        dispatch({ type: 'map-zoomed', view: to, text: `zoomed to ${bytes(Math.floor(to[0]), Math.ceil(to[1]))}` });
                    }
                };
                rect.addEventListener('click', zoom);
                rect.addEventListener('keydown', (event) => {
                    if (event.key === 'Enter' || event.key === ' ') {
                        event.preventDefault();
                        zoom();
                    }
                });
            }
        });
        // The file's end, where the view holds it, and the break after it.
        if (model.fileSize >= view[0] && model.fileSize <= view[1]) {
            element('line', { x1: fileEnd, x2: fileEnd, y1: 20, y2: 118, class: 'map-end' }, svg);
        }
        if (broken()) {
            for (const at of [split + breakGap * 0.3, split + breakGap * 0.7]) {
                element('line', { x1: at - 4, x2: at + 4, y1: 118, y2: 20, class: 'map-break' }, svg);
            }
        }
        drawAxis();
        drawFailure();
    }

    // The axis: a label for each of its marks, as long and as short text,
    // placed from its mark on: to the right (start), centred, or to the
    // left (end). Broken, it names the file's end, and the bytes read past it.
    function drawAxis() {
        const marks = broken()
            ? [[x(0), 'start', '0'], [split, 'end', `end of file: ${grouped(model.fileSize)}`, `end ${compact.format(model.fileSize)}`],
                [split + breakGap, 'start', `${grouped(model.beyond[0])}\u2013${grouped(model.beyond[1] - 1)}`, compact.format(model.beyond[0])]]
            : [0, 1, 2, 3, 4].map((k) => {
                const at = Math.round(view[0] + ((view[1] - view[0]) * k) / 4);
                return [x(at), ['start', 'middle', 'middle', 'middle', 'end'][k], grouped(at), compact.format(at)];
            });
        axis.replaceChildren(...marks.map(([spot, anchor, long, short = long]) => {
            const label = document.createElement('span');
            label.style.left = `${((spot / width) * 100).toFixed(2)}%`;
            label.className = anchor;
            label.append(...[long, short].map((text, n) => Object.assign(document.createElement('span'),
                { className: n ? 'short' : 'long', textContent: text })));
            return label;
        }));
    }

    function drawFailure() {
        const { last, failedStep } = model;
        caption.textContent = '';
        if (!failedStep) {
            return;
        }
        const block = (/\b(RND|SSD|SRT|DSP)\b/.exec(failedStep) || [])[1];
        const atLastRead = last && last.kind &&
            (last.step === failedStep || (/^check /.test(failedStep) && last.kind.block === (block || '').toLowerCase()));
        if (!atLastRead) {
            caption.textContent = `${failedStep} failed before any read of it`;
            return;
        }
        caption.textContent = `${failedStep} failed at ${bytes(last.start, last.end)}` +
            (last.end > model.fileSize ? `, past the file's end at ${grouped(model.fileSize)}` : '');
        const left = Math.max(gutter, Math.min(width - 3, x(last.start)));
        const mark = element('rect', {
            x: left, y: laneTop[last.kind.lane] - 3, width: Math.max(3, Math.min(width, x(last.end)) - left),
            height: laneHeight + 6, class: 'map-failed', tabindex: 0,
        }, svg);
        const text = `${failedStep} failed: ${last.kind.what}, ${bytes(last.start, last.end)}`;
        mark.setAttribute('aria-label', text);
        element('title', {}, mark).textContent = text;
        mark.addEventListener('focus', () => dispatch({ type: 'map-pointed', text }));
        mark.addEventListener('mouseenter', () => dispatch({ type: 'map-pointed', text }));
    }

    return { show };
}
