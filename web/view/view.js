// The view: the one path from the state to the DOM. It writes what
// present(state) gives into the page, and turns what the user does into
// events; it keeps nothing but what it last wrote, part by part, so that it
// changes only what changed: rows are kept by key, a progress bar's value
// is set, a page of rows is rebuilt only when its rows change. Everything a
// file or the tool says is shown as text, never markup.
import { count, sentence, stepFailed } from '../core/words.js';
import { pathOf } from '../core/names.js';
import { createMap } from './map.js';

const $ = (id) => document.getElementById(id);
const decoder = new TextDecoder();
// The <pre> shows the head and the end of a long text (where errors and the
// status are); Copy and Save text take all of it.
const shownTextLimit = 32 << 10;

// A failed step by its name, in bold, then in plain words.
function showStep(element, step) {
    const { name, why } = stepFailed(step);
    const strong = document.createElement('strong');
    strong.textContent = name;
    element.append(strong, `: ${why}.`);
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
const inert = (element) => element.getAttribute('aria-disabled') === 'true';

// A long text shows its head and its end, cut at line ends.
function shownText(bytes) {
    const head = bytes.lastIndexOf(10, shownTextLimit / 2) + 1;
    const tail = bytes.indexOf(10, bytes.length - shownTextLimit / 2) + 1;
    return bytes.length <= shownTextLimit || head === 0 || tail <= head ? decoder.decode(bytes)
        : `${decoder.decode(bytes.subarray(0, head))}\u2026 ${count(tail - head)} bytes left out here; ` +
          `Copy and Save text take the whole text \u2026\n${decoder.decode(bytes.subarray(tail))}`;
}

// What each part last wrote: changed(part, ...keys) is true, and keeps the
// keys, when any differs from what that part was last written from.
function lastWritten() {
    const kept = new Map();
    return (part, ...keys) => {
        const before = kept.get(part);
        if (before && before.length === keys.length && before.every((key, k) => key === keys[k])) {
            return false;
        }
        kept.set(part, keys);
        return true;
    };
}

// The page's own controls, each turned into its event. A choice is read from
// its input and the input cleared, so that the same file chosen again
// (edited since) is a change of its own.
function listen(dispatch) {
    const chosen = (input, other, folder) => () => {
        const items = [...input.files].map((file) => ({ file, path: pathOf(file) }));
        input.value = '';
        dispatch({ type: 'chosen', items, folder });
        // A folder's choice clears the file chooser, and the other way round.
        other.value = '';
    };
    $('files').addEventListener('change', chosen($('files'), $('folder'), false));
    $('folder').addEventListener('change', chosen($('folder'), $('files'), true));
    const drop = $('drop');
    for (const name of ['dragenter', 'dragover']) {
        document.addEventListener(name, (event) => {
            event.preventDefault();
            drop.classList.add('over');
        });
    }
    document.addEventListener('dragleave', () => drop.classList.remove('over'));
    document.addEventListener('drop', (event) => {
        event.preventDefault();
        drop.classList.remove('over');
        // The entries are taken at once: a drop's items are gone once its
        // event has been handled.
        const entries = [...event.dataTransfer.items]
            .map((item) => (typeof item.webkitGetAsEntry === 'function' ? item.webkitGetAsEntry() : null))
            .filter(Boolean);
        if (entries.some((entry) => entry.isDirectory)) {
            dispatch({ type: 'dropped-folder', entries });
        } else {
            dispatch({ type: 'chosen', items: [...event.dataTransfer.files].map((file) => ({ file, path: file.name })) });
        }
    });
    // Paging keeps the focus on the pager: on the other button once the one
    // pressed can no longer be.
    for (const [previous, next, table] of [['previous', 'next', 'streams'], ['folder-previous', 'folder-next', 'folder']]) {
        for (const [pressed, other, by] of [[previous, next, -1], [next, previous, 1]]) {
            $(pressed).addEventListener('click', () => {
                dispatch({ type: 'paged', table, by });
                $(pressed).disabled && $(other).focus();
            });
        }
    }
    // (A control that waits for a job takes no click.)
    const clicks = [['dump-all', { type: 'dump-all', from: 'dump-all' }], ['dump-folder', { type: 'dump-folder', from: 'dump-folder' }],
        ['cancel', { type: 'cancel', kind: 'dump' }], ['cancel-check', { type: 'cancel', kind: 'check' }],
        ['change-folder', { type: 'change-folder' }], ['replace', { type: 'answered', answer: 'replace' }],
        ['skip', { type: 'answered', answer: 'skip' }], ['cancel-replace', { type: 'answered', answer: 'cancel' }],
        ['copy', { type: 'copy', what: 'text' }], ['save-text', { type: 'save', what: 'text' }],
        ['copy-summary', { type: 'copy', what: 'summary' }], ['save-summary', { type: 'save', what: 'summary' }],
        ['reload', { type: 'reload' }], ['save-list', { type: 'save', what: 'written' }]];
    for (const [id, event] of clicks) {
        $(id).addEventListener('click', () => inert($(id)) || dispatch(event));
    }
    $('failures-first').addEventListener('change', (event) => dispatch({ type: 'failures-first', on: event.target.checked }));
    $('force-view').addEventListener('change', (event) => dispatch({ type: 'force-view', on: event.target.checked }));
    $('go-to').addEventListener('keydown', (event) => {
        if (event.key === 'Enter') {
            event.preventDefault();
            dispatch({ type: 'go-to', value: event.target.value });
        }
    });
    // Escape closes the question as Cancel does.
    $('question').addEventListener('cancel', (event) => {
        event.preventDefault();
        dispatch({ type: 'answered', answer: 'cancel' });
    });
}

export function createView(dispatch) {
    listen(dispatch);
    // The page makes room at its foot for the bar fixed there, as high as
    // the bar is, so that it never covers the page's last lines.
    new ResizeObserver(([entry]) => {
        document.body.style.paddingBottom = entry.contentRect.height ? `${$('progress-box').offsetHeight}px` : '';
    }).observe($('progress-box'));
    const map = createMap($('map'), dispatch);
    const changed = lastWritten();
    let pairItems = new Map();
    let folderRows = new Map();
    let barShown = 0;

    function streamRows(result) {
        const body = $('streams').tBodies[0];
        const { listing, first, last, dumpFor, goTo } = result;
        if (!changed('streams', listing, first, last, goTo.stream, [...dumpFor].map(([stream, ssd]) => `${stream}:${ssd.name}`).join('/'))) {
            for (const button of body.querySelectorAll('button')) {
                waits(button, !result.canDump);
            }
            return;
        }
        const focused = body.contains(document.activeElement) ? document.activeElement.dataset.stream : undefined;
        body.replaceChildren();
        const words = listing && listing.words ? listing.words : [];
        for (let index = first; index < last; ++index) {
            const row = body.insertRow();
            row.dataset.row = String(index);
            if (goTo.stream === index) {
                row.className = 'marked';
                row.tabIndex = -1;
            }
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
                button.addEventListener('click', () => inert(button) ||
                    dispatch({ type: 'dump', stream: index, from: `stream:${index}` }));
                cell.append(button);
            }
        }
        // Focus stays on a row's Dump button, rebuilt with the page.
        if (focused !== undefined) {
            const again = body.querySelector(`button[data-stream="${focused}"]`);
            (again || $('summary')).focus();
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
        const done = listing && listing.done && listing.text;
        const wrote = changed('listing', listing);
        if (wrote) {
            const failure = $('failure');
            failure.replaceChildren();
            failure.hidden = !(done && listing.step);
            if (done && listing.step) {
                showStep(failure, listing.step);
            }
            $('text').textContent = done ? shownText(listing.text) : '';
        }
        $('map').hidden = !result.map;
        if (result.map) {
            map.show(result.map);
        }
        return wrote && Boolean(done);
    }

    function resultPart(result) {
        $('result').hidden = !result;
        if (!result) {
            changed('listing', undefined);
            return;
        }
        $('result').setAttribute('aria-busy', String(result.busy));
        set($('summary'), 'textContent', result.summary);
        const listed = listingPart(result);
        pairs(result);
        streamRows(result);
        set($('page-range'), 'textContent', result.range);
        set($('go-to-note'), 'textContent', result.goTo.note);
        set($('previous'), 'disabled', result.page === 0);
        set($('next'), 'disabled', result.page + 1 >= result.pages);
        $('pages').hidden = result.pages < 2;
        // A table of headers alone says nothing.
        $('table-box').hidden = result.last === result.first;
        if (listed) {
            // For the benchmark: the listing is all on the page from here.
            performance.mark('srtx-listed');
        }
    }

    // A container's row: its path (opening its view), stream count, BAD
    // SIZE warnings and result; a failed one with .ssd files can be dumped
    // anyway.
    function folderRow({ index, path, summary, said, forced, canForce }) {
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
        // (Each cell is named for the narrow page, where a row is a card.)
        const [streams, warnings, result, dumpCell] = ['Streams', 'BAD SIZE', 'Result', 'Dump'].map((name) => {
            const cell = row.insertCell();
            cell.dataset.label = name;
            return cell;
        });
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
            result.textContent = summary.status === 0 ? said : sentence(said);
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
            changed('order', '');
            changed('checking', false);
            return;
        }
        set($('folder-status'), 'textContent', folder.status);
        $('check-box').hidden = !folder.checking;
        set($('checked'), 'value', folder.total ? folder.checked / folder.total : 1);
        set($('checked-count'), 'textContent', `${count(folder.checked)} of ${count(folder.total)}`);
        set($('failures-first'), 'checked', folder.failuresFirst);
        set($('dump-folder'), 'disabled', !folder.canDump);
        const body = $('containers').tBodies[0];
        const reordered = changed('order', folder.rows.map((row) => row.index).join());
        const focused = body.contains(document.activeElement) ? document.activeElement.dataset.path : undefined;
        const next = new Map();
        for (const row of folder.rows) {
            const kept = folderRows.get(row.index);
            const same = kept && kept.shown.summary === row.summary && kept.shown.forced === row.forced;
            const made = same ? kept : folderRow(row);
            if (kept && !same && !reordered) {
                const hadFocus = kept.contains(document.activeElement);
                kept.replaceWith(made);
                hadFocus && made.querySelector('button').focus();
            }
            next.set(row.index, made);
        }
        if (reordered) {
            body.replaceChildren(...next.values());
            if (focused !== undefined) {
                const again = [...body.querySelectorAll('button')].find((button) => button.dataset.path === focused);
                (again || $('folder-status')).focus();
            }
        }
        folderRows = next;
        set($('folder-range'), 'textContent', folder.range);
        set($('folder-previous'), 'disabled', folder.page === 0);
        set($('folder-next'), 'disabled', folder.page + 1 >= folder.pages);
        $('folder-pages').hidden = folder.pages < 2;
        if (changed('checking', folder.checking) && !folder.checking) {
            // For the benchmark: the last row is on the page from here.
            performance.mark('srtx-checked');
        }
    }

    // The bar changes at most every 200 ms, and at the end: each change is
    // styled and laid out afresh, garbage that only the collector's next
    // full run takes back (in Blink, a megabyte for every 128 changes,
    // piling up from one dump to the next).
    function progressPart({ progress }) {
        $('progress-box').hidden = progress === null;
        if (progress === null) {
            barShown = 0;
            set($('progress'), 'value', 0);
            return;
        }
        set($('progress-text'), 'textContent', progress.text);
        set($('progress-said'), 'textContent', progress.spoken);
        $('progress').hidden = progress.bar === null;
        const now = performance.now();
        if (progress.bar !== null && (now - barShown >= 200 || progress.bar >= 1)) {
            barShown = now;
            set($('progress'), 'value', progress.bar);
        }
    }

    // What the last dump into the folder wrote, skipped and left out.
    function wrotePart(wrote) {
        $('written-box').hidden = !wrote;
        if (!wrote || !changed('wrote', wrote.of)) {
            return;
        }
        $('written').replaceChildren(...wrote.groups.flatMap(({ title, paths, more }) => {
            const list = document.createElement('ul');
            list.append(...[...paths, ...(more ? [more] : [])].map((path) => Object.assign(document.createElement('li'), { textContent: path })));
            return [Object.assign(document.createElement('p'), { textContent: title }), list];
        }));
        $('save-list').hidden = !wrote.canSave;
    }

    // The control the core gives the keyboard back to (the one that started
    // a job, once the job is over), unless the user took the focus
    // elsewhere meanwhile: it is given only where the focus was lost, or is
    // on a control now hidden (Cancel) or closed (the question's buttons).
    // The page stays where the user has scrolled to (in Blink, scrolling
    // back also left megabytes for the collector, piling up from one dump
    // to the next).
    // (A row gone to takes the keyboard from the field at once.)
    function focusPart({ focus }) {
        if (!changed('focus', focus.serial) || focus.to === null) {
            return;
        }
        const row = /^row:(\d+)$/.exec(focus.to);
        if (row) {
            const marked = $('streams').querySelector(`tr[data-row="${row[1]}"]`);
            marked && marked.focus();
            return;
        }
        const active = document.activeElement;
        if (active && active !== document.body && !active.closest('[hidden], dialog:not([open])')) {
            return;
        }
        const stream = /^stream:(\d+)$/.exec(focus.to);
        const target = stream ? $('streams').querySelector(`button[data-stream="${stream[1]}"]`) : $(focus.to);
        (target && target.isConnected && !target.closest('[hidden]') ? target : $('summary')).focus({ preventScroll: true });
    }

    // Files already in the output folder: replace, skip, or cancel.
    function questionPart(question) {
        const dialog = $('question');
        if (!question) {
            dialog.open && dialog.close();
            return;
        }
        set($('question-text'), 'textContent', question);
        dialog.open || dialog.showModal();
    }

    return function render(model) {
        set($('chosen'), 'textContent', model.notes);
        $('outputs').hidden = typeof window.showDirectoryPicker !== 'function';
        set($('output-folder'), 'textContent', model.outputFolder);
        questionPart(model.question);
        $('in-page').hidden = !model.readsInPage;
        $('problems').hidden = model.problems === '';
        $('update-note').hidden = !model.update;
        set($('update-text'), 'textContent', model.update ? model.update.text : '');
        $('reload').hidden = !(model.update && model.update.reload);
        waits($('reload'), Boolean(model.update && !model.update.canReload));
        set($('problems'), 'textContent', model.problems);
        folderPart(model.folder);
        progressPart(model);
        wrotePart(model.wrote);
        resultPart(model.result);
        focusPart(model);
        if (changed('selected', model.selected) && model.selected > 0) {
            getSelection().selectAllChildren($('text'));
        }
    };
}
