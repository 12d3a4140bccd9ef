// The view: writes what present(state) gives into the page, and turns what
// the user does into events. It is the one path from the state to the DOM,
// and it changes only what changed: rows are kept by key, a progress bar's
// value is set, a page of rows is rebuilt only when its rows change.
// Everything a file or the tool says is shown as text, never markup.
import { explain } from '../listing_reader.js';
import { sentence } from '../core/state.js';
import { createMap } from './map.js';

const $ = (id) => document.getElementById(id);
const count = (n) => n.toLocaleString('en-US');
const decoder = new TextDecoder();
// The <pre> shows the head and the end of a long text (where errors and the
// status are); Copy and Save text take all of it.
const shownTextLimit = 32 << 10;

// A failed step by its name, in bold, then in plain words.
function showStep(element, step) {
    const name = document.createElement('strong');
    name.textContent = `${step} failed`;
    element.append(name, `: ${explain(step)}.`);
}

const set = (element, key, value) => {
    if (element[key] !== value) {
        element[key] = value;
    }
};
// A control that waits for a job: shown so and inert, but it keeps the
// focus, so the keyboard stays where the user was.
const waits = (element, waiting) => {
    if (element.getAttribute('aria-disabled') !== String(waiting)) {
        element.setAttribute('aria-disabled', String(waiting));
    }
};

// A long text shows its head and its end, cut at line ends.
function shownText(bytes) {
    const head = bytes.lastIndexOf(10, shownTextLimit / 2) + 1;
    const tail = bytes.indexOf(10, bytes.length - shownTextLimit / 2) + 1;
    return bytes.length <= shownTextLimit || head === 0 || tail <= head ? decoder.decode(bytes)
        : `${decoder.decode(bytes.subarray(0, head))}\u2026 ${count(tail - head)} bytes left out here; ` +
          `Copy and Save text take the whole text \u2026\n${decoder.decode(bytes.subarray(tail))}`;
}

