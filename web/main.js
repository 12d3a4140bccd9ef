// The page: the core's state, the view that shows it and the effects it
// asks for, joined in one loop. Each event goes through update(); its
// effects run at once (a click's still within that click, which lets the
// page open a dialog, copy or download); the view then writes the new
// state, at once for what the user did and once a frame for what jobs tell.
import { initial, update } from './core/update.js';
import { present } from './core/present.js';
import { createEffects, walk } from './effects/effects.js';
import { prepare, whenInPage } from './effects/bridge.js';
import { foldersHere, keptName } from './effects/folder.js';
import { launched, served } from './effects/offline.js';
import { createView } from './view/view.js';

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

// The state as it is now, and pieces of the page: for the tests and the benchmark.
export const current = () => state;
export * as outputs from './effects/outputs.js';
export { walk };
export { pairUp } from './core/plan.js';

// Whatever goes wrong in the page or its worker outside a run's own result
// is told, never left to a console the user does not see.
const problem = (message) => dispatch({ type: 'problem', message });
addEventListener('error', (event) => problem(String(event.message)));
addEventListener('unhandledrejection', (event) => problem(String(event.reason && event.reason.message || event.reason)));
addEventListener('securitypolicyviolation', (event) => problem(`${event.violatedDirective} blocked ${event.blockedURI}`));
addEventListener('srtx-problem', (event) => problem(event.detail));
whenInPage(() => dispatch({ type: 'reads-in-page' }));
foldersHere() && keptName().then((name) => name && dispatch({ type: 'output-folder', name }));
served(dispatch);
launched(dispatch);
setTimeout(prepare);
show();
