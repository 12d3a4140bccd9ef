// The page: the core's state, the view that shows it and the effects it
// asks for, joined in one loop. Each event goes through update(); its
// effects start at once (a dump's still within the click that asked for it,
// which lets the page open a dialog); the view then writes the new state,
// at once for what the user did and once a frame for what jobs tell.
import { initial, present, update } from './core/state.js';
import { pathOf, tabSeparated } from './core/names.js';
import { createEffects } from './effects/effects.js';
import { prepare, whenInPage } from './effects/bridge.js';
import { saveText } from './effects/outputs.js';
import { foldersHere, keptName } from './effects/folder.js';
import { createView } from './view/view.js';

const $ = (id) => document.getElementById(id);
let state = initial();
let frame = 0;
const perform = createEffects((event) => dispatch(event));
const render = createView((event) => dispatch(event));
const show = () => {
    cancelAnimationFrame(frame);
    frame = 0;
    render(present(state));
};

export function dispatch(event) {
    // A dump goes into the chosen folder where the browser has one.
    event = /^dump/.test(event.type) ? { ...event, folders: foldersHere() } : event;
    const next = update(state, event);
    state = next.state;
    next.effects.forEach(perform);
    if (event.type === 'progress' || event.type === 'row') {
        frame = frame || requestAnimationFrame(show);
    } else {
        show();
    }
}

// The state as it is now: for the tests and the benchmark.
export const current = () => state;
export { tabSeparated };
export * as outputs from './effects/outputs.js';
export { walk } from './effects/effects.js';
export { pairUp } from './core/names.js';

// Whatever goes wrong in the page or its worker outside a run's own result
// is told, never left to a console the user does not see.
const problem = (message) => dispatch({ type: 'problem', message });
addEventListener('error', (event) => problem(String(event.message)));
addEventListener('unhandledrejection', (event) => problem(String(event.reason && event.reason.message || event.reason)));
addEventListener('securitypolicyviolation', (event) => problem(`${event.violatedDirective} blocked ${event.blockedURI}`));
addEventListener('srtx-problem', (event) => problem(event.detail));
whenInPage(() => dispatch({ type: 'reads-in-page' }));
foldersHere() && keptName().then((name) => name && dispatch({ type: 'output-folder', name }));
setTimeout(prepare);

// A choice is read from the input and the input cleared, so that the same
// file chosen again (edited since) is a change of its own.
const chosen = (input, folder) => () => {
    const items = [...input.files].map((file) => ({ file, path: pathOf(file) }));
    input.value = '';
    dispatch({ type: 'chosen', items, folder });
    // A folder's choice clears the file chooser, and the other way round.
    (folder ? $('files') : $('folder')).value = '';
};
$('files').addEventListener('change', chosen($('files'), false));
$('folder').addEventListener('change', chosen($('folder'), true));
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
    // The entries are taken at once: a drop's items are gone once its event
    // has been handled.
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
const pager = (previous, next, table) => {
    for (const [pressed, other, by] of [[previous, next, -1], [next, previous, 1]]) {
        $(pressed).addEventListener('click', () => {
            dispatch({ type: 'paged', table, by });
            if ($(pressed).disabled) {
                $(other).focus();
            }
        });
    }
};
pager('previous', 'next', 'streams');
pager('folder-previous', 'folder-next', 'folder');
// (A control that waits for a job takes no click.)
const on = (id, event) => $(id).addEventListener('click', () =>
    $(id).getAttribute('aria-disabled') === 'true' || dispatch(event));
on('dump-all', { type: 'dump-all' });
on('dump-folder', { type: 'dump-folder' });
on('cancel', { type: 'cancel', kind: 'dump' });
on('cancel-check', { type: 'cancel', kind: 'check' });
$('failures-first').addEventListener('change', (event) => dispatch({ type: 'failures-first', on: event.target.checked }));
$('force-view').addEventListener('change', (event) => dispatch({ type: 'force-view', on: event.target.checked }));
on('change-folder', { type: 'change-folder' });
for (const [id, answer] of [['replace', 'replace'], ['skip', 'skip'], ['cancel-replace', 'cancel']]) {
    on(id, { type: 'answered', answer });
}
// Escape closes the question as Cancel does.
$('question').addEventListener('cancel', (event) => {
    event.preventDefault();
    dispatch({ type: 'answered', answer: 'cancel' });
});

// The texts to copy or save, as they are now.
const wholeText = () => (state.listing && state.listing.text ? new TextDecoder().decode(state.listing.text) : '');
const containers = () => (state.choice && state.choice.kind === 'folder' ? state.choice.containers : []);
$('save-summary').addEventListener('click', () =>
    saveText(tabSeparated(containers()), `${state.choice.name}-summary.tsv`));
$('save-text').addEventListener('click', () => {
    const container = state.listing && state.listing.container;
    saveText(state.listing && state.listing.text || '', `${container ? container.name.replace(/\.srt$/i, '') : 'srtx'}-listing.txt`);
});
const copy = (text, where, done, refused) => {
    const { generation } = state;
    const note = (said) => dispatch({ type: 'note', where, text: said, generation });
    navigator.clipboard.writeText(text).then(() => note(done), () => note(refused()));
};
$('copy').addEventListener('click', () => copy(wholeText(), 'view', 'The text is copied.', () => {
    getSelection().selectAllChildren($('text'));
    return 'The text is selected: copy it with the keyboard.';
}));
$('copy-summary').addEventListener('click', () => copy(tabSeparated(containers()), 'folder',
    'The summary is copied, as tab-separated text.',
    () => 'The browser did not let the page copy: Save gives the summary as a file.'));
