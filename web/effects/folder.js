// Outputs into a folder the user chose (File System Access): asked for at
// the first output of a visit, kept in IndexedDB for the next, asked again
// where the browser wants its permission renewed, and forgotten once it is
// gone. Each file goes through createWritable(), the browser's swap file, so
// it takes its new bytes only when whole: a failed or cancelled run leaves
// an existing file as it was, and removes a file it made itself. (A tab
// closed mid-run may leave such a file, empty.) The page names every file
// itself; the browser's save dialog, which empties the file picked before a
// byte is written, is not used.
import { folderGoneWords, noFolderWords } from '../core/words.js';
import { intoFile } from './outputs.js';

export const foldersHere = () => typeof window.showDirectoryPicker === 'function';

const store = 'srtx';
const key = 'output folder';
function database() {
    return new Promise((resolve, reject) => {
        const opening = indexedDB.open(store, 1);
        opening.onupgradeneeded = () => opening.result.createObjectStore(store);
        // A later version of the page that upgrades the store is never
        // kept waiting on this one's connection.
        opening.onsuccess = () => {
            opening.result.onversionchange = () => opening.result.close();
            resolve(opening.result);
        };
        opening.onerror = () => reject(opening.error);
    });
}
// The handle kept: read (handle undefined), written, or deleted (null).
async function kept(handle) {
    const db = await database();
    return new Promise((resolve, reject) => {
        const objects = db.transaction(store, handle === undefined ? 'readonly' : 'readwrite').objectStore(store);
        const request = handle === undefined ? objects.get(key) : handle === null ? objects.delete(key) : objects.put(handle, key);
        request.onsuccess = () => resolve(handle === undefined ? request.result : handle);
        request.onerror = () => reject(request.error);
    }).finally(() => db.close());
}

// An error said in the page's own words (said), never the browser's text.
const plainly = (said, fields = {}) => Object.assign(new Error(said), { said, started: false, ...fields });
const stopped = (signal) => signal && signal.throwIfAborted();

let folder = null;

// The name of the folder kept from an earlier visit, or null.
export const keptName = () => kept().then((handle) => (handle ? handle.name : null), () => null);

// Whether the folder is still there: a deleted one fails every call with
// NotFoundError (one the page may not read yet fails otherwise).
async function there(handle) {
    try {
        await handle.keys().next();
        return true;
    } catch (error) {
        return error.name !== 'NotFoundError';
    }
}

// The folder to write into: the one kept, its permission asked again where
// the browser needs it, else a new choice (again: always a new choice). One
// that is gone is said to be so and forgotten, so that the next output asks.
// Called within the click that asked for the output, while the click still
// lets the page ask.
export async function outputFolder(signal, again = false) {
    if (!folder && !again) {
        folder = await kept().catch(() => null) || null;
        stopped(signal);
    }
    const mode = { mode: 'readwrite' };
    if (folder && !again && !(await there(folder))) {
        const { name } = folder;
        folder = null;
        await kept(null).catch(() => {});
        throw plainly(`The dump was not started: ${folderGoneWords(name)}.`, { gone: true });
    }
    stopped(signal);
    if (folder && !again && (await folder.queryPermission(mode)) !== 'granted' &&
        (await folder.requestPermission(mode).catch(() => 'denied')) !== 'granted') {
        folder = null;
    }
    stopped(signal);
    if (!folder || again) {
        try {
            folder = await window.showDirectoryPicker({ id: 'srtx-outputs', ...mode });
        } catch (error) {
            throw plainly(error.name === 'AbortError' ? noFolderWords.dismissed : noFolderWords.refused);
        }
        await kept(folder).catch(() => {});
        stopped(signal);
    }
    return folder;
}

// The folder that holds path (a/b/c.kvdsp), and the name; with made, the
// folders missing on the way are made, and noted in made ({ at, name },
// outermost first) for a failed run to remove again.
async function placeOf(top, path, signal, made = null) {
    const parts = path.split('/');
    let at = top;
    for (const part of parts.slice(0, -1)) {
        let next;
        try {
            next = await at.getDirectoryHandle(part);
        } catch (error) {
            if (error.name !== 'NotFoundError' || !made) {
                throw error;
            }
            next = await at.getDirectoryHandle(part, { create: true });
            made.push({ at, name: part });
        }
        stopped(signal);
        at = next;
    }
    return { at, name: parts[parts.length - 1] };
}

// The paths of these that already hold a file.
export async function existing(top, paths, signal) {
    const found = [];
    for (const path of paths) {
        try {
            const { at, name } = await placeOf(top, path, signal);
            await at.getFileHandle(name);
            found.push(path);
        } catch (error) {
            stopped(signal); // else: not there
        }
        stopped(signal);
    }
    return found;
}

// A destination (write, finish) for the file at path in the folder.
export async function intoFolderFile(top, path, signal, made) {
    const { at, name } = await placeOf(top, path, signal, made);
    const existed = (await existing(at, [name], signal)).length > 0;
    const writable = await (await at.getFileHandle(name, { create: true })).createWritable();
    if (signal.aborted) {
        await writable.abort().catch(() => {});
        existed || await at.removeEntry(name).catch(() => {});
        signal.throwIfAborted();
    }
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
