// Outputs into a folder the user chose (File System Access): asked for at
// the first output of a visit, kept in IndexedDB for the next, asked again
// where the browser wants its permission renewed. Each file goes through
// createWritable(), the browser's swap file, so it takes its new bytes only
// when whole: a failed or cancelled run leaves an existing file as it was,
// and removes a file it made itself. (A tab closed mid-run may leave such a
// file, empty.) The page names every file itself; the browser's save dialog,
// which empties the file picked before a byte is written, is not used.
import { intoFile } from './outputs.js';

export const foldersHere = () => typeof window.showDirectoryPicker === 'function';

const store = 'srtx';
const key = 'output folder';
function database() {
    return new Promise((resolve, reject) => {
        const opening = indexedDB.open(store, 1);
        opening.onupgradeneeded = () => opening.result.createObjectStore(store);
        opening.onsuccess = () => resolve(opening.result);
        opening.onerror = () => reject(opening.error);
    });
}
async function kept(handle) {
    const db = await database();
    return new Promise((resolve, reject) => {
        const request = handle === undefined ? db.transaction(store).objectStore(store).get(key)
            : db.transaction(store, 'readwrite').objectStore(store).put(handle, key);
        request.onsuccess = () => resolve(handle === undefined ? request.result : handle);
        request.onerror = () => reject(request.error);
    });
}

// An error said in the page's own words (said), never the browser's text.
const plainly = (said) => Object.assign(new Error(said), { said, started: false });

let folder = null;

// The name of the folder kept from an earlier visit, or null.
export const keptName = () => kept().then((handle) => (handle ? handle.name : null), () => null);

// The folder to write into: the one kept, its permission asked again where
// the browser needs it, else a new choice. Called within the click that
// asked for the output, while the click still lets the page ask.
export async function outputFolder(again = false) {
    if (!folder && !again) {
        folder = await kept().catch(() => null) || null;
    }
    const mode = { mode: 'readwrite' };
    if (folder && !again && (await folder.queryPermission(mode)) !== 'granted' &&
        (await folder.requestPermission(mode).catch(() => 'denied')) !== 'granted') {
        folder = null;
    }
    if (!folder || again) {
        try {
            folder = await window.showDirectoryPicker({ id: 'srtx-outputs', ...mode });
        } catch (error) {
            throw plainly(error.name === 'AbortError' ? 'No folder chosen; nothing was written.'
                : 'The browser did not let the page use that folder; nothing was written.');
        }
        await kept(folder).catch(() => {});
    }
    return folder;
}

// The folder that holds path (a/b/c.kvdsp), made where missing; the name.
async function placeOf(top, path, make) {
    const parts = path.split('/');
    let at = top;
    for (const part of parts.slice(0, -1)) {
        at = await at.getDirectoryHandle(part, { create: make });
    }
    return { at, name: parts[parts.length - 1] };
}

// The paths of these that already hold a file.
export async function present(top, paths) {
    const found = [];
    for (const path of paths) {
        try {
            const { at, name } = await placeOf(top, path, false);
            await at.getFileHandle(name);
            found.push(path);
        } catch {
            // not there
        }
    }
    return found;
}

// A destination (write, finish) for the file at path in the folder.
export async function intoFolderFile(top, path, signal) {
    const { at, name } = await placeOf(top, path, true);
    const existed = (await present(at, [name])).length > 0;
    const writable = await (await at.getFileHandle(name, { create: true })).createWritable();
    const target = intoFile(writable, signal);
    const drop = () => (existed ? null : at.removeEntry(name).catch(() => {}));
    return {
        write: target.write,
        async finish(whole) {
            try {
                await target.finish(whole);
            } catch (error) {
                await drop();
                throw error;
            }
            whole || await drop();
        },
    };
}