export function createView(dispatch) {
    const map = createMap($('map'));
    // What was last written, part by part.
    let shownListing;
    let shownStreams = null;
    let pairItems = new Map();
    let folderRows = new Map();
    let folderOrder = '';
    let checking = false;
    let barShown = 0;
    let pressed = null;
    let wasDumping = false;
    let listed = false;

    function streamRows(result) {
        const body = $('streams').tBodies[0];
        const { listing, first, last, dumpFor } = result;
        const key = [listing, first, last, [...dumpFor].map(([stream, ssd]) => `${stream}:${ssd.name}`).join('/')];
        if (shownStreams && key.every((part, k) => part === shownStreams[k])) {
            for (const button of body.querySelectorAll('button')) {
                waits(button, !result.canDump);
            }
            return;
        }
        const focused = body.contains(document.activeElement) ? document.activeElement.dataset.stream : undefined;
        shownStreams = key;
        body.replaceChildren();
        const words = listing && listing.words ? listing.words : [];
        for (let index = first; index < last; ++index) {
            const row = body.insertRow();
            row.insertCell().textContent = String(index);
            row.insertCell().textContent = String(words[index]);
            const warning = row.insertCell();
            if (listing.badSize.has(index)) {
                warning.textContent = 'BAD SIZE';
                warning.title = 'this DSP entry does not follow the one before it 144 bytes on';
                row.classList.add('warned');
            }
            const cell = row.insertCell();
            const ssd = dumpFor.get(index);
            if (ssd) {
                const button = document.createElement('button');
                button.type = 'button';
                button.textContent = 'Dump';
                button.setAttribute('aria-label', `Dump stream ${index} with ${ssd.name}`);
                button.dataset.stream = String(index);
                waits(button, !result.canDump);
                button.addEventListener('click', () => {
                    if (button.getAttribute('aria-disabled') !== 'true') {
                        pressed = button;
                        dispatch({ type: 'dump', stream: index });
                    }
                });
                cell.append(button);
            }
        }
        // Focus stays on a row's Dump button, rebuilt with the page.
        if (focused !== undefined) {
            const again = body.querySelector(`button[data-stream="${focused}"]`);
            (again && !again.disabled ? again : $('summary')).focus();
        }
    }

    function pairs(result) {
        const list = $('pairs');
        const next = new Map();
        for (const { ssd, stream, output } of result.pairs) {
            let item = pairItems.get(ssd);
            if (!item) {
                item = document.createElement('li');
                const label = document.createElement('label');
                const input = document.createElement('input');
                Object.assign(input, { type: 'number', min: '0', step: '1' });
                input.addEventListener('change', () => dispatch({ type: 'paired', ssd, value: input.value }));
                label.append(`${ssd.name} \u2192 stream `, input);
                item.append(label, ` \u2192 ${output}`);
                item.input = input;
            }
            const value = stream === null ? '' : String(stream);
            if (item.input.value.trim() !== value && !(stream === null && document.activeElement === item.input)) {
                item.input.value = value;
            }
            next.set(ssd, item);
        }
        const items = [...next.values()];
        if (items.length !== list.children.length || items.some((item, k) => list.children[k] !== item)) {
            list.replaceChildren(...items);
        }
        pairItems = next;
        $('pairs-box').hidden = result.pairs.length === 0;
        waits($('dump-all'), !result.canDump);
        $('force-box').hidden = !result.failed;
        set($('force-view'), 'checked', result.forced);
    }

    function listingPart(result) {
        const { listing } = result;
        if (listing === shownListing) {
            return;
        }
        shownListing = listing;
        const done = listing && listing.done && listing.text;
        const failure = $('failure');
        failure.replaceChildren();
        failure.hidden = !(done && listing.step);
        if (done && listing.step) {
            showStep(failure, listing.step);
        }
        $('map').hidden = !done;
        if (done) {
            map.show(result.container.size, listing.trace, listing.step);
        }
        $('text').textContent = done ? shownText(listing.text) : '';
        listed = Boolean(done);
    }

    function resultPart(result) {
        $('result').hidden = !result;
        if (!result) {
            shownListing = undefined;
            return;
        }
        $('result').setAttribute('aria-busy', String(result.busy));
        set($('summary'), 'textContent', result.summary);
        listingPart(result);
        pairs(result);
        streamRows(result);
        set($('page-range'), 'textContent', result.range);
        set($('previous'), 'disabled', result.page === 0);
        set($('next'), 'disabled', result.page + 1 >= result.pages);
        $('pages').hidden = result.pages < 2;
        // A table of headers alone says nothing.
        $('table-box').hidden = result.last === result.first;
        if (listed) {
            // For the benchmark: the listing is all on the page from here.
            performance.mark('srtx-listed');
            listed = false;
        }
    }

    // A container's row: its path (opening its view), stream count, BAD
    // SIZE warnings and result; a failed one with .ssd files can be dumped
    // anyway.
    function folderRow({ index, path, summary, forced, canForce }) {
        const row = document.createElement('tr');
        const open = document.createElement('button');
        open.type = 'button';
        open.className = 'path';
        open.textContent = path;
        open.dataset.path = path;
        open.setAttribute('aria-label', `Open ${path}`);
        open.addEventListener('click', () => {
            dispatch({ type: 'opened', index });
            $('result').scrollIntoView();
        });
        row.insertCell().append(open);
        const [streams, warnings, result, dumpCell] = [row.insertCell(), row.insertCell(), row.insertCell(), row.insertCell()];
        row.shown = { summary, forced };
        if (!summary) {
            result.textContent = 'waiting';
            return row;
        }
        streams.textContent = summary.count === null ? '' : count(summary.count);
        warnings.textContent = summary.warnings ? count(summary.warnings) : '';
        if (summary.step) {
            showStep(result, summary.step);
        } else {
            result.textContent = summary.status === 0 ? 'ok' : sentence(summary.said);
        }
        row.classList.toggle('failed', summary.status !== 0);
        row.classList.toggle('warned', summary.warnings > 0);
        if (canForce) {
            const label = document.createElement('label');
            const box = document.createElement('input');
            box.type = 'checkbox';
            box.checked = forced;
            box.addEventListener('change', () => dispatch({ type: 'forced', index, on: box.checked }));
            label.append(box, ' dump anyway');
            dumpCell.append(label);
        }
        return row;
    }

    function folderPart(folder) {
        $('folder-view').hidden = !folder;
        if (!folder) {
            folderRows = new Map();
            folderOrder = '';
            checking = false;
            return;
        }
        set($('folder-status'), 'textContent', folder.status);
        $('check-box').hidden = !folder.checking;
        set($('checked'), 'value', folder.total ? folder.checked / folder.total : 1);
        set($('checked-count'), 'textContent', `${count(folder.checked)} of ${count(folder.total)}`);
        set($('failures-first'), 'checked', folder.failuresFirst);
        set($('dump-folder'), 'disabled', !folder.canDump);
        const body = $('containers').tBodies[0];
        const order = folder.rows.map((row) => row.index).join();
        const focused = body.contains(document.activeElement) ? document.activeElement.dataset.path : undefined;
        const next = new Map();
        for (const row of folder.rows) {
            const kept = folderRows.get(row.index);
            const same = kept && kept.shown.summary === row.summary && kept.shown.forced === row.forced;
            const made = same ? kept : folderRow(row);
            if (kept && !same && order === folderOrder) {
                const hadFocus = kept.contains(document.activeElement);
                kept.replaceWith(made);
                hadFocus && made.querySelector('button').focus();
            }
            next.set(row.index, made);
        }
        if (order !== folderOrder) {
            body.replaceChildren(...next.values());
            if (focused !== undefined) {
                const again = [...body.querySelectorAll('button')].find((button) => button.dataset.path === focused);
                (again || $('folder-status')).focus();
            }
        }
        folderRows = next;
        folderOrder = order;
        set($('folder-range'), 'textContent', folder.range);
        set($('folder-previous'), 'disabled', folder.page === 0);
        set($('folder-next'), 'disabled', folder.page + 1 >= folder.pages);
        $('folder-pages').hidden = folder.pages < 2;
        if (checking && !folder.checking) {
            // For the benchmark: the last row is on the page from here.
            performance.mark('srtx-checked');
        }
        checking = folder.checking;
    }

    // The bar changes at most every 200 ms, and at the end: each change is
    // styled and laid out afresh, garbage that only the collector's next
    // full run takes back (in Blink, a megabyte for every 128 changes,
    // piling up from one dump to the next).
    function progressPart(model) {
        $('progress-box').hidden = model.progress === null;
        if (model.progress === null) {
            barShown = 0;
            set($('progress'), 'value', 0);
            return;
        }
        const now = performance.now();
        if (now - barShown >= 200 || model.progress >= 1) {
            barShown = now;
            set($('progress'), 'value', model.progress);
        }
    }

    // A row's Dump button, disabled while it ran, has the focus back unless
    // the user took it elsewhere meanwhile. The page stays where the user
    // has scrolled to (in Blink, scrolling back also left megabytes for the
    // collector, piling up from one dump to the next).
    function focusPart(model) {
        if (wasDumping && !model.dumping && pressed &&
            (document.activeElement === null || document.activeElement === document.body)) {
            (pressed.isConnected ? pressed : $('summary')).focus({ preventScroll: true });
        }
        if (!model.dumping) {
            pressed = null;
        }
        wasDumping = model.dumping;
    }

    // Files already in the output folder: replace, skip, or cancel.
    function questionPart(question) {
        const dialog = $('question');
        if (!question) {
            dialog.open && dialog.close();
            return;
        }
        const names = question.names.slice(0, 5).join(', ') + (question.names.length > 5 ? ` and ${count(question.names.length - 5)} more` : '');
        set($('question-text'), 'textContent', `${question.names.length === 1 ? 'A file' : `${count(question.names.length)} files`} ` +
            `of this dump already ${question.names.length === 1 ? 'is' : 'are'} in ${question.folder}: ${names}.`);
        dialog.open || dialog.showModal();
    }

    function outputsPart(model) {
        $('outputs').hidden = typeof window.showDirectoryPicker !== 'function';
        set($('output-folder'), 'textContent', model.outputFolder ? `Outputs go into the folder ${model.outputFolder}.`
            : 'Outputs go into a folder you choose at the first dump.');
    }

    return function render(model) {
        set($('chosen'), 'textContent', model.notes);
        outputsPart(model);
        questionPart(model.question);
        $('in-page').hidden = !model.readsInPage;
        $('problems').hidden = model.problems.length === 0;
        set($('problems'), 'textContent', model.problems.length
            ? `Something went wrong in the page: ${model.problems.join('; ')}.` : '');
        folderPart(model.folder);
        progressPart(model);
        resultPart(model.result);
        focusPart(model);
    };
}
